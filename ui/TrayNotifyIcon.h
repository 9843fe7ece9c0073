#pragma once

// The program's icon in the desktop's notification area, as one object: the icon with its
// tooltip, its menu and its start-up balloon. What the user asks of it comes out as
// signals. It follows the notification area through Qt: the icon is added as soon as an
// area is there (at login the panel often starts after the program), and Qt adds it again
// when the panel restarts (an X11 tray taking the tray selection, a status-notifier
// watcher registering anew).

#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace sentrel {

class CTrayNotifyIcon : public QObject {
    Q_OBJECT

public:
    // Nothing shows before Show.
    CTrayNotifyIcon(const QIcon& icon, const QString& tooltip, QObject* parent = nullptr);
    ~CTrayNotifyIcon() override;

    // Puts the icon in the notification area, now or as soon as there is one, and shows
    // the balloon (information, ten seconds) once the icon has its place there; only this
    // first time, never when the icon comes back. An area that does not come within
    // `waitMs` (by the platform clock) ends the wait with noArea().
    void Show(const QString& balloonTitle, const QString& balloonText, std::uint32_t waitMs);

    // The icon is in a notification area now: a window hidden to it can come back.
    bool IsShown() const;
    // Show is still waiting for a notification area.
    bool IsWaiting() const { return m_areaWait.isActive(); }

    // The menu's "Start" and "Stop" are usable as the window's buttons are.
    void SetEngineCommands(bool canStart, bool canStop);
    // The tooltip, and whether the icon carries the warning mark.
    void SetStatus(const QString& tooltip, bool warning);
    // A desktop notification from the icon (the tray's message), for ten seconds; nothing
    // while the icon is not in a notification area.
    void Notify(const QString& title, const QString& text, bool warning);
    // The tick of "Start at login".
    void SetStartAtLogin(bool on);

    // Whether the desktop has a notification area now (the platform's service).
    static bool AreaAvailable();

signals:
    // A double click on the icon (a status-notifier host's activation), or "Open".
    void openRequested();
    void startRequested();
    void stopRequested();
    void startAtLoginRequested();
    void exitRequested();
    // The menu is about to open: a moment to bring its ticks up to date.
    void menuAboutToShow();
    // The icon came into a notification area that Show waited for.
    void shownAfterWait();
    // No notification area came within Show's wait.
    void noArea();

private:
    void LookForArea();
    void Add();
    void ShowBalloonWhenPlaced();
    // The icon has its place in the notification area: at once on hosts that draw it
    // themselves; on an X11 tray once the tray has taken the icon's window in.
    bool IsPlaced() const;
    QAction* AddAction(const QString& text, const char* name, void (CTrayNotifyIcon::*signal)());

    QIcon m_plainIcon;
    QIcon m_warningIcon; // made when first needed
    bool m_warning = false;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr; // a child; goes before the menu it shows
    QAction* m_start = nullptr;
    QAction* m_stop = nullptr;
    QAction* m_startAtLogin = nullptr;
    // The host reports one activation and no double click (a status notifier).
    bool m_singleActivation = false;
    QString m_balloonTitle;
    QString m_balloonText;
    QTimer m_areaWait;
    std::uint32_t m_waitStart = 0;
    std::uint32_t m_waitMs = 0;
    QTimer m_balloonWait;
    int m_placeChecks = 0;
};

} // namespace sentrel
