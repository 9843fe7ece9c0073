#pragma once

// The classes a store may name. Exactly these thirteen names exist; the model registers
// its own three, and the watch and alert libraries register their kinds
// (RegisterWatchKinds, RegisterAlertKinds) at start-up.

#include "model/Object.h"

#include <array>
#include <string_view>

namespace sentrel {

inline constexpr std::array<std::string_view, 13> kRecordClassNames = {
    "CActivation",      "CAlert",           "CWatch",        "CEmailAlert", "CSoundAlert",
    "CMessageAlert",    "CRunProgramAlert", "CClickatellAlert", "CPOPWatch", "CPINGWatch",
    "CDateTimeWatch",   "CWebPageWatch",    "CFileWatch",
};

class TypeRegistry {
public:
    static TypeRegistry& Instance();

    // Registers a class under its name. Throws std::logic_error for a name outside the
    // thirteen, or for a second, different class under a registered name.
    void Register(const RecordClass& cls);

    // The class registered under exactly this name, or null.
    const RecordClass* Find(std::string_view name) const;

    bool IsRegistered(const RecordClass& cls) const { return Find(cls.name) == &cls; }

private:
    TypeRegistry();
    std::array<const RecordClass*, kRecordClassNames.size()> m_classes{};
};

} // namespace sentrel
