// The alert editors, driven through their widgets: what a new alert shows, what OK
// writes, what Cancel leaves, and the checks on OK with their texts and focus.

#include "model/SentrelDoc.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ClickatellAlertDialog.h"
#include "ui/EmailAlertDialog.h"
#include "ui/FileChooser.h"
#include "ui/RunProgramAlertDialog.h"
#include "ui/SoundAlertDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

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
    QVERIFY(Find<QLabel>(&dialog, "importantNote")
                ->text()
                .startsWith(QStringLiteral("IMPORTANT: The API ID is NOT your Client ID.")));
}

void AlertEditorsTest::smsChecksInOrder() {
    UiEnvironment env;
    CSentrelDoc doc;
    CClickatellAlert alert;
    CClickatellAlertDialog dialog(alert, doc, Editing::New);
    ShowDialog(dialog);
    const struct {
        const char* fill;
        const char* text;
        const char* focus;
    } steps[] = {
        {nullptr, "Specify an alert name", "nameEdit"},
        {"nameEdit", "Specify an API ID", "apiIdEdit"},
        {"apiIdEdit", "Specify the sender (From)", "fromEdit"},
        {"fromEdit", "Specify who to send to", "toEdit"},
        {"toEdit", "Specify a Clickatell Username", "userNameEdit"},
        {"userNameEdit", "Specify a Clickatell Password", "passwordEdit"},
    };
    for (const auto& step : steps) {
        if (step.fill != nullptr) {
            Type(dialog, step.fill, "v");
        }
        Find<QWidget>(&dialog, "maxMessagesEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{step.text});
        QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(step.focus));
        QVERIFY(dialog.isVisible());
        QVERIFY(alert.name.empty()); // nothing written before every check passes
    }
    Type(dialog, "passwordEdit", "v");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
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
    Press(dialog, "testButton");
    QCOMPARE(env.sound.played, std::vector<std::string>{"/usr/share/sounds/bell.wav"});
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(record.name), QStringLiteral("Bell"));
    QCOMPARE(S(record.soundFile), QStringLiteral("/usr/share/sounds/bell.wav"));
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
