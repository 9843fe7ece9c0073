// sentrelctl: the command-line companion. Inspects, checks and copies a store.

#include "alerts/AlertKinds.h"
#include "model/SentrelDoc.h"
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
    return Usage(args.empty() ? "" : "unknown command " + args[0]);
}
