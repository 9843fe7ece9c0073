#pragma once

// Headless implementations of the platform services, used by sentrelctl and as the
// defaults until the Qt program installs its own windows.

#include "platform/Platform.h"

namespace sentrel {

class PosixClock : public IClock {
public:
    std::int64_t Now() const override;
    std::uint32_t TickCount() const override;
};

// Message boxes go to standard error as "caption: text".
class ConsoleMessageBox : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;
};

// An alert popup is its text between a line "--- Alert ---" and a line "---" on standard
// output.
class ConsoleAlertPopup : public IAlertPopup {
public:
    int Open(const std::string& text) override;
    void Close(int handle) override;

private:
    int m_next = 0;
};

// A desktop notification is shown the same way, its title in the opening line:
// "--- Notification: TITLE ---", the text, and a line "---".
class ConsoleNotifications : public IDesktopNotifications {
public:
    bool Notify(const std::string& title, const std::string& text, std::string& failure) override;
};

// Connected when the kernel has a default route. There is no dial-up service to drive,
// so dialling and hanging up do nothing.
class PosixConnection : public IConnection {
public:
    bool IsConnected() override;
    bool DialUnattended() override;
    void HangUp() override;
};

// $XDG_DATA_HOME/sentrel (~/.local/share/sentrel), created when needed; the executable's
// folder when a store is already there; none when the folder is not safe (ChooseDataDir).
class PosixPaths : public IPaths {
public:
    std::string DataDir() const override;
    std::string DataDirProblem() const override;
};

// Hands the page to the desktop's opener (xdg-open) without waiting for it; false when
// the opener cannot be started.
class XdgHelp : public IHelp {
public:
    bool Open(const std::string& path) override;
};

// Without a window system there is no notification area.
class NoNotificationArea : public INotificationArea {
public:
    bool IsAvailable() override { return false; }
};

// The running executable's full path; empty when it cannot be found.
std::string ExecutablePath();

// The folder that holds the running executable, without the trailing slash; empty when
// it cannot be found.
std::string ExecutableDir();

// The help page for a program in `exeDir`: beside it when it is there (a build folder, a
// portable copy), otherwise where installing puts it, reached from `exeDir` so that an
// installed tree works wherever it was unpacked.
std::string HelpFile(const std::string& exeDir);

// The data folder chosen, or why there is none (a text for the user).
struct DataDirChoice {
    std::string dir;
    std::string problem;
};

// The home folder: `home` (the environment's HOME) when it is set, otherwise this user's
// entry in the user database; empty when there is none.
std::string HomeFolder(const char* home);

// The data folder for an executable in `exeDir`: that folder when it already holds a
// Sentrel.bin and this user may write to it and no one else may, otherwise "sentrel" under
// `xdgDataHome` (when absolute) or under the home folder's .local/share (HomeFolder),
// created when needed. A data folder that another user
// owns or that others may write to is refused: whoever controls it controls the store,
// and the store's program alerts run as this user. The environment is passed in so that
// tests can choose it.
DataDirChoice ChooseDataDir(const std::string& exeDir, const char* xdgDataHome, const char* home);

// Creates a folder and its parents with mode 0700 for the new ones; true when it exists.
bool MakeDirectories(const std::string& path);

} // namespace sentrel
