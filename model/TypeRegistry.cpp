#include "model/TypeRegistry.h"

#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Watch.h"

#include <stdexcept>
#include <string>

namespace sentrel {

TypeRegistry::TypeRegistry() {
    Register(CActivation::classInfo);
    Register(CAlert::classInfo);
    Register(CWatch::classInfo);
}

TypeRegistry& TypeRegistry::Instance() {
    static TypeRegistry registry;
    return registry;
}

void TypeRegistry::Register(const RecordClass& cls) {
    if (const RecordClass* known = Find(cls.name)) {
        if (known != &cls) {
            throw std::logic_error(std::string("record class registered twice: ") + cls.name);
        }
        return;
    }
    m_classes.push_back(&cls);
}

const RecordClass* TypeRegistry::Find(std::string_view name) const {
    for (const RecordClass* cls : m_classes) {
        if (name == cls->name) {
            return cls;
        }
    }
    return nullptr;
}

} // namespace sentrel
