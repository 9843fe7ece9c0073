// The main window through its widgets: lists, record commands, Start/Stop, the trace box,
// Exit and closing, Minimise, Help and About.

#include "alerts/AlertKinds.h"
#include "alerts/RunProgramAlert.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "platform/PosixPlatform.h"
#include "services/EventLog.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/ActivationStates.h"
#include "ui/MainDialog.h"
#include "ui/SessionEnd.h"
#include "watches/FileWatch.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <atomic>
#include <chrono>
#include <csignal>

using namespace sentrel;
using namespace sentrel::test;

namespace {

QPushButton* Button(QWidget* parent, const char* name) {
    return Find<QPushButton>(parent, name);
}

QListWidget* List(QWidget* parent, const char* name) {
    return Find<QListWidget>(parent, name);
}

void Select(QListWidget* list, int row) {
    list->clearSelection();
    list->item(row)->setSelected(true);
}

const char* const kStateNames[] = {"disabled", "fine", "not checked", "triggered", "cannot check"};

// What a line shows: the state that its icon is, and the words of its tooltip, which its
// accessible description repeats.
QString Shown(const QListWidgetItem* item) {
    QString state = "no state icon";
    for (int s = 0; s < 5; ++s) {
        if (item->icon().pixmap(16).toImage() ==
            StateIcon(static_cast<ShownState>(s)).pixmap(16).toImage()) {
            state = kStateNames[s];
        }
    }
    const QString words = item->data(Qt::AccessibleDescriptionRole).toString() == item->toolTip()
                              ? item->toolTip()
                              : "the description is not the tooltip";
    return state + ": " + words;
}

QString Is(ShownState state, const QString& words) {
    return QString(kStateNames[static_cast<int>(state)]) + ": " + words;
}

CActivation* AddActivation(CSentrelDoc& doc, const std::string& name, CWatch* watch,
                           CAlert* alert) {
    auto activation = std::make_unique<CActivation>();
    activation->name = name;
    activation->watch = {watch};
    activation->alerts = {alert};
    doc.activations.push_back(std::move(activation));
    return doc.activations.back().get();
}

std::unique_ptr<CMainDialog> OpenWindow() {
    auto window = std::make_unique<CMainDialog>();
    window->Initialise();
    window->show();
    return window;
}

std::unique_ptr<CSentrelDoc> LoadStore(const std::string& path) {
    auto doc = std::make_unique<CSentrelDoc>(path);
    doc->Load(false);
    return doc;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }

    void listsSortIgnoringCaseWhileDocumentKeepsOrder() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            for (const char* name : {"b", "A", "c", "D"}) {
                AddWatch(doc, name);
                AddAlert(doc, name);
            }
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        QCOMPARE(Entries(List(window.get(), "watchList")), (QStringList{"A", "b", "c", "D"}));
        QCOMPARE(Entries(List(window.get(), "alertList")), (QStringList{"A", "b", "c", "D"}));

        Button(window.get(), "exitButton")->click();
        QCOMPARE(Names(LoadStore(env.StorePath())->watches),
                 (std::vector<std::string>{"b", "A", "c", "D"}));
    }

    void newMessageAlertThroughTypeSelection() {
        UiEnvironment env;
        auto window = OpenWindow();
        // Saves are written off the UI thread: the start-up's lands soon after.
        QTRY_VERIFY(QFile::exists(QString::fromStdString(env.StorePath())));
        const std::string before = ReadFile(env.StorePath());

        // Cancelled in the editor: no record, no save.
        WhenShown("AlertSelectionDialog", [](QWidget* dialog) {
            Find<QRadioButton>(dialog, "messageRadio")->setChecked(true);
            Find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        });
        WhenShown("MessageAlertDialog", [](QWidget* editor) {
            QTest::keyClicks(Find<QLineEdit>(editor, "nameEdit"), "Never");
            Button(editor, "cancelButton")->click();
        });
        Button(window.get(), "newAlertButton")->click();
        QCOMPARE(List(window.get(), "alertList")->count(), 0);
        QCOMPARE(ReadFile(env.StorePath()), before);

        // OK on an empty name is refused with the focus on the name; then accepted.
        env.messageBox.shown.clear();
        bool refused = false;
        WhenShown("AlertSelectionDialog", [](QWidget* dialog) {
            Find<QRadioButton>(dialog, "messageRadio")->setChecked(true);
            Find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        });
        WhenShown("MessageAlertDialog", [&env, &refused](QWidget* editor) {
            auto* name = Find<QLineEdit>(editor, "nameEdit");
            Button(editor, "cancelButton")->setFocus();
            Button(editor, "okButton")->click();
            refused = editor->isVisible() && editor->focusWidget() == name &&
                      env.Messages() == std::vector<std::string>{"Specify an alert name"};
            QTest::keyClicks(name, "Popup");
            Button(editor, "okButton")->click();
        });
        Button(window.get(), "newAlertButton")->click();
        QVERIFY(refused);
        QCOMPARE(Entries(List(window.get(), "alertList")), QStringList{"Popup"});
        // Accepting is a save point.
        QTRY_COMPARE(Names(LoadStore(env.StorePath())->alerts), std::vector<std::string>{"Popup"});
        const auto stored = LoadStore(env.StorePath());
        QCOMPARE(Names(stored->alerts), std::vector<std::string>{"Popup"});
        QCOMPARE(std::string(stored->alerts[0]->GetRuntimeClass().name),
                 std::string("CMessageAlert"));

        // Edited by a double click on its entry, then saved.
        WhenShown("MessageAlertDialog", [](QWidget* editor) {
            auto* name = Find<QLineEdit>(editor, "nameEdit");
            QCOMPARE(name->text(), QString("Popup"));
            name->setText("Window");
            Button(editor, "okButton")->click();
        });
        QListWidget* alerts = List(window.get(), "alertList");
        // A double click selects the entry, then the list reports it.
        QTest::mouseClick(alerts->viewport(), Qt::LeftButton, {},
                          alerts->visualItemRect(alerts->item(0)).center());
        QVERIFY(alerts->item(0)->isSelected());
        emit alerts->itemDoubleClicked(alerts->item(0));
        QCOMPARE(Entries(alerts), QStringList{"Window"});
        QTRY_COMPARE(Names(LoadStore(env.StorePath())->alerts), std::vector<std::string>{"Window"});
    }

    void selectionFollowsTheChange() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            for (const char* name : {"A", "C", "E"}) {
                AddAlert(doc, name);
            }
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        QListWidget* alerts = List(window.get(), "alertList");
        const auto selected = [alerts] {
            const auto items = alerts->selectedItems();
            return items.size() == 1 ? items[0]->text() : QString("%1 selected").arg(items.size());
        };
        // The record just saved, wherever its name puts it.
        Select(alerts, 1);
        WhenShown("MessageAlertDialog", [](QWidget* editor) {
            Find<QLineEdit>(editor, "nameEdit")->setText("Z");
            Button(editor, "okButton")->click();
        });
        Button(window.get(), "editAlertButton")->click();
        QCOMPARE(Entries(alerts), (QStringList{"A", "E", "Z"}));
        QCOMPARE(selected(), QString("Z"));
        WhenShown("AlertSelectionDialog", [](QWidget* dialog) {
            Find<QRadioButton>(dialog, "messageRadio")->setChecked(true);
            Find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        });
        WhenShown("MessageAlertDialog", [](QWidget* editor) {
            Find<QLineEdit>(editor, "nameEdit")->setText("B");
            Button(editor, "okButton")->click();
        });
        Button(window.get(), "newAlertButton")->click();
        QCOMPARE(selected(), QString("B"));
        // After a delete, the next entry; after the last one's, the one before.
        Button(window.get(), "deleteAlertButton")->click();
        QCOMPARE(selected(), QString("E"));
        Select(alerts, 2);
        Button(window.get(), "deleteAlertButton")->click();
        QCOMPARE(Entries(alerts), (QStringList{"A", "E"}));
        QCOMPARE(selected(), QString("E"));
    }

    void typeSelectionCancelledCreatesNothing() {
        UiEnvironment env;
        auto window = OpenWindow();
        WhenShown("WatchSelectionDialog", [](QWidget* dialog) {
            // The first kind is chosen when the dialog opens.
            QVERIFY(Find<QRadioButton>(dialog, "popRadio")->isChecked());
            Find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        });
        Button(window.get(), "newWatchButton")->click();
        QCOMPARE(List(window.get(), "watchList")->count(), 0);
    }

    void duplicateNamesActOnTheFirstRecord() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            AddWatch(doc, "dup");
            AddWatch(doc, "other");
            AddWatch(doc, "dup");
            AddAlert(doc, "same");
            auto program = std::make_unique<CRunProgramAlert>();
            program->name = "same";
            doc.alerts.push_back(std::move(program));
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();

        // Whichever duplicate entry is selected, the first record goes.
        QListWidget* watches = List(window.get(), "watchList");
        for (int row = 0; row < watches->count(); ++row) {
            if (watches->item(row)->text() == "dup") {
                Select(watches, row);
            }
        }
        Button(window.get(), "deleteWatchButton")->click();
        Select(List(window.get(), "alertList"), 1);
        Button(window.get(), "deleteAlertButton")->click();

        Button(window.get(), "exitButton")->click();
        const auto stored = LoadStore(env.StorePath());
        QCOMPARE(Names(stored->watches), (std::vector<std::string>{"other", "dup"}));
        QCOMPARE(stored->alerts.size(), std::size_t(1));
        QCOMPARE(std::string(stored->alerts[0]->GetRuntimeClass().name),
                 std::string("CRunProgramAlert"));
    }

    void inUseRecordsAreRefusedNamingTheFirstActivation() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            CWatch* watch = AddWatch(doc, "Host");
            CAlert* alert = AddAlert(doc, "Phone");
            AddActivation(doc, "Zulu", watch, alert);
            AddActivation(doc, "Alpha", watch, alert);
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        QListWidget* watches = List(window.get(), "watchList");
        QListWidget* alerts = List(window.get(), "alertList");
        env.messageBox.shown.clear();

        Select(alerts, 0);
        Button(window.get(), "deleteAlertButton")->click();
        Select(watches, 0);
        Button(window.get(), "deleteWatchButton")->click();
        QCOMPARE(env.Messages(),
                 (std::vector<std::string>{"Unable to delete alert.\nAlert is in use by Zulu",
                                           "Unable to delete watch.\nWatch is in use by Zulu"}));
        QCOMPARE(env.messageBox.shown[0].caption, std::string("Sentrel"));
        QCOMPARE(alerts->count(), 1);
        QCOMPARE(watches->count(), 1);

        // Activations go without asking and leave their watch and alerts; then the watch
        // may go too.
        QListWidget* activations = List(window.get(), "activationList");
        QCOMPARE(Entries(activations), (QStringList{"Alpha", "Zulu"}));
        Select(activations, 1);
        Button(window.get(), "deleteActivationButton")->click();
        QCOMPARE(Entries(activations), QStringList{"Alpha"});
        Select(watches, 0);
        Button(window.get(), "deleteWatchButton")->click();
        QCOMPARE(env.Messages().back(),
                 std::string("Unable to delete watch.\nWatch is in use by Alpha"));
        Select(activations, 0);
        Button(window.get(), "deleteActivationButton")->click();
        Select(watches, 0);
        Button(window.get(), "deleteWatchButton")->click();
        QCOMPARE(watches->count(), 0);
        QCOMPARE(alerts->count(), 1);
        QCOMPARE(env.messageBox.shown.size(), std::size_t(3));
    }

    void commandsWithoutSelectionSayWhatIsMissing() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            AddWatch(doc, "w");
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        env.messageBox.shown.clear();
        for (const char* button :
             {"editWatchButton", "deleteWatchButton", "editActivationButton",
              "deleteActivationButton", "editAlertButton", "deleteAlertButton"}) {
            Button(window.get(), button)->click();
        }
        QCOMPARE(env.Messages(),
                 (std::vector<std::string>{"Select a Watch before clicking Edit",
                                           "Select a Watch before clicking Delete",
                                           "Select an Activation before clicking Edit",
                                           "Select an Activation before clicking Delete",
                                           "Select an Alert before clicking Edit",
                                           "Select an Alert before clicking Delete"}));
        QCOMPARE(List(window.get(), "watchList")->count(), 1);
    }

    void deleteIsASavePointAndClosingWithoutATrayAsks() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            doc.traceOn = true;
            AddAlert(doc, "Gone");
            AddAlert(doc, "Keep");
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        QSignalSpy finished(window.get(), &QDialog::finished);
        // Whatever ends the program next, a deleted record stays deleted.
        Select(List(window.get(), "alertList"), 0);
        Button(window.get(), "deleteAlertButton")->click();
        QTRY_COMPARE(Names(LoadStore(env.StorePath())->alerts), std::vector<std::string>{"Keep"});

        // Without a notification area, Escape and the close button ask before ending the
        // watching; No keeps the window as it was.
        QStringList asked;
        const auto answer = [&asked](QMessageBox::StandardButton button) {
            WhenShown("exitQuestion", [&asked, button](QWidget* shown) {
                auto* box = static_cast<QMessageBox*>(shown);
                asked << box->windowTitle() + ": " + box->text();
                box->button(button)->click();
            });
        };
        answer(QMessageBox::No);
        QTest::keyClick(window.get(), Qt::Key_Escape);
        answer(QMessageBox::No);
        window->close();
        QCOMPARE(asked, QStringList(2, "Sentrel: Exit Sentrel? Watching stops until you start it "
                                       "again."));
        QVERIFY(window->isVisible());
        QCOMPARE(finished.count(), 0);
        // Yes ends as "Exit" does.
        answer(QMessageBox::Yes);
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);
        QCOMPARE(TraceEvents(env.TracePath()),
                 (std::vector<std::string>{"TRACE Trace Switched on", "Sentrel Exited"}));
    }

    void exitLogsThenSaves() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            doc.traceOn = true;
            AddAlert(doc, "Gone");
            AddAlert(doc, "Stays");
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        QSignalSpy finished(window.get(), &QDialog::finished);
        Select(List(window.get(), "alertList"), 0);
        Button(window.get(), "deleteAlertButton")->click();
        Button(window.get(), "exitButton")->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);
        QCOMPARE(Names(LoadStore(env.StorePath())->alerts), std::vector<std::string>{"Stays"});
        QCOMPARE(TraceEvents(env.TracePath()),
                 (std::vector<std::string>{"TRACE Trace Switched on", "Sentrel Exited"}));
    }

    void endOfSessionExitsAsExitDoes() {
        UiEnvironment env;
        // As the program wires it: SIGTERM, then the session manager's quit. Each time the
        // store is written anew.
        for (const bool bySignal : {true, false}) {
            {
                CSentrelDoc doc(env.StorePath());
                doc.Load(false);
                doc.traceOn = true;
                AddAlert(doc, bySignal ? "Deleted before SIGTERM" : "Deleted before quit");
                QVERIFY(doc.Save());
            }
            auto window = OpenWindow();
            CSessionEnd sessionEnd;
            connect(&sessionEnd, &CSessionEnd::endRequested, window.get(), &CMainDialog::OnExit);
            QSignalSpy finished(window.get(), &QDialog::finished);
            Select(List(window.get(), "alertList"), 0);
            Button(window.get(), "deleteAlertButton")->click();
            std::remove(env.StorePath().c_str());
            if (bySignal) {
                QCOMPARE(::raise(SIGTERM), 0);
            } else {
                QEvent quit(QEvent::Quit);
                QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
            }
            QTRY_COMPARE(finished.count(), 1);
            QCOMPARE(finished.at(0).at(0).toInt(), 1);
            QCOMPARE(TraceEvents(env.TracePath()).back(), std::string("Sentrel Exited"));
            QVERIFY(LoadStore(env.StorePath())->alerts.empty());
            CTraceFile::Instance().SwitchOff();
        }
    }

    void enterGoesToTheFocusedButton() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            AddAlert(doc, "Popup");
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QSignalSpy finished(window.get(), &QDialog::finished);
        // On "About..." Enter opens the About box, not the default "Start".
        bool aboutShown = false;
        WhenShown("AboutDialog", [&aboutShown](QWidget* about) {
            aboutShown = true;
            Button(about, "okButton")->click();
        });
        Button(window.get(), "aboutButton")->setFocus();
        QTest::keyClick(Button(window.get(), "aboutButton"), Qt::Key_Return);
        QVERIFY(aboutShown);
        QVERIFY(Button(window.get(), "startButton")->isEnabled());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // Enter on a list's entry edits it, as a double click does; without an entry
        // selected, Enter is "Start".
        QListWidget* alerts = List(window.get(), "alertList");
        // The list that has the focus shows it with its frame.
        const auto frame = [alerts] {
            const QImage shown = alerts->grab().toImage();
            return shown.pixelColor(0, shown.height() / 2);
        };
        const QColor highlight = alerts->palette().color(QPalette::Highlight);
        QVERIFY(frame() != highlight);
        Select(alerts, 0);
        alerts->setFocus();
        QCOMPARE(frame(), highlight);
        bool edited = false;
        WhenShown("MessageAlertDialog", [&edited](QWidget* editor) {
            edited = Find<QLineEdit>(editor, "nameEdit")->text() == "Popup";
            Button(editor, "cancelButton")->click();
        });
        QTest::keyClick(alerts, Qt::Key_Return);
        QVERIFY(edited);
        QVERIFY(Button(window.get(), "startButton")->isEnabled());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        alerts->clearSelection();
        alerts->setFocus();
        QTest::keyClick(alerts, Qt::Key_Return);
        QVERIFY(!Button(window.get(), "startButton")->isEnabled());
        // Tab from "Minimise" reaches "Exit", and Enter there exits.
        Button(window.get(), "minimiseButton")->setFocus();
        QTest::keyClick(Button(window.get(), "minimiseButton"), Qt::Key_Tab);
        QCOMPARE(window->focusWidget(), Button(window.get(), "exitButton"));
        QTest::keyClick(window->focusWidget(), Qt::Key_Enter);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);
    }

    void startAndStopSwitchTheEngineAndTheirButtons() {
        UiEnvironment env;
        auto window = OpenWindow();
        QPushButton* start = Button(window.get(), "startButton");
        QPushButton* stop = Button(window.get(), "stopButton");
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        QVERIFY(start->isDefault());

        Find<QCheckBox>(window.get(), "traceCheck")->click();
        start->click();
        QVERIFY(!start->isEnabled());
        QVERIFY(stop->isEnabled());

        stop->click();
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        QCOMPARE(TraceEvents(env.TracePath()),
                 (std::vector<std::string>{"TRACE Trace Switched on", "Sentrel Activations started",
                                           "Sentrel Activations stopped"}));
    }

    void startedEngineFiresDueActivationsOnItsTimer() {
        UiEnvironment env;
        {
            CSentrelDoc doc(env.StorePath());
            doc.traceOn = true;
            CWatch* always = AddWatch(doc, "Always"); // the bare watch always triggers
            CAlert* popup = AddAlert(doc, "Popup");
            CActivation* activation = AddActivation(doc, "Act", always, popup);
            activation->enabled = true;
            activation->interval = "5";
            activation->nextDate = CDateTime::Now().FormatDate();
            activation->nextTime = CDateTime::Now().FormatTime();
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        Button(window.get(), "startButton")->click();
        QVERIFY(env.popups.opened.empty()); // the first pass comes with the timer
        // Passes go on while a dialog of the window is open.
        bool firedWhileOpen = false;
        WhenShown("AlertSelectionDialog", [&env, &firedWhileOpen](QWidget* dialog) {
            QElapsedTimer waited;
            waited.start();
            while (env.popups.opened.empty() && waited.elapsed() < 3000) {
                QTest::qWait(20);
            }
            firedWhileOpen = dialog->isVisible() && env.popups.opened.size() == 1;
            Find<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        });
        Button(window.get(), "newAlertButton")->click();
        QVERIFY(firedWhileOpen);
        // Stopped, the engine's timer starts no pass, even when the activation is due again.
        Button(window.get(), "stopButton")->click();
        env.clock.Advance(600);
        QTest::qWait(1500);
        QCOMPARE(env.popups.opened.size(), std::size_t(1));
        QCOMPARE(TraceEvents(env.TracePath()),
                 (std::vector<std::string>{"TRACE Trace Switched on", "Sentrel Activations started",
                                           "Act:Always Triggered", "Act:Popup Triggered",
                                           "Sentrel Activations stopped"}));
    }

    void traceBoxSwitchesTheTraceAndSaves() {
        UiEnvironment env;
        WriteFile(env.TracePath(), "earlier line\r\n");
        env.clock.now = 1796586931; // Sunday 2026-12-06 19:55:31 UTC
        auto window = OpenWindow();
        auto* box = Find<QCheckBox>(window.get(), "traceCheck");
        QVERIFY(!box->isChecked());
        // Start-up applied the clear box: the file is left alone.
        QCOMPARE(ReadFile(env.TracePath()), std::string("earlier line\r\n"));

        box->click();
        QTRY_VERIFY(LoadStore(env.StorePath())->traceOn);
        box->click();
        QTRY_VERIFY(!LoadStore(env.StorePath())->traceOn);
        QCOMPARE(TraceEvents(env.TracePath()),
                 (std::vector<std::string>{"line", "TRACE Trace Switched on",
                                           "TRACE Trace Switched off"}));
        // The stamp is the clock's time in Berlin.
        const std::string trace = ReadFile(env.TracePath());
        QVERIFY(trace.find("Sunday,December06,2026,20:55:31 TRACE Trace Switched on\r\n") !=
                std::string::npos);

        // Set in the store, the switch is applied at start-up: its line comes first,
        // "Started" is never written.
        window.reset();
        CTraceFile::Instance().SwitchOff();
        {
            CSentrelDoc doc(env.StorePath());
            doc.Load(false);
            doc.traceOn = true;
            QVERIFY(doc.Save());
        }
        QFile::remove(QString::fromStdString(env.TracePath()));
        window = OpenWindow();
        box = Find<QCheckBox>(window.get(), "traceCheck");
        QVERIFY(box->isChecked());
        QCOMPARE(TraceEvents(env.TracePath()), std::vector<std::string>{"TRACE Trace Switched on"});
    }

    void withoutATrayMinimiseKeepsTheWindowOnTheTaskbar() {
        UiEnvironment env;
        // Started minimised (at login), the window waits hidden for the notification area,
        // half a minute, and comes up when there is none, with the message.
        auto window = std::make_unique<CMainDialog>();
        window->Initialise();
        window->ShowAtStart(true);
        env.clock.Advance(29);
        QTest::qWait(700);
        QVERIFY(env.messageBox.shown.empty());
        QVERIFY(!window->isVisible());
        env.clock.Advance(1);
        QTRY_COMPARE(env.Messages(), std::vector<std::string>{"Failed to create tray icon"});
        QVERIFY(env.messageBox.shown[0].icon == MessageIcon::Stop);
        QVERIFY(window->isVisible());

        Button(window.get(), "minimiseButton")->click();
        QVERIFY(window->isVisible());
        QVERIFY(window->isMinimized());
        window->OnOpen();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
    }

    // A check waiting on a server that never answers leaves the window answering; Stop and
    // Exit wait for the check to return, and the window says what it waits for.
    void windowAnswersWhileACheckWaitsOnAStalledServer() {
        UiEnvironment env;
        std::atomic<int> hungUp = 0;
        ScriptedHttpServer server([&hungUp](ScriptedHttpServer::Connection& connection) {
            connection.WaitForStop(std::chrono::seconds(3)); // then hangs up, unanswered
            ++hungUp;
        });
        {
            CSentrelDoc doc(env.StorePath());
            auto watch = std::make_unique<CWebPageWatch>();
            watch->name = "Silent";
            watch->url = server.Url("/");
            auto activation = std::make_unique<CActivation>();
            activation->name = "Often";
            activation->enabled = true;
            activation->watch = {watch.get()};
            activation->interval = "1";
            activation->nextDate = CDateTime::Now().FormatDate();
            activation->nextTime = CDateTime::Now().FormatTime();
            doc.watches.push_back(std::move(watch));
            doc.activations.push_back(std::move(activation));
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        auto* status = Find<QLabel>(window.get(), "statusLabel");
        Button(window.get(), "startButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), std::size_t(1), 5000);

        qint64 slowest = 0;
        for (int i = 0; i < 10; ++i) {
            QElapsedTimer waited;
            waited.start();
            bool answered = false;
            QMetaObject::invokeMethod(
                window.get(), [&answered] { answered = true; }, Qt::QueuedConnection);
            while (!answered && waited.elapsed() < 1000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            slowest = std::max(slowest, waited.elapsed());
        }
        QVERIFY2(slowest < 100, qPrintable(QString::number(slowest)));
        QCOMPARE(hungUp.load(), 0); // all of it while the check waited

        // The status line shows without moving the buttons under the user's pointer, and
        // goes when the engine is started again.
        const auto settled = [] {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        };
        settled();
        const QRect exitAt = Button(window.get(), "exitButton")->geometry();
        Button(window.get(), "stopButton")->click();
        settled();
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), QString("Stopping: waiting for Often:Silent to finish..."));
        QCOMPARE(Button(window.get(), "exitButton")->geometry(), exitAt);
        Button(window.get(), "startButton")->click();
        QVERIFY(!status->isVisible());
        Button(window.get(), "stopButton")->click();
        QVERIFY(status->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!status->isVisible(), 5000);

        env.clock.Advance(60); // due again
        Button(window.get(), "startButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), std::size_t(2), 5000);
        QSignalSpy finished(window.get(), &QDialog::finished);
        Button(window.get(), "exitButton")->click();
        QCOMPARE(status->text(), QString("Exiting: waiting for Often:Silent to finish..."));
        QCOMPARE(finished.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QCOMPARE(finished[0][0].toInt(), 1);
        QCOMPARE(LoadStore(env.StorePath())->activations[0]->nextTime,
                 CDateTime::Now().AddSeconds(60).FormatTime()); // saved at the exit
    }

    // Each activation's line shows the state of its last check, in its icon and in words;
    // each watch's line the worst of its activations; the tray icon the engine and any
    // activation that cannot check. "Check Now" in an activation's menu looks once.
    void statesShowInTheListsAndTheTray() {
        UiEnvironment env;
        const std::string notes = env.paths.dir + "/notes.txt";
        const CDateTime now = CDateTime::Now(); // the clock stands still
        {
            CSentrelDoc doc(env.StorePath());
            auto file = std::make_unique<CFileWatch>();
            file->name = "Notes";
            file->fileName = notes;
            file->watchMode = 2; // contains "": fires on every file it can read
            CWatch* always = AddWatch(doc, "Always");
            CAlert* popup = AddAlert(doc, "Popup");
            const auto add = [&](const char* name, CWatch* watch, const CDateTime& next) {
                CActivation* activation = AddActivation(doc, name, watch, popup);
                activation->enabled = true;
                activation->interval = "1";
                activation->nextDate = next.FormatDate();
                activation->nextTime = next.FormatTime();
            };
            add("Read notes", file.get(), now);
            add("Ping me", always, now);
            add("Later", always, now.AddDays(1));
            add("Off", always, now);
            doc.activations.back()->enabled = false;
            doc.watches.push_back(std::move(file));
            AddWatch(doc, "Unused");
            QVERIFY(doc.Save());
        }
        auto window = OpenWindow();
        QListWidget* activations = List(window.get(), "activationList");
        QListWidget* watches = List(window.get(), "watchList");
        QCOMPARE(Entries(activations), (QStringList{"Later", "Off", "Ping me", "Read notes"}));
        QCOMPARE(Entries(watches), (QStringList{"Always", "Notes", "Unused"}));
        const auto when = [](const CDateTime& t) {
            return S(t.FormatDate() + " " + t.FormatTime());
        };
        const QString nextMinute = "Next due: " + when(now.AddSeconds(60));
        const QString missing = S("Cannot open " + notes + ": No such file or directory");
        QCOMPARE(Shown(activations->item(3)),
                 Is(ShownState::NotChecked, "Not checked yet\nNext due: " + when(now)));
        auto* tray = window->findChild<QSystemTrayIcon*>();
        QCOMPARE(tray->toolTip(), QString("Sentrel: stopped"));

        Button(window.get(), "startButton")->click();
        QTRY_COMPARE(Shown(activations->item(3)),
                     Is(ShownState::CannotCheck,
                        "Last check: " + when(now) + ", cannot check: " + missing +
                            "\nLast trigger: none since Sentrel started\n" + nextMinute));
        QTRY_COMPARE(Shown(activations->item(2)),
                     Is(ShownState::Triggered, "Last check: " + when(now) +
                                                   ", triggered\nLast trigger: " + when(now) +
                                                   "\n" + nextMinute));
        QCOMPARE(Shown(activations->item(0)),
                 Is(ShownState::NotChecked, "Not checked yet\nNext due: " + when(now.AddDays(1))));
        QCOMPARE(Shown(activations->item(1)), Is(ShownState::Disabled, "Disabled"));
        QCOMPARE(
            Shown(watches->item(0)),
            Is(ShownState::Triggered, "Ping me: triggered\nLater: not checked yet\nOff: disabled"));
        QCOMPARE(Shown(watches->item(1)),
                 Is(ShownState::CannotCheck, "Read notes: cannot check: " + missing));
        QCOMPARE(Shown(watches->item(2)), Is(ShownState::Disabled, "Not used by any activation"));
        QCOMPARE(tray->toolTip(), "Sentrel: running, 3 activations\n1 cannot check: Read notes (c" +
                                      missing.mid(1) + ")");
        const auto image = [](const QIcon& icon) { return icon.pixmap(32).toImage(); };
        QCOMPARE(image(tray->icon()), image(WithWarningMark(ProgramIcon())));
        QCOMPARE(env.popups.opened, std::vector<std::string>{""}); // "Ping me" fired

        // Check Now from the menu of the line under the mouse: the outcome in a message box,
        // no alert, the schedule as it was.
        WriteFile(notes, "milk");
        env.messageBox.shown.clear();
        activations->clearSelection();
        emit activations->customContextMenuRequested(
            activations->visualItemRect(activations->item(3)).center());
        auto* menu = Find<QMenu>(window.get(), "activationMenu");
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(activations->selectedItems(), QList<QListWidgetItem*>{activations->item(3)});
        Find<QAction>(menu, "checkNowAction")->trigger();
        menu->close();
        QTRY_COMPARE(env.Messages(), std::vector<std::string>{"milk"});
        QCOMPARE(Shown(activations->item(3)),
                 Is(ShownState::Triggered, "Last check: " + when(now) +
                                               ", triggered\nLast trigger: " + when(now) + "\n" +
                                               nextMinute));
        QCOMPARE(tray->toolTip(), QString("Sentrel: running, 3 activations"));
        QCOMPARE(image(tray->icon()), image(ProgramIcon()));
        QCOMPARE(env.popups.opened.size(), std::size_t(1));

        // Its Delete is the list's: the watch's line follows.
        Select(activations, 1);
        Find<QAction>(menu, "deleteActivationAction")->trigger();
        QCOMPARE(Entries(activations), (QStringList{"Later", "Ping me", "Read notes"}));
        QCOMPARE(Shown(watches->item(0)),
                 Is(ShownState::Triggered, "Ping me: triggered\nLater: not checked yet"));
    }

    void helpOpensTheProgramsHelpPage() {
        UiEnvironment env;
        auto window = OpenWindow();
        Button(window.get(), "helpButton")->click();
        const std::string page = HelpFile(ExecutableDir());
        QCOMPARE(env.help.opened, std::vector<std::string>{page});
        QVERIFY(env.messageBox.shown.empty());
        // Where no browser can be started, the user is told where the page is.
        env.help.browser = false;
        Button(window.get(), "helpButton")->click();
        QCOMPARE(
            env.Messages(),
            std::vector<std::string>{
                "No web browser could be started to show the help. The help page is:\n" + page});
    }

    void aboutBoxNamesTheVersionAndTheStore() {
        UiEnvironment env;
        auto window = OpenWindow();
        QString title;
        QString version;
        QString store;
        WhenShown("AboutDialog", [&](QWidget* about) {
            title = about->windowTitle();
            version = Find<QLabel>(about, "versionLabel")->text();
            store = Find<QLabel>(about, "storeLabel")->text();
            Button(about, "okButton")->click();
        });
        Button(window.get(), "aboutButton")->click();
        QCOMPARE(title, QString("About Sentrel"));
        QCOMPARE(version, QString("Sentrel 3.0"));
        QVERIFY2(store.endsWith("\n" + QString::fromStdString(env.StorePath())), qPrintable(store));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
