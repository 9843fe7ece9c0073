// sentrelctl: the command-line companion. Inspects, checks and copies a store.

#include "alerts/AlertKinds.h"
#include "model/SentrelDoc.h"
#include "tools/EngineCommands.h"
#include "watches/WatchKinds.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

int Usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "sentrelctl: " << problem << "\n";
    }
    std::cerr << "usage: sentrelctl check STORE\n";
    for (const auto& command : sentrel::tools::EngineCommands()) {
        std::cerr << "       sentrelctl " << command.name << " " << command.arguments << "\n";
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace sentrel;
    RegisterWatchKinds();
    RegisterAlertKinds();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "check") {
        CSentrelDoc doc(args[1]);
        const auto damage = doc.Load(false);
        if (damage) {
            std::cerr << StoreDamageMessage(*damage) << "\n";
            return 1;
        }
        std::cout << doc.alerts.size() << " alerts, " << doc.watches.size() << " watches, "
                  << doc.activations.size() << " activations\n";
        return 0;
    }
    for (const auto& command : tools::EngineCommands()) {
        if (!args.empty() && args[0] == command.name) {
            const std::vector<std::string> rest(args.begin() + 1, args.end());
            if (rest.size() < command.minArguments || rest.size() > command.maxArguments) {
                return Usage(std::string(command.name) + " takes " + std::string(command.arguments));
            }
            try {
                return command.run(rest);
            } catch (const tools::UsageError& error) {
                return Usage(error.what());
            }
        }
    }
    return Usage(args.empty() ? "" : "unknown command " + args[0]);
}
