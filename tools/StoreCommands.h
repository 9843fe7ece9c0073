#pragma once

// sentrelctl's store commands: dump (the store as JSON), check (does it decode?), resave
// (load and write back through the program's own save) and import (the store that a JSON
// text describes, written through the program's own save).

#include "tools/Command.h"

#include <span>

namespace sentrel::tools {

std::span<const Command> StoreCommands();

} // namespace sentrel::tools
