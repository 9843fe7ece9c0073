// sentrelctl: the command-line companion. Inspects, checks and copies a store, one
// command per table entry.

#include "alerts/AlertKinds.h"
#include "tools/Command.h"
#include "tools/EngineCommands.h"
#include "tools/StoreCommands.h"
#include "watches/WatchKinds.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

using sentrel::tools::Command;

std::vector<Command> AllCommands() {
    std::vector<Command> all;
    for (const auto& group : {sentrel::tools::StoreCommands(), sentrel::tools::EngineCommands()}) {
        all.insert(all.end(), group.begin(), group.end());
    }
    return all;
}

int Usage(const std::vector<Command>& commands, const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "sentrelctl: " << problem << "\n";
    }
    std::cerr << "usage:\n";
    for (const Command& command : commands) {
        std::string line =
            "  sentrelctl " + std::string(command.name) + " " + std::string(command.arguments);
        line.resize(std::max<std::size_t>(line.size() + 2, 36), ' ');
        std::cerr << line << command.summary << "\n";
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    sentrel::RegisterWatchKinds();
    sentrel::RegisterAlertKinds();
    const std::vector<Command> commands = AllCommands();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage(commands, "no command given");
    }
    for (const Command& command : commands) {
        if (args[0] != command.name) {
            continue;
        }
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.size() < command.minArguments || rest.size() > command.maxArguments) {
            return Usage(commands,
                         std::string(command.name) + " takes " + std::string(command.arguments));
        }
        try {
            return command.run(rest);
        } catch (const sentrel::tools::UsageError& error) {
            return Usage(commands, error.what());
        } catch (const std::exception& error) {
            std::cerr << "sentrelctl: " << error.what() << "\n";
            return 1;
        }
    }
    return Usage(commands, "unknown command " + args[0]);
}
