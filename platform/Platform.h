#pragma once

// The desktop services the core needs. Start-up installs the real implementations (the
// POSIX ones below, the Qt ones from ui/); tests install fakes. Every member is always
// set: the defaults are the headless implementations.

#include <cstdint>
#include <string>

namespace sentrel {

class IClock {
public:
    virtual ~IClock() = default;
    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t Now() const = 0;
    // Milliseconds since some fixed moment; wraps at 2^32.
    virtual std::uint32_t TickCount() const = 0;
};

enum class MessageIcon { None, Information, Warning, Stop };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Modal, OK only.
    virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

class IAlertPopup {
public:
    virtual ~IAlertPopup() = default;
    // Opens one more independent "Alert" window showing text; returns a handle for Close.
    virtual int Open(const std::string& text) = 0;
    virtual void Close(int handle) = 0;
};

class ISound {
public:
    virtual ~ISound() = default;
    // Plays a WAV file and returns when it has finished, or after a time limit when the
    // sound system never says so. When the file cannot be played, plays the desktop's
    // default alert sound instead. True when the file itself played to its end.
    virtual bool PlayFile(const std::string& path) = 0;
};

class IProgramStarter {
public:
    virtual ~IProgramStarter() = default;
    // Starts a program without waiting and without a shell. `program` is the path of the
    // file to run; when no such file exists it is read as a command line whose program is
    // found by the command-line rules, its other words coming first among the arguments.
    // `arguments`, when not empty, is passed as one argument, exactly as given. True when
    // the program started.
    virtual bool Start(const std::string& program, const std::string& arguments) = 0;
};

class IConnection {
public:
    virtual ~IConnection() = default;
    virtual bool IsConnected() = 0;
    virtual bool DialUnattended() = 0;
    virtual void HangUp() = 0;
};

class IPaths {
public:
    virtual ~IPaths() = default;
    // The folder of the store, the trace file and the help page; ends without a slash.
    // Empty when there is no folder the program may safely use.
    virtual std::string DataDir() const = 0;
    // Why DataDir() is empty, for the user; empty when it is not.
    virtual std::string DataDirProblem() const { return {}; }
};

class IHelp {
public:
    virtual ~IHelp() = default;
    // Opens a local page in the desktop's browser; false when no browser could be started.
    virtual bool Open(const std::string& path) = 0;
};

class INotificationArea {
public:
    virtual ~INotificationArea() = default;
    // Whether the desktop has a notification area for the program's icon now.
    virtual bool IsAvailable() = 0;
};

class IDesktopNotifications {
public:
    virtual ~IDesktopNotifications() = default;
    // Shows a notification with a title and a text through the desktop's notification
    // service, without waiting for the user. False, with why in `failure`, when the desktop
    // has no such service or it refused.
    virtual bool Notify(const std::string& title, const std::string& text,
                        std::string& failure) = 0;
};

struct PlatformServices {
    IClock* clock = nullptr;
    IMessageBox* messageBox = nullptr;
    IAlertPopup* alertPopup = nullptr;
    ISound* sound = nullptr;
    IProgramStarter* programStarter = nullptr;
    IConnection* connection = nullptr;
    IPaths* paths = nullptr;
    IHelp* help = nullptr;
    INotificationArea* notificationArea = nullptr;
    IDesktopNotifications* notifications = nullptr;
};

// The process-wide services. Members are never null.
PlatformServices& Platform();

// Puts `given` in the place of `current` when it is set: how a partial set of services is
// installed over the current one.
template <class Service> void ReplaceIfSet(Service*& current, Service* given) {
    if (given) {
        current = given;
    }
}

// Replaces the services that are set (non-null) in `services`; returns the previous set.
PlatformServices InstallPlatform(const PlatformServices& services);

// Installs a set of services and restores the previous set when it goes out of scope
// (tests). The same for every process-wide set of services.
template <class Services, Services& (*Current)(), Services (*Install)(const Services&)>
class ScopedServices {
public:
    explicit ScopedServices(const Services& services) : m_previous(Install(services)) {}
    ~ScopedServices() { Current() = m_previous; }
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services m_previous;
};

using ScopedPlatform = ScopedServices<PlatformServices, Platform, InstallPlatform>;

} // namespace sentrel
