#pragma once

// The alert kinds: the one list of them in the core.

#include "model/Object.h"

#include <span>

namespace sentrel {

// Every alert kind, in the order the user is offered them.
std::span<const RecordClass* const> AlertKinds();

// Registers the alert kinds with the type registry, so that stores can name them.
void RegisterAlertKinds();

} // namespace sentrel
