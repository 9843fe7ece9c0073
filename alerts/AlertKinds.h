#pragma once

namespace sentrel {

// Registers the five alert kinds with the type registry, so that stores can name them.
void RegisterAlertKinds();

} // namespace sentrel
