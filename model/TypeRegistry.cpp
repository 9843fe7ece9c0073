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
    for (std::size_t i = 0; i < kRecordClassNames.size(); ++i) {
        if (kRecordClassNames[i] == cls.name) {
            if (m_classes[i] && m_classes[i] != &cls) {
                throw std::logic_error(std::string("record class registered twice: ") + cls.name);
            }
            m_classes[i] = &cls;
            return;
        }
    }
    throw std::logic_error(std::string("not a record class name: ") + cls.name);
}

const RecordClass* TypeRegistry::Find(std::string_view name) const {
    for (std::size_t i = 0; i < kRecordClassNames.size(); ++i) {
        if (kRecordClassNames[i] == name) {
            return m_classes[i];
        }
    }
    return nullptr;
}

} // namespace sentrel
