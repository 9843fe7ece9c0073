#include "model/Object.h"

namespace sentrel {

const RecordClass CObject::classInfo{"CObject", 0, nullptr, nullptr};

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const RecordClass& cls) const {
    for (const RecordClass* c = &GetRuntimeClass(); c; c = c->base) {
        if (c == &cls) {
            return true;
        }
    }
    return false;
}

} // namespace sentrel
