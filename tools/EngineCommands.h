#pragma once

// sentrelctl's engine commands: run (the engine, headless, on a store), check-watch (one
// Check of a named watch) and send-alert (one Send of a named alert, a test alert).

#include "tools/Command.h"

#include <span>

namespace sentrel::tools {

std::span<const Command> EngineCommands();

// The commands themselves, with the arguments after the command name.
int RunEngine(const std::vector<std::string>& arguments);  // STORE [--seconds N]
int CheckWatch(const std::vector<std::string>& arguments); // STORE NAME
int SendAlert(const std::vector<std::string>& arguments);  // STORE NAME MESSAGE

} // namespace sentrel::tools
