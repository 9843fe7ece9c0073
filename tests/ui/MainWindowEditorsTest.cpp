// A new user's round through the main window: every kind is created through the type
// selection and its editor, edited and deleted; an activation ties a watch to an alert
// and fires through the engine; and the store the program wrote loads back.

#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/SentrelDoc.h"
#include "tests/support/FakeNetwork.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MainDialog.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

using namespace sentrel;
using namespace sentrel::test;

namespace {

// Picks a kind in a type selection dialog, then fills its editor with `fill` and OK.
void ChooseKind(const char* selection, const char* radio, const char* editor,
                std::function<void(QDialog&)> fill) {
    WhenModal(QString::fromLatin1(selection), [=](QDialog& dialog) {
        Find<QRadioButton>(&dialog, radio)->setChecked(true);
        WhenModal(QString::fromLatin1(editor), [fill](QDialog& editorDialog) {
            fill(editorDialog);
            Press(editorDialog, "okButton");
        });
        Find<QDialogButtonBox>(&dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
}

void Select(CMainDialog& main, const char* list, const QString& text) {
    auto* widget = Find<QListWidget>(&main, list);
    const auto found = widget->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    widget->setCurrentItem(found.front());
}

template <class T> T* As(const std::unique_ptr<CWatch>& watch) {
    return dynamic_cast<T*>(watch.get());
}
template <class T> T* As(const std::unique_ptr<CAlert>& alert) {
    return dynamic_cast<T*>(alert.get());
}

} // namespace

class MainWindowEditorsTest : public QObject {
    Q_OBJECT

private slots:
    void everyKindThroughTheMainWindow();
};

void MainWindowEditorsTest::everyKindThroughTheMainWindow() {
    RegisterWatchKinds();
    RegisterAlertKinds();
    UiEnvironment env;
    const auto file = [&env](const char* name) { return env.paths.dir + "/" + name; };
    // An icon without a place on the offscreen desktop: no "Failed to create tray icon"
    // when the clock moves on.
    FakeNotificationArea area;
    area.available = true;
    PlatformServices withArea;
    withArea.notificationArea = &area;
    ScopedPlatform installArea(withArea);
    FakeWebPages web([](const std::string&, const std::string&, const std::string&,
                        std::string& body, std::string&) {
        body = "<p>page</p>";
        return true;
    });
    ScopedNetwork withPages({nullptr, &web});
    WriteFile(file("watched.txt"), "contents");
    WriteFile(file("bell.wav"), "RIFF");

    CMainDialog main;
    main.Initialise();
    main.show();

    ChooseKind("Watch Selection", "popRadio", "POP Watch", [](QDialog& d) {
        Type(d, "nameEdit", "Mailbox");
        Type(d, "serverEdit", "127.0.0.1");
        Type(d, "userNameEdit", "me");
        Type(d, "passwordEdit", "pw");
        Find<QCheckBox>(&d, "manyCountCheck")->setChecked(true);
    });
    Press(main, "newWatchButton");
    ChooseKind("Watch Selection", "pingRadio", "Ping Watch",
               [](QDialog& d) { Type(d, "nameEdit", "Router"); });
    Press(main, "newWatchButton");
    ChooseKind("Watch Selection", "dateTimeRadio", "Date/Time Watch", [](QDialog& d) {
        Type(d, "nameEdit", "Clock");
        Type(d, "messageEdit", "Time is up");
        Find<QCheckBox>(&d, "onceEnableCheck")->setChecked(true);
        auto* time = Find<QDateTimeEdit>(&d, "onceTimeEdit");
        time->setDateTime(time->dateTime().addSecs(60));
    });
    Press(main, "newWatchButton");
    ChooseKind("Watch Selection", "webPageRadio", "Web Page Watch", [](QDialog& d) {
        Type(d, "nameEdit", "Page");
        Type(d, "urlEdit", "http://127.0.0.1/");
    });
    Press(main, "newWatchButton");
    env.AnswerChooser(file("watched.txt"));
    ChooseKind("Watch Selection", "fileRadio", "File Watch", [](QDialog& d) {
        Press(d, "browseButton");
        Type(d, "nameEdit", "Log");
    });
    Press(main, "newWatchButton");

    ChooseKind("Alert Selection", "emailRadio", "Email Alert", [](QDialog& d) {
        Type(d, "nameEdit", "Mail");
        Type(d, "recipientsEdit", "to@example.org");
        Type(d, "fromAddressEdit", "from@example.org");
        Type(d, "smtpHostEdit", "127.0.0.1");
    });
    Press(main, "newAlertButton");
    env.AnswerChooser(file("bell.wav"));
    ChooseKind("Alert Selection", "soundRadio", "Sound Alert", [](QDialog& d) {
        Type(d, "nameEdit", "Bell");
        Press(d, "browseButton");
    });
    Press(main, "newAlertButton");
    ChooseKind("Alert Selection", "messageRadio", "Message Alert",
               [](QDialog& d) { Type(d, "nameEdit", "Popup"); });
    Press(main, "newAlertButton");
    ChooseKind("Alert Selection", "runProgramRadio", "Run Program Alert", [](QDialog& d) {
        Type(d, "nameEdit", "Script");
        Type(d, "argumentsEdit", "-v");
    });
    Press(main, "newAlertButton");
    ChooseKind("Alert Selection", "clickatellRadio", "Clickatell Alert (SMS)", [](QDialog& d) {
        for (const char* edit :
             {"nameEdit", "toEdit", "fromEdit", "userNameEdit", "passwordEdit", "apiIdEdit"}) {
            Type(d, edit, "sms");
        }
    });
    Press(main, "newAlertButton");

    WhenModal("Activation", [](QDialog& d) {
        Type(d, "nameEdit", "Remind me");
        auto* watches = Find<QListWidget>(&d, "watchList");
        watches->setCurrentItem(watches->findItems("Clock", Qt::MatchExactly).front());
        Find<QListWidget>(&d, "alertList")
            ->findItems("Popup", Qt::MatchExactly)
            .front()
            ->setSelected(true);
        Press(d, "okButton");
    });
    Press(main, "newActivationButton");
    QCOMPARE(env.ShownTexts(), QString());

    // The store holds every record with its kind and fields, once the save off the UI
    // thread has landed.
    QTRY_VERIFY([&] {
        CSentrelDoc stored(env.StorePath());
        return !stored.Load(false) && stored.activations.size() == 1;
    }());
    {
        CSentrelDoc stored(env.StorePath());
        QVERIFY(!stored.Load(false));
        QCOMPARE(stored.watches.size(), size_t(5));
        QCOMPARE(stored.alerts.size(), size_t(5));
        QCOMPARE(stored.activations.size(), size_t(1));
        QVERIFY(As<CPOPWatch>(stored.watches[0]) != nullptr);
        QCOMPARE(As<CPOPWatch>(stored.watches[0])->manyIncludeCount, 1);
        QCOMPARE(S(As<CPINGWatch>(stored.watches[1])->timeoutText), QStringLiteral("5000"));
        QVERIFY(As<CDateTimeWatch>(stored.watches[2])->onceOn);
        QCOMPARE(S(As<CWebPageWatch>(stored.watches[3])->referencePage),
                 QStringLiteral("<p>page</p>"));
        QCOMPARE(S(As<CFileWatch>(stored.watches[4])->lastContents), QStringLiteral("contents"));
        QCOMPARE(As<CEmailAlert>(stored.alerts[0])->port, 25);
        QCOMPARE(S(As<CSoundAlert>(stored.alerts[1])->soundFile), S(file("bell.wav")));
        QVERIFY(As<CMessageAlert>(stored.alerts[2]) != nullptr);
        QCOMPARE(S(As<CRunProgramAlert>(stored.alerts[3])->arguments), QStringLiteral("-v"));
        QCOMPARE(S(As<CClickatellAlert>(stored.alerts[4])->msgType), QStringLiteral("SMS_TEXT"));
        const CActivation& tie = *stored.activations[0];
        QCOMPARE(S(tie.name), QStringLiteral("Remind me"));
        QCOMPARE(tie.GetWatch(), stored.watches[2].get());
        QCOMPARE(tie.alerts, std::vector<CAlert*>{stored.alerts[2].get()});
    }

    // A new record cancelled in its editor leaves the lists and the store as they were,
    // also for the kinds whose record exists while the editor is open.
    const std::string storeBefore = ReadFile(env.StorePath());
    WhenModal("Alert Selection", [](QDialog& d) {
        WhenModal("Email Alert", [](QDialog& editor) {
            Type(editor, "nameEdit", "Abandoned");
            Press(editor, "cancelButton");
        });
        Find<QDialogButtonBox>(&d, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
    Press(main, "newAlertButton");
    QCOMPARE(Find<QListWidget>(&main, "alertList")->count(), 5);
    QVERIFY(ReadFile(env.StorePath()) == storeBefore);

    // Started, the engine fires the activation once the moment has passed: the message
    // alert opens one more popup (the first was the web page editor's "please wait").
    const std::size_t popupsBefore = env.popups.opened.size();
    env.clock.Advance(120);
    Press(main, "startButton");
    QTRY_COMPARE(env.popups.opened.size(), popupsBefore + 1);
    QCOMPARE(S(env.popups.opened.back()), QStringLiteral("Time is up"));
    QTest::qWait(1500); // the next passes: not due again for five minutes
    QCOMPARE(env.popups.opened.size(), popupsBefore + 1);
    Press(main, "stopButton");

    // Edits land in the record and the store.
    Select(main, "watchList", "Router");
    WhenModal("Ping Watch", [](QDialog& d) {
        Type(d, "hostEdit", "192.0.2.9");
        Press(d, "okButton");
    });
    Press(main, "editWatchButton");
    Select(main, "alertList", "Mail");
    WhenModal("Email Alert", [](QDialog& d) {
        Type(d, "portEdit", "2525");
        Press(d, "okButton");
    });
    Press(main, "editAlertButton");
    QTRY_VERIFY([&] {
        CSentrelDoc stored(env.StorePath());
        return !stored.Load(false) && As<CEmailAlert>(stored.alerts[0])->port == 2525;
    }());
    {
        CSentrelDoc stored(env.StorePath());
        stored.Load(false);
        QCOMPARE(S(As<CPINGWatch>(stored.watches[1])->hostName), QStringLiteral("192.0.2.9"));
        QCOMPARE(As<CEmailAlert>(stored.alerts[0])->port, 2525);
    }

    // Everything can be deleted again, the activation first.
    Select(main, "activationList", "Remind me");
    Press(main, "deleteActivationButton");
    for (const char* name : {"Mailbox", "Router", "Clock", "Page", "Log"}) {
        Select(main, "watchList", name);
        Press(main, "deleteWatchButton");
    }
    for (const char* name : {"Mail", "Bell", "Popup", "Script", "sms"}) {
        Select(main, "alertList", name);
        Press(main, "deleteAlertButton");
    }
    QCOMPARE(env.ShownTexts(), QString());
    for (const char* list : {"watchList", "alertList", "activationList"}) {
        QCOMPARE(Find<QListWidget>(&main, list)->count(), 0);
    }
}

QTEST_MAIN(MainWindowEditorsTest)
#include "MainWindowEditorsTest.moc"
