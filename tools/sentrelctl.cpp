// sentrelctl: the command-line companion. Inspects, checks, copies and imports a store,
// one command per table entry.

#include "alerts/AlertKinds.h"
#include "tools/Command.h"
#include "tools/EngineCommands.h"
#include "tools/StoreCommands.h"
#include "watches/WatchKinds.h"

#include <algorithm>
#include <iostream>
#include <ostream>
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

void PrintUsage(std::ostream& out, const std::vector<Command>& commands) {
    const auto synopsis = [](const Command& command) {
        return "  sentrelctl " + std::string(command.name) + " " + std::string(command.arguments);
    };
    std::size_t width = 0;
    for (const Command& command : commands) {
        width = std::max(width, synopsis(command).size() + 2);
    }
    out << "usage:\n";
    for (const Command& command : commands) {
        std::string line = synopsis(command);
        line.resize(width, ' ');
        out << line << command.summary << "\n";
    }
    out << "  sentrelctl --help | --version\n";
}

int Usage(const std::vector<Command>& commands, const std::string& problem) {
    std::cerr << "sentrelctl: " << problem << "\n";
    PrintUsage(std::cerr, commands);
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
    if (args[0] == "--help") {
        std::cout
            << "sentrelctl inspects, checks, copies, imports and runs a Sentrel store without the "
               "window.\nSee sentrelctl(1) for the details.\n";
        PrintUsage(std::cout, commands);
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "sentrelctl " SENTREL_VERSION "\n";
        return 0;
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
        } catch (const sentrel::tools::InputError& error) {
            std::cerr << "sentrelctl: " << error.what() << "\n";
            return 2;
        } catch (const std::exception& error) {
            std::cerr << "sentrelctl: " << error.what() << "\n";
            return 1;
        }
    }
    return Usage(commands, "unknown command " + args[0]);
}
