// The alert editors, driven through their widgets: what a new alert shows, what OK
// writes, what Cancel leaves, the checks on OK with their texts and focus, and Test.

#include "alerts/MessageAlert.h"
#include "model/SentrelDoc.h"
#include "services/NetworkServices.h"
#include "tests/support/Programs.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ClickatellAlertDialog.h"
#include "ui/EmailAlertDialog.h"
#include "ui/EngineHost.h"
#include "ui/FileChooser.h"
#include "ui/MessageAlertDialog.h"
#include "ui/PushAlertDialog.h"
#include "ui/QtServices.h"
#include "ui/RunProgramAlertDialog.h"
#include "ui/SoundAlertDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <atomic>
#include <future>
#include <thread>

using namespace sentrel;
using namespace sentrel::test;

namespace {

CEmailAlert FilledEmail() {
    CEmailAlert alert;
    alert.name = "Mail me";
    alert.recipients = "a@example.org;b@example.org";
    alert.maxMessages = 3;
    alert.maxSmsChars = 140;
    alert.smsSplitting = 1;
    alert.multipleMessages = 1;
    alert.subjectOnly = 0;
    alert.authType = 2;
    alert.userName = "user";
    alert.password = "pw";
    alert.fromAddress = "me@example.org";
    alert.smtpHost = "smtp.example.org";
    alert.fromName = "Me";
    alert.port = 587;
    return alert;
}

CClickatellAlert FilledSms() {
    CClickatellAlert alert;
    alert.name = "Text me";
    alert.to = "44723451234567";
    alert.from = "+44 7000";
    alert.maxMessages = 4;
    alert.sendMultiple = 1;
    alert.msgType = "SMS_FLASH";
    alert.apiUser = "acct";
    alert.apiPassword = "pw";
    alert.apiId = "12345";
    return alert;
}

// Records the programs started.
struct FakeStarter : IProgramStarter {
    bool Start(const std::string& program, const std::string& arguments) override {
        started.push_back(program + " " + arguments);
        return true;
    }
    std::vector<std::string> started;
};

// Desktop notifications that wait, once they have begun, until the test lets them go on.
struct HeldNotifications : IDesktopNotifications {
    bool Notify(const std::string& title, const std::string& text, std::string&) override {
        shown = title + "\n" + text;
        begun = true;
        release.get_future().wait();
        return true;
    }
    std::string shown;
    std::atomic<bool> begun = false;
    std::promise<void> release;
};

bool SameEmail(const CEmailAlert& a, const CEmailAlert& b) {
    return a.name == b.name && a.recipients == b.recipients && a.maxMessages == b.maxMessages &&
           a.maxSmsChars == b.maxSmsChars && a.smsSplitting == b.smsSplitting &&
           a.multipleMessages == b.multipleMessages && a.subjectOnly == b.subjectOnly &&
           a.authType == b.authType && a.userName == b.userName && a.password == b.password &&
           a.fromAddress == b.fromAddress && a.smtpHost == b.smtpHost && a.fromName == b.fromName &&
           a.port == b.port;
}

} // namespace

class AlertEditorsTest : public QObject {
    Q_OBJECT

private slots:
    void smsNewDefaults();
    void smsChecksInOrder();
    void smsRoundTripAndCancel();
    void pushEditor();
    void testSendsTheValuesShown();
    void testRunsOnTheWorker();
    void desktopNotificationsGoOverTheSessionBus();
    void emailNewDefaults();
    void emailCredentialsFollowAuthentication();
    void emailRangeChecks();
    void emailChecksInOrder();
    void emailRoundTripAndCancel();
    void runProgramEditor();
    void soundEditor();
    void choosersShowProgramsAndFilesWithoutExtensions();
};

void AlertEditorsTest::smsNewDefaults() {
    UiEnvironment env;
    CSentrelDoc doc;
    CClickatellAlert alert;
    CClickatellAlertDialog dialog(alert, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Clickatell Alert (SMS)"));
    QVERIFY(Find<QRadioButton>(&dialog, "truncateRadio")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "maxMessagesEdit")->text(), QStringLiteral("1"));
    QVERIFY(!Find<QCheckBox>(&dialog, "flashCheck")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
    const QString note = Find<QLabel>(&dialog, "importantNote")->text();
    QVERIFY(note.startsWith(QStringLiteral("IMPORTANT: The API ID is NOT your Client ID.")));
    // Both kinds of account: an API key without user name and password, or all three.
    QVERIFY(note.contains(QStringLiteral("API key")) && note.contains(QStringLiteral("api_id")));
}

void AlertEditorsTest::smsChecksInOrder() {
    UiEnvironment env;
    CSentrelDoc doc;
    CClickatellAlert alert;
    CClickatellAlertDialog dialog(alert, doc, Editing::New);
    ShowDialog(dialog);
    // The user name and the password are needed together or not at all: an account of the
    // current platform has neither.
    const struct {
        const char* fill;
        const char* text;
        const char* focus;
        const char* empty = nullptr;
    } steps[] = {
        {nullptr, "Specify an alert name", "nameEdit"},
        {"nameEdit", "Specify an API ID", "apiIdEdit"},
        {"apiIdEdit", "Specify the sender (From)", "fromEdit"},
        {"fromEdit", "Specify who to send to", "toEdit"},
        {"passwordEdit", "Specify a Clickatell Username", "userNameEdit"},
        {"userNameEdit", "Specify a Clickatell Password", "passwordEdit", "passwordEdit"},
    };
    for (const auto& step : steps) {
        if (step.fill != nullptr) {
            Type(dialog, step.fill, "v");
        }
        if (step.fill == steps[4].fill) {
            Type(dialog, "toEdit", "v");
        }
        if (step.empty != nullptr) {
            Type(dialog, step.empty, "");
        }
        Find<QWidget>(&dialog, "maxMessagesEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{step.text});
        QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(step.focus));
        QVERIFY(dialog.isVisible());
        QVERIFY(alert.name.empty()); // nothing written before every check passes
    }
    Type(dialog, "userNameEdit", "");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(alert.apiUser.empty() && alert.apiPassword.empty());
    QCOMPARE(S(alert.apiId), QStringLiteral("v"));
    QCOMPARE(alert.sendMultiple, 0);
    QCOMPARE(alert.maxMessages, 1);
    QCOMPARE(S(alert.msgType), QStringLiteral("SMS_TEXT"));
}

void AlertEditorsTest::smsRoundTripAndCancel() {
    UiEnvironment env;
    CSentrelDoc doc;
    const CClickatellAlert stored = FilledSms();
    {
        CClickatellAlert alert = stored;
        CClickatellAlertDialog dialog(alert, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "nameEdit", "Other");
        Find<QCheckBox>(&dialog, "flashCheck")->setChecked(false);
        Press(dialog, "cancelButton");
        QCOMPARE(S(alert.name), S(stored.name));
        QCOMPARE(S(alert.msgType), QStringLiteral("SMS_FLASH"));
    }

    CClickatellAlert alert = stored;
    CClickatellAlertDialog dialog(alert, doc, Editing::Existing);
    ShowDialog(dialog);
    QVERIFY(Find<QRadioButton>(&dialog, "multipleRadio")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "flashCheck")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "maxMessagesEdit")->text(), QStringLiteral("4"));
    QCOMPARE(Find<QLineEdit>(&dialog, "fromEdit")->text(), QStringLiteral("+44 7000"));

    Type(dialog, "nameEdit", "SMS 2");
    Type(dialog, "toEdit", "4915100000");
    Type(dialog, "fromEdit", "Sentrel");
    Type(dialog, "userNameEdit", "acct2");
    Type(dialog, "passwordEdit", "pw2");
    Type(dialog, "apiIdEdit", "999");
    Type(dialog, "maxMessagesEdit", "7");
    Find<QRadioButton>(&dialog, "truncateRadio")->setChecked(true);
    Find<QCheckBox>(&dialog, "flashCheck")->setChecked(false);
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(alert.name), QStringLiteral("SMS 2"));
    QCOMPARE(S(alert.to), QStringLiteral("4915100000"));
    QCOMPARE(S(alert.from), QStringLiteral("Sentrel"));
    QCOMPARE(S(alert.apiUser), QStringLiteral("acct2"));
    QCOMPARE(S(alert.apiPassword), QStringLiteral("pw2"));
    QCOMPARE(S(alert.apiId), QStringLiteral("999"));
    QCOMPARE(alert.maxMessages, 7);
    QCOMPARE(alert.sendMultiple, 0);
    QCOMPARE(S(alert.msgType), QStringLiteral("SMS_TEXT"));
}

void AlertEditorsTest::emailNewDefaults() {
    UiEnvironment env;
    CSentrelDoc doc;
    CEmailAlert alert;
    alert.port = 99; // a new alert opens with its defaults whatever it holds
    CEmailAlertDialog dialog(alert, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Email Alert"));
    auto* auth = Find<QComboBox>(&dialog, "authCombo");
    QCOMPARE(auth->count(), 4);
    const QStringList texts{"None", "CRAM MD5", "AUTH LOGIN", "LOGIN PLAIN"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(auth->itemText(i), texts[i]);
        QCOMPARE(auth->itemData(i).toInt(), i);
    }
    QCOMPARE(auth->currentIndex(), 0);
    QCOMPARE(Find<QLineEdit>(&dialog, "portEdit")->text(), QStringLiteral("25"));
    QCOMPARE(Find<QLineEdit>(&dialog, "maxMessagesEdit")->text(), QStringLiteral("0"));
    QCOMPARE(Find<QLineEdit>(&dialog, "maxSmsCharsEdit")->text(), QStringLiteral("0"));
    QVERIFY(!Find<QCheckBox>(&dialog, "smsSplittingCheck")->isChecked());
    QVERIFY(!Find<QRadioButton>(&dialog, "truncateRadio")->isChecked());
    QVERIFY(!Find<QRadioButton>(&dialog, "multipleRadio")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "subjectOnlyCheck")->isChecked());
    for (const char* edit : {"nameEdit", "recipientsEdit", "fromNameEdit", "fromAddressEdit",
                             "smtpHostEdit", "userNameEdit", "passwordEdit"}) {
        QVERIFY2(Find<QLineEdit>(&dialog, edit)->text().isEmpty(), edit);
    }

    // Accepted untouched apart from the required fields: no radio chosen is stored as -1.
    Type(dialog, "nameEdit", "n");
    Type(dialog, "recipientsEdit", "to@example.org");
    Type(dialog, "fromAddressEdit", "from@example.org");
    Type(dialog, "smtpHostEdit", "127.0.0.1");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(alert.multipleMessages, -1);
    QCOMPARE(alert.subjectOnly, 1);
    QCOMPARE(alert.port, 25);
    QCOMPARE(alert.authType, 0);
}

void AlertEditorsTest::emailCredentialsFollowAuthentication() {
    UiEnvironment env;
    CSentrelDoc doc;
    CEmailAlert alert = FilledEmail();
    CEmailAlertDialog dialog(alert, doc, Editing::Existing);
    ShowDialog(dialog);
    auto* auth = Find<QComboBox>(&dialog, "authCombo");
    QCOMPARE(auth->currentText(), QStringLiteral("AUTH LOGIN"));
    const char* credentials[] = {"userNameLabel", "userNameEdit", "passwordLabel", "passwordEdit"};
    for (const char* name : credentials) {
        QVERIFY2(Find<QWidget>(&dialog, name)->isEnabled(), name);
    }
    auth->setCurrentIndex(0);
    for (const char* name : credentials) {
        QVERIFY2(!Find<QWidget>(&dialog, name)->isEnabled(), name);
    }
    auth->setCurrentIndex(1);
    for (const char* name : credentials) {
        QVERIFY2(Find<QWidget>(&dialog, name)->isEnabled(), name);
    }

    CEmailAlert plain = FilledEmail();
    plain.authType = 0;
    CEmailAlertDialog opened(plain, doc, Editing::Existing);
    ShowDialog(opened);
    QVERIFY(!Find<QWidget>(&opened, "userNameEdit")->isEnabled());
}

void AlertEditorsTest::emailRangeChecks() {
    UiEnvironment env;
    CSentrelDoc doc;
    const struct {
        const char* edit;
        const char* bad;
        const char* text;
        const char* good;
    } ranges[] = {
        {"maxMessagesEdit", "10000", "Please enter an integer between 0 and 9999.", "9999"},
        {"maxSmsCharsEdit", "161", "Please enter an integer between 0 and 160.", "160"},
        {"portEdit", "0", "Please enter an integer between 1 and 32000.", "32000"},
        {"portEdit", "32001", "Please enter an integer between 1 and 32000.", "1"},
        {"maxMessagesEdit", "-1", "Please enter an integer between 0 and 9999.", "0"},
    };
    CEmailAlert alert = FilledEmail();
    const CEmailAlert stored = alert;
    CEmailAlertDialog dialog(alert, doc, Editing::Existing);
    ShowDialog(dialog);
    // The numbers are checked before the other fields.
    Type(dialog, "nameEdit", "");
    for (const auto& range : ranges) {
        Type(dialog, range.edit, range.bad);
        Find<QWidget>(&dialog, "recipientsEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{range.text});
        QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(range.edit));
        QVERIFY(SameEmail(alert, stored));
        Type(dialog, range.edit, range.good);
    }
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Specify an alert name"});
}

void AlertEditorsTest::emailChecksInOrder() {
    UiEnvironment env;
    CSentrelDoc doc;
    CEmailAlert alert;
    CEmailAlertDialog dialog(alert, doc, Editing::New);
    ShowDialog(dialog);
    Find<QComboBox>(&dialog, "authCombo")->setCurrentIndex(1);
    const struct {
        const char* fill;
        const char* text;
        const char* focus;
    } steps[] = {
        {nullptr, "Specify an alert name", "nameEdit"},
        {"nameEdit", "Specify an email address", "recipientsEdit"},
        {"recipientsEdit", "Specify an email address", "fromAddressEdit"},
        {"fromAddressEdit", "Specify a SMTP host", "smtpHostEdit"},
        {"smtpHostEdit", "Specify a username", "authCombo"},
    };
    for (const auto& step : steps) {
        if (step.fill != nullptr) {
            Type(dialog, step.fill, "v");
        }
        Find<QWidget>(&dialog, "fromNameEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{step.text});
        QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(step.focus));
        QVERIFY(alert.name.empty());
    }
    // Without authentication no user name is needed.
    Find<QComboBox>(&dialog, "authCombo")->setCurrentIndex(0);
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(env.messageBox.shown.empty());
}

void AlertEditorsTest::emailRoundTripAndCancel() {
    UiEnvironment env;
    CSentrelDoc doc;
    const CEmailAlert stored = FilledEmail();
    {
        CEmailAlert alert = stored;
        CEmailAlertDialog dialog(alert, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "smtpHostEdit", "elsewhere");
        Find<QComboBox>(&dialog, "authCombo")->setCurrentIndex(3);
        Press(dialog, "cancelButton");
        QVERIFY(SameEmail(alert, stored));
    }

    CEmailAlert alert = stored;
    CEmailAlertDialog dialog(alert, doc, Editing::Existing);
    ShowDialog(dialog);
    QVERIFY(Find<QCheckBox>(&dialog, "smsSplittingCheck")->isChecked());
    QVERIFY(Find<QRadioButton>(&dialog, "multipleRadio")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "subjectOnlyCheck")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "portEdit")->text(), QStringLiteral("587"));

    Type(dialog, "nameEdit", "Mail 2");
    Type(dialog, "recipientsEdit", "c@example.org");
    Type(dialog, "maxMessagesEdit", "9");
    Type(dialog, "maxSmsCharsEdit", "70");
    Find<QCheckBox>(&dialog, "smsSplittingCheck")->setChecked(false);
    Find<QRadioButton>(&dialog, "truncateRadio")->setChecked(true);
    Find<QCheckBox>(&dialog, "subjectOnlyCheck")->setChecked(true);
    Find<QComboBox>(&dialog, "authCombo")->setCurrentIndex(3);
    Type(dialog, "userNameEdit", "u2");
    Type(dialog, "passwordEdit", "p2");
    Type(dialog, "fromAddressEdit", "me2@example.org");
    Type(dialog, "smtpHostEdit", "192.0.2.5");
    Type(dialog, "fromNameEdit", "");
    Type(dialog, "portEdit", "2525");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(alert.name), QStringLiteral("Mail 2"));
    QCOMPARE(S(alert.recipients), QStringLiteral("c@example.org"));
    QCOMPARE(alert.maxMessages, 9);
    QCOMPARE(alert.maxSmsChars, 70);
    QCOMPARE(alert.smsSplitting, 0);
    QCOMPARE(alert.multipleMessages, 0);
    QCOMPARE(alert.subjectOnly, 1);
    QCOMPARE(alert.authType, 3);
    QCOMPARE(S(alert.userName), QStringLiteral("u2"));
    QCOMPARE(S(alert.password), QStringLiteral("p2"));
    QCOMPARE(S(alert.fromAddress), QStringLiteral("me2@example.org"));
    QCOMPARE(S(alert.smtpHost), QStringLiteral("192.0.2.5"));
    QCOMPARE(S(alert.fromName), QString());
    QCOMPARE(alert.port, 2525);
}

void AlertEditorsTest::runProgramEditor() {
    UiEnvironment env;
    CSentrelDoc doc;
    {
        CRunProgramAlert created;
        CRunProgramAlertDialog dialog(created, doc, Editing::New);
        ShowDialog(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Run Program Alert"));
        // Legible, and chosen only through "...".
        QVERIFY(Find<QLineEdit>(&dialog, "programEdit")->isEnabled());
        QVERIFY(Find<QLineEdit>(&dialog, "programEdit")->isReadOnly());
        QVERIFY(Find<QLineEdit>(&dialog, "programEdit")->text().isEmpty());
        QVERIFY(Find<QLineEdit>(&dialog, "argumentsEdit")->text().isEmpty());
        Find<QWidget>(&dialog, "argumentsEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Specify an alert name"});
        QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("nameEdit"));
        // No program is needed.
        Type(dialog, "nameEdit", "Beep");
        Press(dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(S(created.name), QStringLiteral("Beep"));
        QVERIFY(created.program.empty());
    }

    CRunProgramAlert record;
    record.name = "R";
    record.arguments = "x";
    record.program = "/usr/bin/true";
    CRunProgramAlertDialog dialog(record, doc, Editing::Existing);
    ShowDialog(dialog);
    QCOMPARE(Find<QLineEdit>(&dialog, "programEdit")->text(), QStringLiteral("/usr/bin/true"));
    env.AnswerChooser(std::nullopt);
    Press(dialog, "browseButton");
    QCOMPARE(Find<QLineEdit>(&dialog, "programEdit")->text(), QStringLiteral("/usr/bin/true"));
    env.AnswerChooser("/opt/tools/notify");
    Type(dialog, "argumentsEdit", "-n \"3\"");
    Press(dialog, "browseButton");
    QCOMPARE(UiEnvironment::ChooserFilter(), std::string("Program files (*.exe)|*.exe||"));
    QCOMPARE(Find<QLineEdit>(&dialog, "argumentsEdit")->text(), QStringLiteral("-n \"3\""));
    QCOMPARE(record.program, std::string("/usr/bin/true")); // nothing written before OK
    Press(dialog, "okButton");
    QCOMPARE(S(record.program), QStringLiteral("/opt/tools/notify"));
    QCOMPARE(S(record.arguments), QStringLiteral("-n \"3\""));
    QCOMPARE(S(record.name), QStringLiteral("R"));
}

void AlertEditorsTest::soundEditor() {
    UiEnvironment env;
    CSentrelDoc doc;
    CSoundAlert record;
    CSoundAlertDialog dialog(record, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Sound Alert"));
    QVERIFY(Find<QLineEdit>(&dialog, "soundFileEdit")->isEnabled());
    QVERIFY(Find<QLineEdit>(&dialog, "soundFileEdit")->isReadOnly());

    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Specify an alert name"});
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("nameEdit"));
    Type(dialog, "nameEdit", "Bell");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Specify an sound file"});
    // The path takes no typing; the focus goes to its "..." button.
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("browseButton"));
    QVERIFY(dialog.isVisible());

    env.AnswerChooser("/usr/share/sounds/bell.wav");
    Press(dialog, "browseButton");
    // Files from other systems often end in ".WAV".
    QCOMPARE(CFileChooser::ToQtFilter(UiEnvironment::ChooserFilter()),
             QStringLiteral("WAV files (*.wav *.WAV)"));
    QVERIFY(env.messageBox.shown.empty());
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(record.name), QStringLiteral("Bell"));
    QCOMPARE(S(record.soundFile), QStringLiteral("/usr/share/sounds/bell.wav"));
}

void AlertEditorsTest::pushEditor() {
    UiEnvironment env;
    CSentrelDoc doc;
    {
        CPushAlert created;
        CPushAlertDialog dialog(created, doc, Editing::New);
        ShowDialog(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Push Alert"));
        for (const char* edit : {"nameEdit", "addressEdit", "titleEdit"}) {
            QVERIFY2(Find<QLineEdit>(&dialog, edit)->text().isEmpty(), edit);
        }
        const QString forms = Find<QLabel>(&dialog, "addressNote")->text();
        for (const char* form : {"ntfy://", "ntfys://", "gotifys://", "pover://", "tgram://",
                                 "discord://", "hooks.slack.com", "jsons://", "dbus://"}) {
            QVERIFY2(forms.contains(QString::fromLatin1(form)), form);
        }
        // The checks, in order; an address must name a service and have all its parts. The
        // title may stay empty.
        const struct {
            const char* edit;
            const char* value;
            const char* text;
            const char* focus;
        } steps[] = {
            {"titleEdit", "", "Specify an alert name", "nameEdit"},
            {"nameEdit", "Phone", "Specify an address", "addressEdit"},
            {"addressEdit", "tgram://123:abc", "The push address has no chat id", "addressEdit"},
            {"addressEdit", "smtp://mail", "The push address names no known service",
             "addressEdit"},
        };
        for (const auto& step : steps) {
            Type(dialog, step.edit, QString::fromLatin1(step.value));
            Find<QWidget>(&dialog, "titleEdit")->setFocus();
            Press(dialog, "okButton");
            QCOMPARE(env.TakeMessages(), std::vector<std::string>{step.text});
            QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(step.focus));
            QVERIFY(created.name.empty() && created.url.empty());
        }
        Type(dialog, "addressEdit", "ntfy://alerts");
        Press(dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(S(created.name), QStringLiteral("Phone"));
        QCOMPARE(S(created.url), QStringLiteral("ntfy://alerts"));
        QVERIFY(created.title.empty());
    }

    CPushAlert stored;
    stored.name = "Phone";
    stored.url = "tgram://1:a/2";
    stored.title = "Caf\xE9"; // a title from a Windows store
    {
        CPushAlert alert = stored;
        CPushAlertDialog dialog(alert, doc, Editing::Existing);
        ShowDialog(dialog);
        QCOMPARE(Find<QLineEdit>(&dialog, "titleEdit")->text(), QStringLiteral("Caf\u00e9"));
        Type(dialog, "addressEdit", "dbus://");
        Press(dialog, "cancelButton");
        QCOMPARE(S(alert.url), QStringLiteral("tgram://1:a/2"));
    }
    CPushAlert alert = stored;
    CPushAlertDialog dialog(alert, doc, Editing::Existing);
    ShowDialog(dialog);
    Type(dialog, "addressEdit", "dbus://");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(alert.url), QStringLiteral("dbus://"));
    QCOMPARE(alert.title, stored.title); // untouched text keeps its bytes
}

// Test, in every alert editor that has one, sends "Sentrel test message" through the values
// the editor shows, not through the record, and says "Delivered" or why not.
void AlertEditorsTest::testSendsTheValuesShown() {
    UiEnvironment env;
    env.sound.plays = false;
    FakeStarter starter;
    FakeDesktopNotifications notifications;
    PlatformServices services;
    services.programStarter = &starter;
    services.notifications = &notifications;
    ScopedPlatform fakes(services);
    const std::string nobody = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
    ScopedNetwork noGateway({.smsGateway = nobody});
    CSentrelDoc doc;
    {
        // Without a window there is no worker to send on.
        CMessageAlert alert;
        CMessageAlertDialog dialog(alert, doc, Editing::New);
        QVERIFY(!Find<QPushButton>(&dialog, "testButton")->isEnabled());
    }
    CQtEngineHost host;

    CEmailAlert mail = FilledEmail();
    mail.port = 31000; // the editor takes ports up to 32000: one where nobody answers
    while (LoopbackPortAnswers(mail.port)) {
        ++mail.port;
    }
    const CEmailAlert storedMail = mail;
    CClickatellAlert sms = FilledSms();
    CPushAlert push;
    push.url = "ntfy://stored";
    CMessageAlert popup;
    CRunProgramAlert program;
    program.program = "/bin/notify";
    program.arguments = "stored";
    CSoundAlert sound;
    sound.soundFile = "/sounds/bell.wav";
    const struct {
        std::function<std::unique_ptr<QDialog>()> open;
        const char* edit; // typed into before the test
        QString typed;
        QString result; // what the editor says; a prefix for the network's own words
    } editors[] = {
        {[&] { return std::make_unique<CEmailAlertDialog>(mail, doc, Editing::Existing); },
         "smtpHostEdit", "127.0.0.1", "Failed to connect to: 127.0.0.1"},
        {[&] { return std::make_unique<CClickatellAlertDialog>(sms, doc, Editing::Existing); },
         "userNameEdit", "typed", "Failed to connect to Clickatell: "},
        {[&] { return std::make_unique<CPushAlertDialog>(push, doc, Editing::Existing); },
         "addressEdit", "dbus://", "Delivered"},
        {[&] { return std::make_unique<CMessageAlertDialog>(popup, doc, Editing::Existing); },
         "nameEdit", "Popup", "Delivered"},
        {[&] { return std::make_unique<CRunProgramAlertDialog>(program, doc, Editing::Existing); },
         "argumentsEdit", "typed", "Delivered"},
        {[&] { return std::make_unique<CSoundAlertDialog>(sound, doc, Editing::Existing); },
         "nameEdit", "Bell", "Failed to play the sound file: /sounds/bell.wav"},
    };
    for (const auto& editor : editors) {
        const std::unique_ptr<QDialog> dialog = editor.open();
        ShowDialog(*dialog);
        Type(*dialog, editor.edit, editor.typed);
        Press(*dialog, "testButton");
        auto* result = Find<QLabel>(dialog.get(), "testResultLabel");
        QTRY_VERIFY2(result->text().startsWith(editor.result), qPrintable(result->text()));
        QVERIFY(Find<QPushButton>(dialog.get(), "testButton")->isEnabled());
        Press(*dialog, "cancelButton");
    }
    QCOMPARE(notifications.Shown(), std::vector<std::string>{"Sentrel\nSentrel test message"});
    QCOMPARE(env.popups.opened, std::vector<std::string>{"Sentrel test message"});
    QCOMPARE(starter.started, std::vector<std::string>{"/bin/notify typed"});
    QCOMPARE(env.sound.played, std::vector<std::string>{"/sounds/bell.wav"});
    // Nothing was stored.
    QVERIFY(SameEmail(mail, storedMail));
    QCOMPARE(S(sms.apiUser), QStringLiteral("acct"));
    QCOMPARE(S(push.url), QStringLiteral("ntfy://stored"));
    QCOMPARE(S(program.arguments), QStringLiteral("stored"));
    QVERIFY(popup.name.empty() && sound.name.empty());
}

// The send waits on the worker, not on the window: the editor says "Sending..." and goes
// on answering, and may even be closed before the send ends.
void AlertEditorsTest::testRunsOnTheWorker() {
    UiEnvironment env;
    HeldNotifications notifications;
    PlatformServices services;
    services.notifications = &notifications;
    ScopedPlatform held(services);
    CQtEngineHost host;
    CSentrelDoc doc;
    CPushAlert alert;
    alert.url = "dbus://";
    alert.title = "Phone";
    {
        CPushAlertDialog dialog(alert, doc, Editing::Existing);
        ShowDialog(dialog);
        Press(dialog, "testButton");
        QTRY_VERIFY(notifications.begun);
        QCOMPARE(Find<QLabel>(&dialog, "testResultLabel")->text(), QStringLiteral("Sending..."));
        QVERIFY(!Find<QPushButton>(&dialog, "testButton")->isEnabled());
        Type(dialog, "titleEdit", "typed while sending");
        QCOMPARE(Find<QLineEdit>(&dialog, "titleEdit")->text(),
                 QStringLiteral("typed while sending"));
        notifications.release.set_value();
        QTRY_COMPARE(Find<QLabel>(&dialog, "testResultLabel")->text(), QStringLiteral("Delivered"));
        QCOMPARE(notifications.shown, std::string("Phone\nSentrel test message"));
    }
    // Closed while the send is under way: its end finds no editor to tell.
    notifications.begun = false;
    notifications.release = {};
    {
        CPushAlertDialog dialog(alert, doc, Editing::Existing);
        ShowDialog(dialog);
        Press(dialog, "testButton");
        QTRY_VERIFY(notifications.begun);
        Press(dialog, "cancelButton");
    }
    notifications.release.set_value();
    host.DrainWorker();
    QTest::qWait(50); // the end of the send, delivered to the UI thread
    QCOMPARE(S(alert.title), QStringLiteral("Phone"));
}

// dbus:// in the program: the desktop's notification service on the session bus, asked
// from the engine's worker, as a push alert asks it.
void AlertEditorsTest::desktopNotificationsGoOverTheSessionBus() {
    if (qEnvironmentVariableIsEmpty("SENTREL_DBUS_TEST")) {
        QSKIP("runs on the session bus that dbus-run-session starts");
    }
    CDBusNotifications desktop;
    std::string failure;
    bool shown = true;
    std::thread([&] { shown = desktop.Notify("Alarm", "x", failure); }).join();
    QVERIFY(!shown); // no service on the bus yet
    QVERIFY2(failure.starts_with("The desktop's notification service did not show it: "),
             failure.c_str());

    QThread serviceThread;
    serviceThread.start();
    FakeNotifications service;
    service.moveToThread(&serviceThread);
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "service");
    QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &service,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService("org.freedesktop.Notifications"));
    std::thread([&] { shown = desktop.Notify("Alarm", "Caf\xC3\xA9\nline 2", failure); }).join();
    QVERIFY2(shown, failure.c_str());
    QCOMPARE(service.Shown(), QStringList{QString::fromUtf8("Alarm\nCaf\xC3\xA9\nline 2")});
    QDBusConnection::disconnectFromBus("service");
    serviceThread.quit();
    serviceThread.wait();
}

QTEST_MAIN(AlertEditorsTest)
// Linux programs have no ".exe" and many files no extension: the chooser must still
// list them, while a real extension filter stays as it is.
void AlertEditorsTest::choosersShowProgramsAndFilesWithoutExtensions() {
    QCOMPARE(CFileChooser::ToQtFilter("Program files (*.exe)|*.exe||"),
             QString("Program files (*)"));
    QCOMPARE(CFileChooser::ToQtFilter("All files (*.*)|*.*||"), QString("All files (*)"));
    QCOMPARE(CFileChooser::ToQtFilter("WAV files (*.wav)|*.wav||"), QString("WAV files (*.wav)"));
    QCOMPARE(CFileChooser::ToQtFilter("Texts|*.txt;*.log|All|*.*||"),
             QString("Texts (*.txt *.log);;All (*)"));
}

#include "AlertEditorsTest.moc"
