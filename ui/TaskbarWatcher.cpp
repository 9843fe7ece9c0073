#include "ui/TaskbarWatcher.h"

#include "ui/TrayNotifyIcon.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace sentrel {

QEvent::Type TaskbarCreatedEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CTaskbarWatcher::CTaskbarWatcher(QWidget* window, int pollMs, QObject* parent)
    : QObject(parent), m_window(window) {
    m_trayWasThere = CTrayNotifyIcon::TrayAvailable();

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_busWatcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), bus,
                                               QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_busWatcher, &QDBusServiceWatcher::serviceRegistered, this,
                &CTaskbarWatcher::NotifyTaskbarCreated);
    }

    // On X11 the tray host says when it takes over; elsewhere we look now and then.
    if (!WatchX11TraySelection()) {
        m_poll = new QTimer(this);
        connect(m_poll, &QTimer::timeout, this, &CTaskbarWatcher::Poll);
        m_poll->start(pollMs);
    }
}

CTaskbarWatcher::~CTaskbarWatcher() {
    delete m_x11Events;
    if (m_x11) {
        xcb_disconnect(m_x11);
    }
}

namespace {

xcb_atom_t InternAtom(xcb_connection_t* connection, const std::string& name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

bool CTaskbarWatcher::WatchX11TraySelection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    // A connection of our own, listening to the root window: a tray host that takes the
    // selection "_NET_SYSTEM_TRAY_S<screen>" tells every client with a MANAGER message.
    int screenNumber = 0;
    m_x11 = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_x11)) {
        xcb_disconnect(m_x11);
        m_x11 = nullptr;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_x11));
    for (int i = 0; i < screenNumber && screens.rem; ++i) {
        xcb_screen_next(&screens);
    }
    if (!screens.rem) {
        xcb_disconnect(m_x11);
        m_x11 = nullptr;
        return false;
    }
    m_managerAtom = InternAtom(m_x11, "MANAGER");
    m_traySelectionAtom = InternAtom(m_x11, "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_x11, screens.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_x11);

    m_x11Events = new QSocketNotifier(xcb_get_file_descriptor(m_x11), QSocketNotifier::Read);
    connect(m_x11Events, &QSocketNotifier::activated, this, &CTaskbarWatcher::ReadX11Events);
    return true;
}

void CTaskbarWatcher::ReadX11Events() {
    bool announced = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x11)) {
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == m_managerAtom && message->format == 32 &&
                message->data.data32[1] == m_traySelectionAtom) {
                announced = true;
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_x11)) {
        m_x11Events->setEnabled(false); // the display went away
    }
    if (announced) {
        NotifyTaskbarCreated();
    }
}

void CTaskbarWatcher::NotifyTaskbarCreated() {
    if (m_window) {
        QCoreApplication::postEvent(m_window, new QEvent(TaskbarCreatedEvent()));
    }
}

void CTaskbarWatcher::Poll() {
    const bool there = CTrayNotifyIcon::TrayAvailable();
    if (there && !m_trayWasThere) {
        NotifyTaskbarCreated();
    }
    m_trayWasThere = there;
}

} // namespace sentrel
