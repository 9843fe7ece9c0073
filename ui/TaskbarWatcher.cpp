#include "ui/TaskbarWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace sentrel {

QEvent::Type TaskbarCreatedEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CTaskbarWatcher::CTaskbarWatcher(QWidget* window, int pollMs, QObject* parent)
    : QObject(parent), m_window(window) {
    m_trayWasThere = QSystemTrayIcon::isSystemTrayAvailable();

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_busWatcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), bus,
                                               QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_busWatcher, &QDBusServiceWatcher::serviceRegistered, this,
                &CTaskbarWatcher::NotifyTaskbarCreated);
    }

    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &CTaskbarWatcher::Poll);
    m_poll->start(pollMs);
}

void CTaskbarWatcher::NotifyTaskbarCreated() {
    if (m_window) {
        QCoreApplication::postEvent(m_window, new QEvent(TaskbarCreatedEvent()));
    }
}

void CTaskbarWatcher::Poll() {
    const bool there = QSystemTrayIcon::isSystemTrayAvailable();
    if (there && !m_trayWasThere) {
        NotifyTaskbarCreated();
    }
    m_trayWasThere = there;
}

} // namespace sentrel
