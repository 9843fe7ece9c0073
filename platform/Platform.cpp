#include "platform/Platform.h"

#include "platform/CanberraSound.h"
#include "platform/PosixPlatform.h"
#include "platform/ProgramStarter.h"

namespace sentrel {

namespace {

PlatformServices MakeDefaults() {
    static PosixClock clock;
    static ConsoleMessageBox messageBox;
    static ConsoleAlertPopup alertPopup;
    static CanberraSound sound;
    static PosixProgramStarter programStarter;
    static PosixConnection connection;
    static PosixPaths paths;
    static XdgHelp help;
    static NoNotificationArea notificationArea;
    PlatformServices services;
    services.clock = &clock;
    services.messageBox = &messageBox;
    services.alertPopup = &alertPopup;
    services.sound = &sound;
    services.programStarter = &programStarter;
    services.connection = &connection;
    services.paths = &paths;
    services.help = &help;
    services.notificationArea = &notificationArea;
    return services;
}

} // namespace

PlatformServices& Platform() {
    static PlatformServices services = MakeDefaults();
    return services;
}

PlatformServices InstallPlatform(const PlatformServices& services) {
    PlatformServices& current = Platform();
    const PlatformServices previous = current;
    if (services.clock)
        current.clock = services.clock;
    if (services.messageBox)
        current.messageBox = services.messageBox;
    if (services.alertPopup)
        current.alertPopup = services.alertPopup;
    if (services.sound)
        current.sound = services.sound;
    if (services.programStarter)
        current.programStarter = services.programStarter;
    if (services.connection)
        current.connection = services.connection;
    if (services.paths)
        current.paths = services.paths;
    if (services.help)
        current.help = services.help;
    if (services.notificationArea)
        current.notificationArea = services.notificationArea;
    return previous;
}

} // namespace sentrel
