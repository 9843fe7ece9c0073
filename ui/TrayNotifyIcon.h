#pragma once

// The program's icon in the desktop's notification area: a tooltip, one balloon when it
// is added (shown once the icon has its place there, so that it points at it), a menu
// with "Open" and "Exit", and a double click (on status-notifier hosts, which report no
// double click, the single activation) that opens the window. The
// icon's mouse notifications reach the notification window as CTrayCallbackEvent, which
// the window hands back to HandleTrayMessage. A hook on the top-level frame window adds
// the icon again when the notification area comes back, and removes it when the frame
// goes.

#include "ui/HookWnd.h"

#include <QEvent>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace sentrel {

// The mouse notifications of the icon. Activate is the one activation a status-notifier
// host reports (it never reports a double click).
enum class TrayMouse { LeftClick, LeftDoubleClick, RightButtonUp, MiddleClick, Activate };

// What the icon sends its notification window.
class CTrayCallbackEvent : public QEvent {
public:
    CTrayCallbackEvent(int id, TrayMouse mouse) : QEvent(Type()), id(id), mouse(mouse) {}
    static QEvent::Type Type();
    int id;
    TrayMouse mouse;
};

// Menu commands the tray menu sends (the same the window's buttons stand for, and the
// switch of starting at login).
enum TrayCommand { kCommandOpen = 1, kCommandExit = 2, kCommandStartAtLogin = 3 };

// The menus the program has, by id: 143 holds "Open" (kCommandOpen), the checkable
// "Start at login" (kCommandStartAtLogin) and "Exit" (kCommandExit). Null for any other id.
std::unique_ptr<QMenu> LoadTrayMenu(int id);

class CTrayNotifyIcon;

class CTrayOwnerHook : public CHookWnd {
public:
    explicit CTrayOwnerHook(CTrayNotifyIcon& tray) : m_tray(tray) {}
    bool HandleMessage(QWidget* window, QEvent* event) override;

private:
    CTrayNotifyIcon& m_tray;
};

class CTrayNotifyIcon : public QObject {
    Q_OBJECT

public:
    enum BalloonKind { BalloonWarning = 0, BalloonError = 1, BalloonInfo = 2 };

    explicit CTrayNotifyIcon(QObject* parent = nullptr);
    ~CTrayNotifyIcon() override;

    // Adds the icon. `frame` is the top-level window whose events the icon follows (the
    // notification window itself when null). `balloonSeconds` is how long the balloon
    // stays. The menu is the one with id `menuId`, or `id` when that is 0. False when the
    // menu does not exist (nothing else happens then) or the icon could not be added
    // (no notification area): the hook stays, the icon is shown again when the area comes
    // (without a balloon), and AddWhenAvailable adds it as CreateIcon would have.
    bool CreateIcon(QWidget* notifyWindow, QWidget* frame, int id, const QString& tooltip,
                    const QString& balloonText, const QString& balloonTitle, int balloonSeconds,
                    int balloonKind, const QIcon& icon, int menuId);
    bool RemoveIcon();
    // After a CreateIcon that found no notification area: adds the icon, with its balloon,
    // if an area exists now. True when the icon is created.
    bool AddWhenAvailable();

    // 1 when `id` is this icon's, else 0. A double click (or a status-notifier host's
    // activation) sends the menu's first command ("Open"); the menu itself opens on a right
    // click; anything else does nothing.
    int HandleTrayMessage(int id, TrayMouse mouse);

    bool IsCreated() const { return m_created; }
    // The icon is in the notification area now.
    bool IsShown() const;
    QMenu* GetMenu() const { return m_menu.get(); }

    // Whether the desktop has a notification area now (the platform's service).
    static bool TrayAvailable();

signals:
    // A menu command for the notification window.
    void command(int id);

private:
    friend class CTrayOwnerHook;
    void OnTaskbarCreated();
    void AddToArea();
    void ShowBalloonWhenPlaced();
    // The icon has its place in the notification area: at once on hosts that draw it
    // themselves; on an X11 tray once the tray has taken the icon's window in.
    bool IsPlaced() const;

    struct Balloon {
        QString title;
        QString text;
        int kind = 0;
        int ms = 0;
    };

    CTrayOwnerHook m_hook;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
    QPointer<QWidget> m_notifyWindow;
    int m_id = 0;
    bool m_created = false;
    bool m_hidden = false;
    bool m_singleActivation = false; // the host reports one activation, no double click
    Balloon m_balloon;
    QTimer* m_balloonWait = nullptr;
    int m_placeChecks = 0;
};

} // namespace sentrel
