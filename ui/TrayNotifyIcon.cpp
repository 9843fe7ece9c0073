#include "ui/TrayNotifyIcon.h"

#include "platform/Platform.h"
#include "ui/TaskbarWatcher.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace sentrel {

namespace {

// How often, and how many times, to look whether the icon has its place for the balloon.
constexpr int kPlaceCheckMs = 100;
constexpr int kPlaceChecks = 100;

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

QEvent::Type CTrayCallbackEvent::Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

std::unique_ptr<QMenu> LoadTrayMenu(int id) {
    if (id != 143) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName("trayMenu");
    QAction* open = menu->addAction(QStringLiteral("Open"));
    open->setObjectName("openAction");
    open->setData(kCommandOpen);
    menu->addSeparator();
    QAction* startAtLogin = menu->addAction(QStringLiteral("Start at login"));
    startAtLogin->setObjectName("startAtLoginAction");
    startAtLogin->setCheckable(true);
    startAtLogin->setData(kCommandStartAtLogin);
    menu->addSeparator();
    QAction* exit = menu->addAction(QStringLiteral("Exit"));
    exit->setObjectName("exitAction");
    exit->setData(kCommandExit);
    return menu;
}

bool CTrayOwnerHook::HandleMessage(QWidget*, QEvent* event) {
    if (event->type() == TaskbarCreatedEvent()) {
        m_tray.OnTaskbarCreated();
    } else if (event->type() == CHookWnd::WindowDestroyEvent()) {
        m_tray.RemoveIcon();
    }
    return false; // the window sees these too
}

CTrayNotifyIcon::CTrayNotifyIcon(QObject* parent)
    : QObject(parent), m_hook(*this), m_balloonWait(new QTimer(this)) {
    m_balloonWait->setInterval(kPlaceCheckMs);
    connect(m_balloonWait, &QTimer::timeout, this, &CTrayNotifyIcon::ShowBalloonWhenPlaced);
}

CTrayNotifyIcon::~CTrayNotifyIcon() {
    RemoveIcon();
    m_hook.UnhookWindow();
    delete m_icon; // before the menu it shows
    m_icon = nullptr;
}

bool CTrayNotifyIcon::TrayAvailable() {
    return Platform().notificationArea->IsAvailable();
}

bool CTrayNotifyIcon::CreateIcon(QWidget* notifyWindow, QWidget* frame, int id,
                                 const QString& tooltip, const QString& balloonText,
                                 const QString& balloonTitle, int balloonSeconds, int balloonKind,
                                 const QIcon& icon, int menuId) {
    std::unique_ptr<QMenu> menu = LoadTrayMenu(menuId != 0 ? menuId : id);
    if (!menu || menu->actions().isEmpty()) {
        return false;
    }
    m_menu = std::move(menu);
    m_menu->setDefaultAction(m_menu->actions().first()); // "Open", shown in bold
    for (QAction* action : m_menu->actions()) {
        connect(action, &QAction::triggered, this,
                [this, action] { emit command(action->data().toInt()); });
    }

    m_hook.HookFrame(frame ? frame : notifyWindow);

    m_notifyWindow = notifyWindow;
    m_id = id;
    m_singleActivation = StatusNotifierHost();
    delete m_icon;
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(tooltip);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                TrayMouse mouse = TrayMouse::MiddleClick;
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    mouse = m_singleActivation ? TrayMouse::Activate : TrayMouse::LeftClick;
                    break;
                case QSystemTrayIcon::DoubleClick:
                    mouse = TrayMouse::LeftDoubleClick;
                    break;
                case QSystemTrayIcon::Context:
                    mouse = TrayMouse::RightButtonUp;
                    break;
                default:
                    break;
                }
                if (m_notifyWindow) {
                    CTrayCallbackEvent event(m_id, mouse);
                    QCoreApplication::sendEvent(m_notifyWindow, &event);
                }
            });

    m_balloon = Balloon{balloonTitle, balloonText, balloonKind, balloonSeconds * 1000};
    m_created = false;
    if (!TrayAvailable()) {
        return false;
    }
    AddToArea();
    return true;
}

bool CTrayNotifyIcon::AddWhenAvailable() {
    if (!m_created && m_icon && TrayAvailable()) {
        AddToArea();
    }
    return m_created;
}

void CTrayNotifyIcon::AddToArea() {
    m_icon->show();
    m_created = true;
    m_placeChecks = 0;
    ShowBalloonWhenPlaced();
}

void CTrayNotifyIcon::ShowBalloonWhenPlaced() {
    // Shown before the icon has its place, the balloon would point at the screen's corner.
    // An icon that gets no place in time gets no balloon.
    if (!m_created || !m_icon || ++m_placeChecks > kPlaceChecks) {
        m_balloonWait->stop();
        return;
    }
    if (!IsPlaced()) {
        m_balloonWait->start();
        return;
    }
    m_balloonWait->stop();
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
    switch (m_balloon.kind) {
    case BalloonWarning:
        kind = QSystemTrayIcon::Warning;
        break;
    case BalloonError:
        kind = QSystemTrayIcon::Critical;
        break;
    case BalloonInfo:
        kind = QSystemTrayIcon::Information;
        break;
    default:
        break;
    }
    m_icon->showMessage(m_balloon.title, m_balloon.text, kind, m_balloon.ms);
}

bool CTrayNotifyIcon::IsPlaced() const {
    if (!m_icon || !m_icon->isVisible() || !TrayAvailable()) {
        return false;
    }
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("QSystemTrayIconSys")) {
            return TakenInByTray(*window, m_icon->geometry());
        }
    }
    return true; // drawn by the host itself (status notifier) or by the platform
}

bool CTrayNotifyIcon::RemoveIcon() {
    if (!m_created) {
        return false;
    }
    if (m_icon) {
        m_icon->hide();
    }
    const bool unhooked = m_hook.UnhookWindow();
    m_created = false;
    return unhooked;
}

bool CTrayNotifyIcon::IsShown() const {
    return m_icon && m_icon->isVisible() && TrayAvailable();
}

int CTrayNotifyIcon::HandleTrayMessage(int id, TrayMouse mouse) {
    if (id != m_id) {
        return 0;
    }
    switch (mouse) {
    case TrayMouse::RightButtonUp:
        // The notification area opens the icon's menu itself; its commands come back
        // through command().
        break;
    case TrayMouse::LeftDoubleClick:
    case TrayMouse::Activate:
        if (m_notifyWindow) {
            m_notifyWindow->activateWindow();
        }
        if (m_menu && !m_menu->actions().isEmpty()) {
            m_menu->actions().first()->trigger();
        }
        break;
    default:
        break;
    }
    return 1;
}

void CTrayNotifyIcon::OnTaskbarCreated() {
    if (m_hidden || !m_icon) {
        return;
    }
    // Added again with its tooltip and menu, without the balloon.
    m_hidden = true;
    m_icon->hide();
    m_icon->show();
    m_hidden = false;
}

} // namespace sentrel
