#pragma once

namespace sentrel {

// Registers the five watch kinds with the type registry, so that stores can name them.
void RegisterWatchKinds();

} // namespace sentrel
