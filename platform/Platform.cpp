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
    static ConsoleNotifications notifications;
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
    services.notifications = &notifications;
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
    ReplaceIfSet(current.clock, services.clock);
    ReplaceIfSet(current.messageBox, services.messageBox);
    ReplaceIfSet(current.alertPopup, services.alertPopup);
    ReplaceIfSet(current.sound, services.sound);
    ReplaceIfSet(current.programStarter, services.programStarter);
    ReplaceIfSet(current.connection, services.connection);
    ReplaceIfSet(current.paths, services.paths);
    ReplaceIfSet(current.help, services.help);
    ReplaceIfSet(current.notificationArea, services.notificationArea);
    ReplaceIfSet(current.notifications, services.notifications);
    return previous;
}

} // namespace sentrel
