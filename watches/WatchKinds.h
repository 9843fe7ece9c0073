#pragma once

// The watch kinds: the one list of them in the core.

#include "model/Object.h"

#include <span>

namespace sentrel {

// Every watch kind, in the order the user is offered them.
std::span<const RecordClass* const> WatchKinds();

// Registers the watch kinds with the type registry, so that stores can name them.
void RegisterWatchKinds();

} // namespace sentrel
