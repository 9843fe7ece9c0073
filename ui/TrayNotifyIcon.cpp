#include "ui/TrayNotifyIcon.h"

#include "ui/TaskbarWatcher.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace sentrel {

namespace {

std::optional<bool> g_trayAvailableForTesting;

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

CTrayNotifyIcon::CTrayNotifyIcon(QObject* parent) : QObject(parent), m_hook(*this) {}

CTrayNotifyIcon::~CTrayNotifyIcon() {
    RemoveIcon();
    m_hook.UnhookWindow();
    delete m_icon; // before the menu it shows
    m_icon = nullptr;
}

void CTrayNotifyIcon::SetTrayAvailableForTesting(std::optional<bool> available) {
    g_trayAvailableForTesting = available;
}

bool CTrayNotifyIcon::TrayAvailable() {
    return g_trayAvailableForTesting.value_or(QSystemTrayIcon::isSystemTrayAvailable());
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
    delete m_icon;
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(tooltip);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                TrayMouse mouse = TrayMouse::MiddleClick;
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    mouse = TrayMouse::LeftClick;
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

    if (!TrayAvailable()) {
        m_created = false;
        return false;
    }
    m_icon->show();
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
    switch (balloonKind) {
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
    m_icon->showMessage(balloonTitle, balloonText, kind, balloonSeconds * 1000);
    ++m_balloons;
    m_created = true;
    return true;
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
