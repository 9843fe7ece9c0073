#pragma once

// The classes a store may name. The model registers its own three (CActivation and the
// bare CWatch and CAlert); the watch and alert libraries register their kinds
// (RegisterWatchKinds, RegisterAlertKinds) at start-up.

#include "model/Object.h"

#include <string_view>
#include <vector>

namespace sentrel {

class TypeRegistry {
public:
    static TypeRegistry& Instance();

    // Registers a class under its name; registering it again does nothing. Throws
    // std::logic_error for a second, different class under a registered name.
    void Register(const RecordClass& cls);

    // The class registered under exactly this name, or null.
    const RecordClass* Find(std::string_view name) const;

    bool IsRegistered(const RecordClass& cls) const { return Find(cls.name) == &cls; }

private:
    TypeRegistry();
    std::vector<const RecordClass*> m_classes;
};

} // namespace sentrel
