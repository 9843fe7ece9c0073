#include "ui/TrayNotifyIcon.h"

#include "platform/Platform.h"
#include "ui/ActivationStates.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace sentrel {

namespace {

// How often, and how many times, to look whether the icon has its place for the balloon.
constexpr int kPlaceCheckMs = 100;
constexpr int kPlaceChecks = 100;
// How often to look whether a notification area has come, while one is waited for.
constexpr int kAreaLookMs = 500;
constexpr int kBalloonMs = 10000;

// Whether the icon goes to a status-notifier host over D-Bus. Qt makes that choice once,
// at the first icon, from whether the session bus has a watcher that reports a host; so
// do we.
bool StatusNotifierHost() {
    static const bool host = [] {
        const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface() ||
            !bus.interface()->isServiceRegistered(watcher)) {
            return false;
        }
        QDBusMessage get = QDBusMessage::createMethodCall(
            watcher, QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
               qvariant_cast<QDBusVariant>(reply.arguments().front()).variant().toBool();
    }();
    return host;
}

// On X11 the icon is a small window of its own that the tray takes in as its child; until
// then, and until Qt has learnt where that put it, it stands at the screen's corner.
bool TakenInByTray(const QWidget& window, const QRect& known) {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        return true;
    }
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr);
    bool taken = false;
    if (tree && tree->parent != tree->root) {
        xcb_translate_coordinates_reply_t* where = xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, id, tree->root, 0, 0), nullptr);
        taken = where && QPoint(where->dst_x, where->dst_y) == known.topLeft();
        std::free(where);
    }
    std::free(tree);
    return taken;
}

} // namespace

CTrayNotifyIcon::CTrayNotifyIcon(const QIcon& icon, const QString& tooltip, QObject* parent)
    : QObject(parent), m_plainIcon(icon), m_menu(std::make_unique<QMenu>()) {
    m_menu->setObjectName("trayMenu");
    QAction* open =
        AddAction(QStringLiteral("Open"), "openAction", &CTrayNotifyIcon::openRequested);
    m_menu->setDefaultAction(open); // shown in bold
    m_menu->addSeparator();
    m_start = AddAction(QStringLiteral("Start"), "startAction", &CTrayNotifyIcon::startRequested);
    m_stop = AddAction(QStringLiteral("Stop"), "stopAction", &CTrayNotifyIcon::stopRequested);
    m_menu->addSeparator();
    m_startAtLogin = AddAction(QStringLiteral("Start at login"), "startAtLoginAction",
                               &CTrayNotifyIcon::startAtLoginRequested);
    m_startAtLogin->setCheckable(true);
    m_menu->addSeparator();
    AddAction(QStringLiteral("Exit"), "exitAction", &CTrayNotifyIcon::exitRequested);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &CTrayNotifyIcon::menuAboutToShow);

    // Qt chooses the kind of host once, with the first icon; so do we.
    m_singleActivation = StatusNotifierHost();
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(tooltip);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A single click on an X11 tray does nothing.
                if (reason == QSystemTrayIcon::DoubleClick ||
                    (reason == QSystemTrayIcon::Trigger && m_singleActivation)) {
                    emit openRequested();
                }
            });

    m_areaWait.setInterval(kAreaLookMs);
    connect(&m_areaWait, &QTimer::timeout, this, &CTrayNotifyIcon::LookForArea);
    m_balloonWait.setInterval(kPlaceCheckMs);
    connect(&m_balloonWait, &QTimer::timeout, this, &CTrayNotifyIcon::ShowBalloonWhenPlaced);
}

CTrayNotifyIcon::~CTrayNotifyIcon() {
    delete m_icon; // before the menu it shows
}

QAction* CTrayNotifyIcon::AddAction(const QString& text, const char* name,
                                    void (CTrayNotifyIcon::*signal)()) {
    QAction* action = m_menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, signal);
    return action;
}

bool CTrayNotifyIcon::AreaAvailable() {
    return Platform().notificationArea->IsAvailable();
}

void CTrayNotifyIcon::Show(const QString& balloonTitle, const QString& balloonText,
                           std::uint32_t waitMs) {
    m_balloonTitle = balloonTitle;
    m_balloonText = balloonText;
    if (AreaAvailable()) {
        Add();
        return;
    }
    m_waitStart = Platform().clock->TickCount();
    m_waitMs = waitMs;
    m_areaWait.start();
}

void CTrayNotifyIcon::LookForArea() {
    if (AreaAvailable()) {
        m_areaWait.stop();
        Add();
        emit shownAfterWait();
    } else if (Platform().clock->TickCount() - m_waitStart >= m_waitMs) {
        m_areaWait.stop();
        emit noArea();
    }
}

void CTrayNotifyIcon::Add() {
    m_icon->show();
    m_placeChecks = 0;
    ShowBalloonWhenPlaced();
}

void CTrayNotifyIcon::ShowBalloonWhenPlaced() {
    // Shown before the icon has its place, the balloon would point at the screen's corner.
    // An icon that gets no place in time gets no balloon.
    if (++m_placeChecks > kPlaceChecks) {
        m_balloonWait.stop();
        return;
    }
    if (!IsPlaced()) {
        m_balloonWait.start();
        return;
    }
    m_balloonWait.stop();
    m_icon->showMessage(m_balloonTitle, m_balloonText, QSystemTrayIcon::Information, kBalloonMs);
}

bool CTrayNotifyIcon::IsPlaced() const {
    if (!IsShown()) {
        return false;
    }
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("QSystemTrayIconSys")) {
            return TakenInByTray(*window, m_icon->geometry());
        }
    }
    return true; // drawn by the host itself (status notifier) or by the platform
}

bool CTrayNotifyIcon::IsShown() const {
    return m_icon->isVisible() && AreaAvailable();
}

void CTrayNotifyIcon::SetEngineCommands(bool canStart, bool canStop) {
    m_start->setEnabled(canStart);
    m_stop->setEnabled(canStop);
}

void CTrayNotifyIcon::SetStatus(const QString& tooltip, bool warning) {
    m_icon->setToolTip(tooltip);
    if (warning == m_warning) {
        return;
    }
    m_warning = warning;
    if (warning && m_warningIcon.isNull()) {
        m_warningIcon = WithWarningMark(m_plainIcon);
    }
    m_icon->setIcon(warning ? m_warningIcon : m_plainIcon);
}

void CTrayNotifyIcon::Notify(const QString& title, const QString& text, bool warning) {
    if (IsShown()) {
        m_icon->showMessage(title, text,
                            warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                            kBalloonMs);
    }
}

void CTrayNotifyIcon::SetStartAtLogin(bool on) {
    m_startAtLogin->setChecked(on);
}

} // namespace sentrel
