// The hook chain on a window, the tray icon with its menu and mouse notifications, the
// return of the notification area, and the alert popups.

#include "alerts/AlertKinds.h"
#include "model/SentrelDoc.h"
#include "platform/Autostart.h"
#include "platform/PosixPlatform.h"
#include "services/EventLog.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AlertPopup.h"
#include "ui/HookWnd.h"
#include "ui/MainDialog.h"
#include "ui/QtServices.h"
#include "ui/TaskbarWatcher.h"
#include "ui/TrayNotifyIcon.h"
#include "watches/WatchKinds.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QLabel>
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

using namespace sentrel;
using namespace sentrel::test;

namespace {

const QEvent::Type kProbe = static_cast<QEvent::Type>(QEvent::registerEventType());

// A window that notes the probe events it gets.
class ProbeWindow : public QWidget {
public:
    std::vector<std::string>* seen = nullptr;

protected:
    bool event(QEvent* event) override {
        if (event->type() == kProbe) {
            seen->push_back("window");
            return true;
        }
        return QWidget::event(event);
    }
};

class NotingHook : public CHookWnd {
public:
    NotingHook(std::string name, std::vector<std::string>& seen, bool* deleted = nullptr)
        : m_name(std::move(name)), m_seen(seen), m_deleted(deleted) {}
    ~NotingHook() override {
        if (m_deleted) {
            *m_deleted = true;
        }
    }
    bool HandleMessage(QWidget*, QEvent* event) override {
        if (event->type() == kProbe) {
            m_seen.push_back(m_name);
            return handles;
        }
        if (event->type() == CHookWnd::WindowDestroyEvent()) {
            m_seen.push_back(m_name + " sees the window go");
        }
        return false;
    }
    bool handles = false;

private:
    std::string m_name;
    std::vector<std::string>& m_seen;
    bool* m_deleted;
};

std::vector<std::string> Probe(QWidget& window, std::vector<std::string>& seen) {
    seen.clear();
    QEvent probe(kProbe);
    QCoreApplication::sendEvent(&window, &probe);
    return seen;
}

using Seen = std::vector<std::string>;

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

// The desktop's notification service on the host's bus; notes what it is asked to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    // Title and text of each notification, one a line.
    QStringList Shown() const {
        const QMutexLocker lock(&m_mutex);
        return m_shown;
    }

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        const QMutexLocker lock(&m_mutex);
        m_shown << summary + "\n" + body;
        return static_cast<uint>(m_shown.size());
    }
    QStringList GetCapabilities() { return {"body"}; }

private:
    mutable QMutex m_mutex;
    QStringList m_shown;
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

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        RegisterWatchKinds();
        RegisterAlertKinds();
    }

    void twoHooksOnOneWindow() {
        Seen seen;
        ProbeWindow window;
        window.seen = &seen;
        NotingHook older("older", seen);
        NotingHook newer("newer", seen);
        QVERIFY(older.HookWindow(&window));
        QVERIFY(newer.HookWindow(&window));
        QVERIFY(!newer.HookWindow(&window)); // already on a chain
        QCOMPARE(CHookWnd::FirstHook(&window), &newer);

        QCOMPARE(Probe(window, seen), (Seen{"newer", "older", "window"}));
        newer.handles = true;
        QCOMPARE(Probe(window, seen), Seen{"newer"});
        newer.handles = false;
        older.handles = true;
        QCOMPARE(Probe(window, seen), (Seen{"newer", "older"}));
        older.handles = false;

        // Taking the newer one off makes the older one first again.
        QVERIFY(newer.UnhookWindow());
        QVERIFY(!newer.UnhookWindow());
        QCOMPARE(CHookWnd::FirstHook(&window), &older);
        QCOMPARE(Probe(window, seen), (Seen{"older", "window"}));

        // Taking off the older of two leaves the newer one linked straight to the window.
        QVERIFY(newer.HookWindow(&window));
        QVERIFY(older.UnhookWindow());
        QCOMPARE(Probe(window, seen), (Seen{"newer", "window"}));
        QVERIFY(newer.UnhookWindow());
        QCOMPARE(CHookWnd::FirstHook(&window), nullptr);
        QCOMPARE(Probe(window, seen), Seen{"window"});
    }

    void hooksLeaveWithTheirWindow() {
        Seen seen;
        bool autoDeleted = false;
        auto* window = new ProbeWindow;
        window->seen = &seen;
        NotingHook kept("kept", seen);
        auto* owned = new NotingHook("owned", seen, &autoDeleted);
        owned->SetAutoDelete(true);
        QVERIFY(kept.HookWindow(window));
        QVERIFY(owned->HookWindow(window));
        seen.clear();
        delete window;
        QVERIFY(autoDeleted);
        QVERIFY(!kept.UnhookWindow()); // already taken off
        QCOMPARE(seen, (Seen{"owned sees the window go", "kept sees the window go"}));
    }

    void trayIconMenuAndMouse() {
        UiEnvironment env;
        // Started at login: the notification area comes a little after the program, and
        // the window waits for it hidden.
        TestArea area(false);
        auto frame = std::make_unique<QWidget>();
        CMainDialog window(frame.get());
        window.Initialise();
        window.ShowAtStart(true);
        auto* icon = window.findChild<QSystemTrayIcon*>();
        QVERIFY(icon);
        QVERIFY(!icon->isVisible());
        QVERIFY(!window.isVisible());
        env.clock.Advance(20);
        area.available = true;
        QTRY_VERIFY(icon->isVisible());
        QVERIFY(env.messageBox.shown.empty()); // no "Failed to create tray icon"
        QVERIFY(!window.isVisible());
        QCOMPARE(icon->toolTip(), QString("Sentrel"));

        QMenu* menu = icon->contextMenu();
        QVERIFY(menu);
        QStringList items;
        for (const QAction* action : menu->actions()) {
            items << (action->isSeparator() ? "-" : action->text());
        }
        QCOMPARE(items, (QStringList{"Open", "-", "Start at login", "-", "Exit"}));
        QCOMPARE(menu->defaultAction(), menu->actions()[0]);

        // "Start at login" writes the desktop's autostart entry and takes it away again;
        // its tick follows the entry, also one changed outside the program.
        QAction* startAtLogin = menu->actions()[2];
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

        // A double click brings the window up; with the icon there, Minimise hides it; a
        // single click does nothing. Notifications for another id are not ours.
        CTrayCallbackEvent opening(143, TrayMouse::LeftDoubleClick);
        QCoreApplication::sendEvent(&window, &opening);
        QVERIFY(window.isVisible());
        window.OnMinimise();
        QVERIFY(!window.isVisible());
        CTrayCallbackEvent click(143, TrayMouse::LeftClick);
        QCoreApplication::sendEvent(&window, &click);
        QVERIFY(!window.isVisible());
        CTrayCallbackEvent otherIcon(144, TrayMouse::LeftDoubleClick);
        QCoreApplication::sendEvent(&window, &otherIcon);
        QVERIFY(!window.isVisible());
        CTrayCallbackEvent doubleClick(143, TrayMouse::LeftDoubleClick);
        QCoreApplication::sendEvent(&window, &doubleClick);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
        // A status-notifier host's one activation does the same.
        window.OnMinimise();
        CTrayCallbackEvent activation(143, TrayMouse::Activate);
        QCoreApplication::sendEvent(&window, &activation);
        QVERIFY(window.isVisible());

        // "Open" from the menu does the same.
        window.OnMinimise();
        menu->actions()[0]->trigger();
        QVERIFY(window.isVisible());

        // The notification area came back: the icon is added again.
        QCoreApplication::postEvent(frame.get(), new QEvent(TaskbarCreatedEvent()));
        QCoreApplication::processEvents();
        QVERIFY(icon->isVisible());

        // "Exit" from the menu is the Exit button: the event and the save.
        CTraceFile::Instance().SwitchOn();
        QSignalSpy finished(&window, &QDialog::finished);
        std::remove(env.StorePath().c_str());
        menu->actions().back()->trigger(); // "Exit"
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);
        QVERIFY(QFile::exists(QString::fromStdString(env.StorePath())));
        QCOMPARE(TraceEvents(env.TracePath()).back(), std::string("Sentrel Exited"));

        // The frame going takes the icon with it: the icon follows the frame, not the window.
        frame.reset();
        QVERIFY(!icon->isVisible());
    }

    void trayIconNeedsItsMenu() {
        QWidget window;
        CTrayNotifyIcon tray;
        TestArea area(true);
        QVERIFY(!tray.CreateIcon(&window, nullptr, 143, "Sentrel", "Sentrel", "t", 10,
                                 CTrayNotifyIcon::BalloonInfo, ProgramIcon(), 999));
        QCOMPARE(CHookWnd::FirstHook(&window), nullptr);
        QCOMPARE(tray.findChild<QSystemTrayIcon*>(), nullptr);

        // Without a notification area the hook stays, and the icon appears when an area
        // comes.
        area.available = false;
        QVERIFY(!tray.CreateIcon(&window, nullptr, 143, "Sentrel", "Sentrel", "t", 10,
                                 CTrayNotifyIcon::BalloonInfo, ProgramIcon(), 0));
        QVERIFY(!tray.IsShown());
        CTaskbarWatcher watcher(&window, 10);
        area.available = true;
        QTRY_VERIFY(tray.IsShown());
        QVERIFY(!tray.IsCreated());
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
        BalloonWatch balloons;
        CQtNotificationArea desktop;
        ScopedPlatform realArea(WithArea(&desktop));
        auto frame = std::make_unique<QWidget>();
        CMainDialog window(frame.get());
        CTaskbarWatcher watcher(frame.get());
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

        // The panel restarts at once: the frame learns of it and the icon is added again.
        struct CountingHook : CHookWnd {
            int created = 0;
            bool HandleMessage(QWidget*, QEvent* event) override {
                created += event->type() == TaskbarCreatedEvent();
                return false;
            }
        } counter;
        QVERIFY(counter.HookWindow(frame.get()));
        panel.kill();
        panel.waitForFinished(5000);
        panel.start("trayer", args);
        QVERIFY(panel.waitForStarted(5000));
        QTRY_COMPARE_WITH_TIMEOUT(counter.created, 1, 10000);
        QTRY_VERIFY(QSystemTrayIcon::isSystemTrayAvailable());
        QVERIFY(icon->isVisible());
        QTest::qWait(500);
        QCOMPARE(balloons.shown.size(), 1); // added again without a balloon
        counter.UnhookWindow();
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
        auto frame = std::make_unique<QWidget>();
        CMainDialog window(frame.get());
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
        QCoreApplication::postEvent(frame.get(), new QEvent(TaskbarCreatedEvent()));
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
