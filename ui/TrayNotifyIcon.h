#pragma once

// The program's icon in the desktop's notification area: a tooltip, one balloon when it
// is added, a menu with "Open" and "Exit", and a double click that opens the window. The
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
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace sentrel {

// The mouse notifications of the icon.
enum class TrayMouse { LeftClick, LeftDoubleClick, RightButtonUp, MiddleClick };

// What the icon sends its notification window.
class CTrayCallbackEvent : public QEvent {
public:
    CTrayCallbackEvent(int id, TrayMouse mouse) : QEvent(Type()), id(id), mouse(mouse) {}
    static QEvent::Type Type();
    int id;
    TrayMouse mouse;
};

// Menu commands the tray menu sends (the same the window's buttons stand for).
enum TrayCommand { kCommandOpen = 1, kCommandExit = 2 };

// The menus the program has, by id: 143 holds "Open" (kCommandOpen) and "Exit"
// (kCommandExit). Null for any other id.
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
    // (no notification area): the hook stays, and the icon is added when the area comes.
    bool CreateIcon(QWidget* notifyWindow, QWidget* frame, int id, const QString& tooltip,
                    const QString& balloonText, const QString& balloonTitle, int balloonSeconds,
                    int balloonKind, const QIcon& icon, int menuId);
    bool RemoveIcon();

    // 1 when `id` is this icon's, else 0. A double click sends the menu's first command
    // ("Open"); the menu itself opens on a right click; anything else does nothing.
    int HandleTrayMessage(int id, TrayMouse mouse);

    bool IsCreated() const { return m_created; }
    // The icon is in the notification area now.
    bool IsShown() const;
    QMenu* GetMenu() const { return m_menu.get(); }
    QSystemTrayIcon* GetTrayIcon() const { return m_icon; }
    const CTrayOwnerHook& GetOwnerHook() const { return m_hook; }
    // How many times the balloon has been shown.
    int BalloonCount() const { return m_balloons; }

    // Tests: whether a notification area exists, instead of asking the desktop.
    static void SetTrayAvailableForTesting(std::optional<bool> available);
    static bool TrayAvailable();

signals:
    // A menu command for the notification window.
    void command(int id);

private:
    friend class CTrayOwnerHook;
    void OnTaskbarCreated();

    CTrayOwnerHook m_hook;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
    QPointer<QWidget> m_notifyWindow;
    int m_id = 0;
    bool m_created = false;
    bool m_hidden = false;
    int m_balloons = 0;
};

} // namespace sentrel
