// Sentrel: start-up and shut-down around the main window.

#include "alerts/AlertKinds.h"
#include "app/SingleInstance.h"
#include "platform/Platform.h"
#include "platform/PosixPlatform.h"
#include "platform/StoreLock.h"
#include "ui/MainDialog.h"
#include "ui/QtServices.h"
#include "ui/SessionEnd.h"
#include "watches/WatchKinds.h"

#include <QApplication>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

// The program's own options; Qt takes its own (-platform, -style, ...) from the rest.
// Returns the exit code when the option ends the run (--version, --help), else -1.
int ReadOptions(int argc, char** argv, bool& minimised) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--minimised") {
            minimised = true;
        } else if (arg == "--version") {
            std::printf("Sentrel %s\n", SENTREL_VERSION);
            return 0;
        } else if (arg == "--help") {
            std::printf(
                "Usage: sentrel [--minimised]\n"
                "Watches moments, files, hosts, mailboxes and web pages, and alerts you.\n\n"
                "  --minimised  start watching at once, hidden in the notification area if\n"
                "               there is one (how the desktop starts it at login)\n"
                "  --version    print the version and end\n"
                "  --help       print this text and end\n\n"
                "Help page: %s\n",
                sentrel::HelpFile(sentrel::ExecutableDir()).c_str());
            return 0;
        }
    }
    return -1;
}

// QApplication ends the process when it cannot reach a display; say why instead.
bool DisplayReachable() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform) {
        return true; // the user chose the platform (offscreen, wayland, ...)
    }
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    if (!x11 || !*x11) {
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    bool minimised = false; // started at login: the notification area is enough
    if (const int code = ReadOptions(argc, argv, minimised); code >= 0) {
        return code;
    }
    if (!DisplayReachable()) {
        const char* x11 = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "Sentrel needs a graphical desktop, and none was found (%s).\n"
                     "Start it from a desktop session, or under a virtual X server such as "
                     "xvfb-run.\n",
                     x11 && *x11 ? "the display in DISPLAY cannot be reached"
                                 : "neither DISPLAY nor WAYLAND_DISPLAY is set");
        return 2;
    }

    // One program per store: a second start brings the first one's window forward and
    // ends. Without a safe data folder there is no store to hold; the window says why.
    sentrel::CStoreLock storeLock;
    const std::string dataDir = sentrel::Platform().paths->DataDir();
    const std::string store = dataDir + "/Sentrel.bin";
    if (!dataDir.empty()) {
        pid_t holder = 0;
        std::string problem;
        if (storeLock.Take(store, holder, problem) == sentrel::CStoreLock::Result::Held) {
            const bool shown = sentrel::AskToShow(sentrel::CStoreLock::PathFor(store));
            std::fprintf(stderr, "Sentrel is already running (pid %d)%s.\n",
                         static_cast<int>(holder), shown ? ": its window is brought forward" : "");
            return 0;
        }
    }

    // A peer that closes a connection must end that request, not the program.
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Sentrel");
    QApplication::setDesktopFileName("sentrel");
    // Hidden in the notification area, the program has no window open, and alert popups
    // come and go: only "Exit" or the end of the main window ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // The Qt services go over the POSIX defaults. The connection service stays the POSIX
    // one, whose dialling and hanging up do nothing (there is no dial-up service to
    // drive): the engine's dial-up policy, which it installs for RequestConnection, still
    // runs and traces its steps, ready for a platform that has one.
    sentrel::InstallQtServices();
    sentrel::RegisterWatchKinds();
    sentrel::RegisterAlertKinds();

    // The main window owns the tray icon; both go when it goes.
    auto mainWindow = std::make_unique<sentrel::CMainDialog>();
    std::unique_ptr<sentrel::CShowRequests> showRequests;

    // Ending the main window ("Exit") ends the run at once; a quit request would go round
    // the session's handling below again.
    bool ended = false;
    QObject::connect(mainWindow.get(), &QDialog::finished, &app, [&ended] {
        ended = true;
        QCoreApplication::exit(0);
    });
    // Logging out or `kill` ends the program as "Exit" does: the event, then the save.
    sentrel::CSessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &sentrel::CSessionEnd::endRequested, mainWindow.get(),
                     [&ended, window = mainWindow.get()] {
                         if (!ended) {
                             window->OnExit();
                         }
                     });
    const bool started = mainWindow->Initialise();
    if (started && storeLock.IsHeld()) { // later starts find it from now on
        showRequests = std::make_unique<sentrel::CShowRequests>(
            sentrel::CStoreLock::PathFor(store), [window = mainWindow.get()] { window->OnOpen(); });
    }
    if (started && !ended) { // the session may end while start-up waits for a message box
        mainWindow->ShowAtStart(minimised);
        // Started at login, the user asked for watching: it begins at once. Started by hand,
        // the engine waits for "Start".
        if (minimised) {
            mainWindow->OnStart();
        }
        QApplication::exec();
    }

    // No more second starts to answer; then the main window goes with its tray icon, the
    // document and every record.
    showRequests.reset();
    mainWindow.reset();
    return started ? 0 : 1;
}
