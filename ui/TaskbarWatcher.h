#pragma once

// Tells a window when the desktop's notification area has come back (its host restarted):
// the window then receives a TaskbarCreated event, and whoever shows an icon there adds
// it again. The area counts as back when the status-notifier watcher registers on the
// session bus, or when a system tray appears where there was none (an X11 tray host
// taking the tray selection).

#include <QEvent>
#include <QObject>
#include <QPointer>

class QDBusServiceWatcher;
class QTimer;
class QWidget;

namespace sentrel {

QEvent::Type TaskbarCreatedEvent();

class CTaskbarWatcher : public QObject {
    Q_OBJECT

public:
    // `pollMs`: how often the tray's presence is checked.
    explicit CTaskbarWatcher(QWidget* window, int pollMs = 2000, QObject* parent = nullptr);

    // Posts the TaskbarCreated event to the window.
    void NotifyTaskbarCreated();

private:
    void Poll();

    QPointer<QWidget> m_window;
    QDBusServiceWatcher* m_busWatcher = nullptr;
    QTimer* m_poll = nullptr;
    bool m_trayWasThere = false;
};

} // namespace sentrel
