// The tray icon with its menu, its mouse and its balloon, the window going to it and coming
// back, the return of the notification area, and the alert popups.

#include "alerts/AlertKinds.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "platform/Autostart.h"
#include "platform/PosixPlatform.h"
#include "services/EventLog.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AlertPopup.h"
#include "ui/MainDialog.h"
#include "ui/QtServices.h"
#include "ui/TrayNotifyIcon.h"
#include "watches/FileWatch.h"
#include "watches/WatchKinds.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMutex>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace sentrel;
using namespace sentrel::test;

namespace {

PlatformServices WithArea(INotificationArea* area) {
    PlatformServices services;
    services.notificationArea = area;
    return services;
}

// A notification area that the test puts there or takes away, in place while it lives.
struct TestArea : FakeNotificationArea {
    explicit TestArea(bool there) { available = there; }
    ScopedPlatform installed{WithArea(this)};
};

// The watcher of a status-notifier host, as a panel puts it on the session bus; it notes
// the icons that register.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

public:
    bool HostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    QStringList Items() const {
        const QMutexLocker lock(&m_mutex);
        return m_items;
    }

public slots:
    void RegisterStatusNotifierItem(const QString& item, const QDBusMessage& message) {
        const QMutexLocker lock(&m_mutex);
        m_items << (item.startsWith('/') ? message.service() : item);
    }

private:
    mutable QMutex m_mutex; // the bus calls come on the host's thread
    QStringList m_items;
};

// The open alert popup that shows `text`, or null.
CAlertPopup* PopupShowing(const QString& text) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* popup = qobject_cast<CAlertPopup*>(window);
        if (popup && popup->isVisible() &&
            Find<QPlainTextEdit>(popup, "messageEdit")->toPlainText() == text) {
            return popup;
        }
    }
    return nullptr;
}

// The balloons an X11 tray icon puts on screen, each as the texts it shows.
class BalloonWatch : public QObject {
public:
    BalloonWatch() { QApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show && object->inherits("QBalloonTip")) {
            last = static_cast<QWidget*>(object);
            QStringList texts;
            for (const QLabel* label : last->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    texts << label->text();
                }
            }
            shown << texts;
        }
        return false;
    }
    QList<QStringList> shown;
    QPointer<QWidget> last;
};

// The X11 window that holds the program's tray icon (a tray panel's), or 0 while none does.
xcb_window_t TrayHolding() {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != QLatin1String("QSystemTrayIconSys") || !x11) {
            continue;
        }
        xcb_connection_t* connection = x11->connection();
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(
            connection, xcb_query_tree(connection, static_cast<xcb_window_t>(window->winId())),
            nullptr);
        const xcb_window_t holder = tree && tree->parent != tree->root ? tree->parent : 0;
        std::free(tree);
        return holder;
    }
    return 0;
}

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }

    void trayIconMenuAndMouse() {
        UiEnvironment env;
        // Started at login: the notification area comes a little after the program, and
        // the window waits for it hidden.
        TestArea area(false);
        auto window = std::make_unique<CMainDialog>();
        window->Initialise();
        window->ShowAtStart(true);
        QPointer<QSystemTrayIcon> icon = window->findChild<QSystemTrayIcon*>();
        QVERIFY(icon);
        QVERIFY(!icon->isVisible());
        QVERIFY(!window->isVisible());
        env.clock.Advance(20);
        area.available = true;
        QTRY_VERIFY(icon->isVisible());
        QVERIFY(env.messageBox.shown.empty()); // no "Failed to create tray icon"
        QVERIFY(!window->isVisible());
        QCOMPARE(icon->toolTip(), QString("Sentrel: stopped"));

        QMenu* menu = icon->contextMenu();
        QVERIFY(menu);
        QStringList items;
        for (const QAction* action : menu->actions()) {
            items << (action->isSeparator() ? "-" : action->text());
        }
        QCOMPARE(items,
                 (QStringList{"Open", "-", "Start", "Stop", "-", "Start at login", "-", "Exit"}));
        QCOMPARE(menu->defaultAction(), menu->actions()[0]);
        const auto item = [menu](const char* name) { return Find<QAction>(menu, name); };

        // "Start at login" writes the desktop's autostart entry and takes it away again;
        // its tick follows the entry, also one changed outside the program.
        QAction* startAtLogin = item("startAtLoginAction");
        QVERIFY(startAtLogin->isCheckable());
        QVERIFY(!startAtLogin->isChecked());
        startAtLogin->trigger();
        QVERIFY(startAtLogin->isChecked());
        QVERIFY(
            ReadFile(env.AutostartPath()).find("\nExec=" + ExecutablePath() + " --minimised\n") !=
            std::string::npos);
        startAtLogin->trigger();
        QVERIFY(!startAtLogin->isChecked());
        QVERIFY(!QFile::exists(QString::fromStdString(env.AutostartPath())));
        std::string problem;
        QVERIFY(SetAutostart(env.AutostartPath(), true, "/usr/bin/sentrel", problem));
        emit menu->aboutToShow();
        QVERIFY(startAtLogin->isChecked());
        QVERIFY(env.messageBox.shown.empty());

        // "Start" and "Stop" are the window's, and usable when theirs are.
        CTraceFile::Instance().SwitchOn();
        auto* start = Find<QPushButton>(window.get(), "startButton");
        QVERIFY(item("startAction")->isEnabled() && !item("stopAction")->isEnabled());
        // The tooltip says what the engine does.
        item("startAction")->trigger();
        QVERIFY(!start->isEnabled());
        QVERIFY(!item("startAction")->isEnabled() && item("stopAction")->isEnabled());
        QCOMPARE(icon->toolTip(), QString("Sentrel: running, 0 activations"));
        item("stopAction")->trigger();
        QVERIFY(start->isEnabled());
        QVERIFY(item("startAction")->isEnabled() && !item("stopAction")->isEnabled());
        QCOMPARE(icon->toolTip(), QString("Sentrel: stopped"));
        QCOMPARE(TraceEvents(env.TracePath()),
                 (std::vector<std::string>{"Sentrel Activations started",
                                           "Sentrel Activations stopped"}));

        // A double click brings the window up; a single click does nothing.
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window->isVisible());
        window->OnMinimise();
        QVERIFY(!window->isVisible());
        emit icon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!window->isVisible());
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());

        // With the icon there, Escape and the close button hide the window as "Minimise"
        // does; the watching goes on, and "Open" brings the window back.
        QSignalSpy finished(window.get(), &QDialog::finished);
        item("startAction")->trigger();
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        item("openAction")->trigger();
        QVERIFY(window->isVisible());
        window->close();
        QVERIFY(!window->isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(!start->isEnabled());
        QCOMPARE(TraceEvents(env.TracePath()).back(), std::string("Sentrel Activations started"));
        item("openAction")->trigger();
        QVERIFY(window->isVisible());

        // "Exit" from the menu is the Exit button: the event and the save.
        std::remove(env.StorePath().c_str());
        item("exitAction")->trigger();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);
        QVERIFY(QFile::exists(QString::fromStdString(env.StorePath())));
        QCOMPARE(TraceEvents(env.TracePath()).back(), std::string("Sentrel Exited"));

        // The icon goes with the window.
        window.reset();
        QVERIFY(icon.isNull());
    }

    // Under a real X server (with-xvfb.sh): a panel with a notification area comes, goes
    // and comes back.
    void realNotificationArea() {
        if (qEnvironmentVariableIsEmpty("SENTREL_TRAY_TEST")) {
            QSKIP("runs under the X server that with-xvfb.sh starts");
        }
        QProcess panel;
        const QStringList args = {"--edge", "top", "--align", "right", "--widthtype", "request"};
        panel.start("trayer", args);
        QVERIFY2(panel.waitForStarted(5000), "trayer did not start");
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);

        UiEnvironment env;
        // An activation whose file is not there yet, due tomorrow: Check Now looks at it.
        const std::string notes = env.paths.dir + "/notes.txt";
        {
            CSentrelDoc doc(env.StorePath());
            auto watch = std::make_unique<CFileWatch>();
            watch->name = "Notes";
            watch->fileName = notes;
            auto activation = std::make_unique<CActivation>();
            activation->name = "Read notes";
            activation->enabled = true;
            activation->watch = {watch.get()};
            activation->interval = "60";
            activation->nextDate = CDateTime::Now().AddDays(1).FormatDate();
            activation->nextTime = CDateTime::Now().FormatTime();
            doc.watches.push_back(std::move(watch));
            doc.activations.push_back(std::move(activation));
            QVERIFY(doc.Save());
        }
        BalloonWatch balloons;
        CQtNotificationArea desktop;
        ScopedPlatform realArea(WithArea(&desktop));
        CMainDialog window;
        window.Initialise();
        window.show();
        QVERIFY(env.messageBox.shown.empty());
        auto* icon = window.findChild<QSystemTrayIcon*>();
        QVERIFY(icon && icon->isVisible());
        // The balloon waits until the tray has taken the icon in, and then points at it.
        QCOMPARE(balloons.shown.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(balloons.shown.size(), 1, 10000);
        QCOMPARE(balloons.shown[0],
                 QStringList({"Manipulate alerts sent to your mobile", "Sentrel"}));
        const QRect place = icon->geometry();
        QWidget* balloon = balloons.last;
        QVERIFY(balloon && balloon->isVisible());
        QVERIFY2(balloon->frameGeometry().adjusted(-30, -30, 30, 30).contains(place.center()),
                 qPrintable(QString("balloon at %1,%2, icon at %3,%4")
                                .arg(balloon->x())
                                .arg(balloon->y())
                                .arg(place.x())
                                .arg(place.y())));
        window.OnMinimise();
        QVERIFY(!window.isVisible());
        window.OnOpen();
        QVERIFY(window.isVisible());

        // The panel restarts at once: the new one takes the icon in, without a balloon.
        QVERIFY(TrayHolding() != 0);
        panel.kill();
        panel.waitForFinished(5000);
        QTRY_COMPARE_WITH_TIMEOUT(TrayHolding(), xcb_window_t(0), 5000); // no tray holds it
        panel.start("trayer", args);
        QVERIFY(panel.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(TrayHolding() != 0, 10000);
        QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
        QVERIFY(icon->isVisible());
        QTest::qWait(500);
        QCOMPARE(balloons.shown.size(), 1); // added again without a balloon
        // Its menu still works.
        Find<QAction>(icon->contextMenu(), "startAction")->trigger();
        QVERIFY(!Find<QPushButton>(&window, "startButton")->isEnabled());

        // The desktop is told once when an activation starts failing, and once when it can
        // look again.
        Find<QListWidget>(&window, "activationList")->item(0)->setSelected(true);
        window.OnCheckNow();
        QTRY_COMPARE(balloons.shown.size(), 2);
        const QString missing =
            QString::fromStdString("Cannot open " + notes + ": No such file or directory");
        QCOMPARE(balloons.shown[1], QStringList({"Sentrel cannot check Notes", missing}));
        window.OnCheckNow();
        QTRY_COMPARE(env.messageBox.shown.size(), std::size_t(2));
        WriteFile(notes, "milk");
        window.OnCheckNow();
        QTRY_COMPARE(balloons.shown.size(), 3);
        QCOMPARE(balloons.shown[2], QStringList({"Sentrel can check Notes again"}));
        panel.kill();
        panel.waitForFinished(5000);
    }

    // A status-notifier host (its watcher on the session bus that dbus-run-session gives
    // this run) reports one activation and never a double click: it opens the window.
    void statusNotifierActivationOpens() {
        if (qEnvironmentVariableIsEmpty("SENTREL_SNI_TEST")) {
            QSKIP("runs on the session bus that dbus-run-session starts");
        }
        // The host answers on a thread of its own: the program asks it with blocking calls.
        QThread hostThread;
        hostThread.start();
        FakeWatcher hostWatcher;
        hostWatcher.moveToThread(&hostThread);
        QDBusConnection host = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "host");
        QVERIFY(host.registerObject("/StatusNotifierWatcher", &hostWatcher,
                                    QDBusConnection::ExportAllSlots |
                                        QDBusConnection::ExportAllProperties));
        QVERIFY(host.registerService("org.kde.StatusNotifierWatcher"));
        FakeNotifications notifications;
        notifications.moveToThread(&hostThread);
        QVERIFY(host.registerObject("/org/freedesktop/Notifications", &notifications,
                                    QDBusConnection::ExportAllSlots));
        QVERIFY(host.registerService("org.freedesktop.Notifications"));

        UiEnvironment env;
        TestArea area(true);
        CMainDialog window;
        window.Initialise();
        window.show();
        QTRY_COMPARE(hostWatcher.Items().size(), 1);
        // The host places the icon itself: the balloon goes to the desktop's notifications.
        QTRY_COMPARE(notifications.Shown(),
                     QStringList{"Manipulate alerts sent to your mobile\nSentrel"});
        window.OnMinimise();
        QVERIFY(!window.isVisible());
        QDBusMessage activate =
            QDBusMessage::createMethodCall(hostWatcher.Items()[0], "/StatusNotifierItem",
                                           "org.kde.StatusNotifierItem", "Activate");
        activate << 0 << 0;
        host.asyncCall(activate);
        QTRY_VERIFY(window.isVisible());

        // The host comes back: the icon registers again, without a second balloon.
        QVERIFY(host.unregisterService("org.kde.StatusNotifierWatcher"));
        QVERIFY(host.registerService("org.kde.StatusNotifierWatcher"));
        QTRY_COMPARE(hostWatcher.Items().size(), 2);
        QTest::qWait(300);
        QCOMPARE(notifications.Shown().size(), 1);
        QDBusConnection::disconnectFromBus("host");
        hostThread.quit();
        hostThread.wait();
    }

    void alertPopupsAreIndependentWindows() {
        CAlertPopupService popups;
        popups.Open("Disk full\nsecond line that is long enough to scroll");
        popups.Open("");
        CAlertPopup* one = PopupShowing("Disk full\nsecond line that is long enough to scroll");
        CAlertPopup* two = PopupShowing("");
        QVERIFY(one && two && one != two);
        for (CAlertPopup* popup : {one, two}) {
            QVERIFY(popup->isVisible());
            QCOMPARE(popup->windowTitle(), QString("Alert"));
            QCOMPARE(popup->parentWidget(), nullptr);
            auto* text = popup->findChild<QPlainTextEdit*>("messageEdit");
            QVERIFY(text->isReadOnly());
            QCOMPARE(text->lineWrapMode(), QPlainTextEdit::NoWrap);
            QVERIFY(popup->findChild<QPushButton*>("okButton")->isDefault());
        }
        // The second opened over the first is offset, so that both can be seen.
        QVERIFY(one->pos() != two->pos());
        QVERIFY(
            QGuiApplication::primaryScreen()->availableGeometry().contains(two->frameGeometry()));

        // Escape closes the one it is pressed in; the other stays.
        QPointer<CAlertPopup> gone = one;
        QTest::keyClick(one, Qt::Key_Escape);
        QTRY_VERIFY(gone.isNull());
        QVERIFY(two->isVisible());
        QPointer<CAlertPopup> okGone = two;
        two->findChild<QPushButton*>("okButton")->click();
        QTRY_VERIFY(okGone.isNull());

        // Stored text that is not UTF-8 shows as Windows-1252.
        const int third = popups.Open("Caf\xe9 \x80");
        QPointer<CAlertPopup> decoded = PopupShowing(QString::fromUtf8("Caf\xc3\xa9 \xe2\x82\xac"));
        QVERIFY(decoded);
        popups.Close(third);
        QTRY_VERIFY(decoded.isNull());
    }
};

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
