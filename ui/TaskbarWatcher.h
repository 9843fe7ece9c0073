#pragma once

// Tells a window when the desktop's notification area has come back (its host restarted):
// the window then receives a TaskbarCreated event, and whoever shows an icon there adds
// it again. The area counts as back when the status-notifier watcher registers on the
// session bus, when an X11 tray host announces that it has taken the tray selection, and,
// on other window systems, when a system tray appears where there was none.

#include <QEvent>
#include <QObject>
#include <QPointer>

class QDBusServiceWatcher;
class QSocketNotifier;
class QTimer;
struct xcb_connection_t;
class QWidget;

namespace sentrel {

QEvent::Type TaskbarCreatedEvent();

class CTaskbarWatcher : public QObject {
    Q_OBJECT

public:
    // `pollMs`: how often the tray's presence is checked.
    explicit CTaskbarWatcher(QWidget* window, int pollMs = 2000, QObject* parent = nullptr);
    ~CTaskbarWatcher() override;

    // Posts the TaskbarCreated event to the window.
    void NotifyTaskbarCreated();

private:
    void Poll();
    bool WatchX11TraySelection();
    void ReadX11Events();

    QPointer<QWidget> m_window;
    QDBusServiceWatcher* m_busWatcher = nullptr;
    QTimer* m_poll = nullptr;
    bool m_trayWasThere = false;
    xcb_connection_t* m_x11 = nullptr;
    QSocketNotifier* m_x11Events = nullptr;
    unsigned m_managerAtom = 0;
    unsigned m_traySelectionAtom = 0;
};

} // namespace sentrel
