#pragma once

// The desktop services that need the window system: message boxes and the help page.
// Code everywhere shows a message box through Platform().messageBox, so tests install a
// recorder there and read the texts without any window opening.

#include "platform/Platform.h"
#include "services/NetworkServices.h"

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace sentrel {

// Calls handed from any thread to the thread this object lives on, run there in order.
// The calls wait in a queue of our own under a standard mutex, so that a thread checker
// sees the hand-over; Qt's event queue only wakes the receiving thread. Calls still
// queued when the object goes are dropped.
class CCallQueue : public QObject {
    Q_OBJECT

public:
    explicit CCallQueue(QObject* parent = nullptr) : QObject(parent) {}
    void Post(std::function<void()> call);

private:
    void RunPosted();

    std::mutex m_mutex; // guards m_calls
    std::deque<std::function<void()>> m_calls;
};

// Whether this is the thread that owns the windows; `call` later on that thread.
bool OnUiThread();
void OnUiThread(std::function<void()> call);

// A modal QMessageBox with an OK button, over the active window.
class CQtMessageBox : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;
};

// Opens a local page in the desktop's default browser.
class CQtHelp : public IHelp {
public:
    bool Open(const std::string& path) override;
};

// Asks the desktop, through Qt, whether it has a notification area (a tray).
class CQtNotificationArea : public INotificationArea {
public:
    bool IsAvailable() override;
};

// Desktop notifications through the freedesktop notification service on the session bus
// (D-Bus). Works from any thread; waits for the service's answer, not for the user.
class CDBusNotifications : public IDesktopNotifications {
public:
    bool Notify(const std::string& title, const std::string& text, std::string& failure) override;
};

// The web page fetcher, kept off the UI thread: called there (the web page watch editor's
// fetch on OK), it fetches on a thread of its own while the UI thread goes on drawing and
// answering, the window that asked held disabled meanwhile; called from any other thread
// (the engine's worker), it fetches there.
class CBackgroundPageFetcher : public IWebPageFetcher {
public:
    explicit CBackgroundPageFetcher(IWebPageFetcher* inner) : m_inner(inner) {}
    bool Fetch(const std::string& url, const std::string& user, const std::string& password,
               std::string& body, std::string& resultText, std::string& reason) override;

private:
    IWebPageFetcher* m_inner;
};

// Installs the Qt message box, alert popup, help, notification area and desktop
// notification services, and the web page fetcher above, for the rest of the run. Needs a
// QApplication.
void InstallQtServices();

} // namespace sentrel
