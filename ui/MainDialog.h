#pragma once

// The main window: watches, activations and alerts side by side, each list with its New,
// Edit and Delete buttons, and the bottom row (trace box, Start, Stop, About, Help,
// Minimise, Exit). A view of the session (the document, the engine and the trace switch),
// whose engine it hosts on QTimers; it owns the tray icon. Only "Exit" (and the end of the
// desktop session) ends it: Escape and the window's close button hide it to the tray
// icon, or, where there is none, ask first.

#include "engine/Engine.h"
#include "engine/Session.h"
#include "ui/EngineHost.h"
#include "ui/TrayNotifyIcon.h"

#include <QDialog>

class QMenu;
class QPoint;

#include <memory>

namespace Ui {
class MainDialog;
}

namespace sentrel {

class CMainDialog : public QDialog {
    Q_OBJECT

public:
    CMainDialog();
    ~CMainDialog() override;

    // The start-up steps, in order: "Started", icons, load the store, fill the lists, the
    // trace box from the store, the tray icon, Start on and Stop off, apply the trace
    // switch. Call once before showing the window. False, after telling the user why, when
    // the program must end instead: there is no safe data folder, or the store is there
    // but cannot be read.
    bool Initialise();
    // Shows the window after Initialise; `minimised` (started at login) keeps it in the
    // notification area instead when there is one, or while one is waited for.
    void ShowAtStart(bool minimised);

    // The commands of the bottom row and the tray menu (the lists' New, Edit and Delete
    // buttons are wired to their list in the constructor).
    void OnStart();
    void OnStop();
    void OnTrace();
    void OnAbout();
    void OnHelp();
    void OnMinimise();
    void OnOpen();
    void OnExit();
    // The tray menu's "Start at login": switches the desktop's autostart entry.
    void OnStartAtLogin();
    // "Check Now" in an activation's context menu: its watch is checked once, on the
    // engine's worker, and a message box says what it found. No alert goes, the schedule
    // stays.
    void OnCheckNow();

    // Each watch's and activation's entry shows its state again, and so does the tray icon.
    void ShowStates();

    // Escape and the window's close button.
    void reject() override;

private:
    void OnEngineProgress();
    // A check ended: the entries of the activation and of its watch, the tray, and a
    // desktop notification when the activation starts or stops failing.
    void OnChecked(const CActivation& activation, CheckOutcome before);
    void ShowTrayStatus();
    void OnActivationMenu(const QPoint& where);
    void ShowWaiting();
    // Start and Stop, in the window and in the tray menu, as usable as the engine allows.
    void ShowEngineCommands(bool canStart, bool canStop);
    // No notification area came: the window stays on the taskbar, and says why.
    void OnNoTray();
    // Ticks "Start at login" when the autostart entry is there.
    void ShowStartAtLogin();

    std::unique_ptr<Ui::MainDialog> m_ui;
    CQtEngineHost m_host;
    CSentrelSession m_session;
    CSentrelDoc& m_doc;
    CEngine& m_engine;
    std::unique_ptr<CTrayNotifyIcon> m_tray;
    QMenu* m_activationMenu; // a child: "Check Now", "Edit", "Delete"
    // Started minimised while the notification area is waited for: shown if it never comes.
    bool m_hiddenForTray = false;
    // Exit came while a check or send was under way: it completes when the pass ends.
    bool m_exitRequested = false;
};

} // namespace sentrel
