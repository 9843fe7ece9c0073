// The watch editors, driven through their widgets: what a new watch shows, what OK
// writes back, what Cancel leaves, and the checks on OK with their texts and focus.

#include "tests/ui/UiTestSupport.h"
#include "ui/DateTimeWatchDialog.h"
#include "ui/FileWatchDialog.h"
#include "ui/POPWatchDialog.h"
#include "ui/PingWatchDialog.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QListWidget>
#include <QRadioButton>

#include <sys/stat.h>
#include <utime.h>

using namespace sentrel;
using namespace sentrel::test;

class WatchEditorsTest : public QObject {
    Q_OBJECT

private slots:
    void sharedHelpers();
    void dateTimeNewDefaults();
    void dateTimeRoundTrip();
    void fileNewDefaultsAndChooser();
    void fileChecksInOrder();
    void fileBaselineAndFields();
    void pingDefaultsAndNameCheck();
    void pingRoundTripKeepsTextAsTyped();
    void popChecksInOrder();
    void popRoundTrip();
};

void WatchEditorsTest::sharedHelpers() {
    // Sorted without regard to case; equal names keep their order.
    QListWidget list;
    editors::AddSorted(&list, "b", "b");
    editors::AddSorted(&list, "A", "A");
    editors::AddSorted(&list, "c", "c1");
    editors::AddSorted(&list, "C", "C");
    editors::AddSorted(&list, "c", "c2");
    QStringList shown;
    for (int i = 0; i < list.count(); ++i) {
        shown << list.item(i)->text();
    }
    QCOMPARE(shown, (QStringList{"A", "b", "c", "C", "c"}));
    QCOMPARE(S(editors::EntryKey(list.item(4))), QStringLiteral("c2"));

    // Picker values before 1899-12-30 count the time forward from that day's midnight.
    const QDateTime early = editors::ToPicker(CDateTime(CDateTime::Valid, -1.25));
    QCOMPARE(early.date(), QDate(1899, 12, 29));
    QCOMPARE(early.time(), QTime(6, 0));
    QCOMPARE(editors::FromPicker(early).GetDayNumber(), -1.25);
    const QDateTime late = editors::ToPicker(CDateTime(CDateTime::Valid, 46000.75));
    QCOMPARE(late, QDateTime(QDate(2025, 12, 9), QTime(18, 0), Qt::UTC));
    QCOMPARE(editors::FromPicker(late).GetDayNumber(), 46000.75);
}

void WatchEditorsTest::dateTimeNewDefaults() {
    UiEnvironment env;
    env.clock.now = 1796661331; // 2026-12-07 17:35:31 in Berlin
    CSentrelDoc doc;
    CDateTimeWatch watch;
    CDateTimeWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Date/Time Watch"));
    const QDateTime opened(QDate(2026, 12, 7), QTime(17, 35, 31), Qt::UTC);
    for (const char* picker : {"onceDateEdit", "onceTimeEdit", "dailyTimeEdit"}) {
        QCOMPARE(Find<QDateTimeEdit>(&dialog, picker)->dateTime(), opened);
    }
    QVERIFY(Find<QDateTimeEdit>(&dialog, "onceTimeEdit")->displayFormat().contains("ss"));
    for (const char* box :
         {"onceEnableCheck", "dailyEnableCheck", "mondayCheck", "tuesdayCheck", "wednesdayCheck",
          "thursdayCheck", "fridayCheck", "saturdayCheck", "sundayCheck"}) {
        QVERIFY2(!Find<QCheckBox>(&dialog, box)->isChecked(), box);
    }
    QVERIFY(Find<QLineEdit>(&dialog, "nameEdit")->text().isEmpty());
    QVERIFY(Find<QLineEdit>(&dialog, "messageEdit")->text().isEmpty());

    // Nothing is checked: an empty watch with no part enabled is accepted.
    env.clock.Advance(60);
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(env.messageBox.shown.empty());
    QVERIFY(!watch.onceOn && !watch.dailyOn && watch.name.empty());
    // Last checked when it was made, so moments already past never fire.
    QCOMPARE(editors::ToPicker(watch.lastCheck), opened.addSecs(60));
    QCOMPARE(editors::ToPicker(watch.onceDate), opened);
}

void WatchEditorsTest::dateTimeRoundTrip() {
    UiEnvironment env;
    CSentrelDoc doc;
    CDateTimeWatch stored;
    stored.name = "Dentist";
    stored.onceOn = true;
    stored.onceDate = CDateTime(CDateTime::Valid, 46000.123456789); // not a whole second
    stored.onceTime = CDateTime(CDateTime::Valid, 0.5);
    stored.dailyTime = CDateTime(CDateTime::Valid, 0.25);
    stored.onFriday = true;
    stored.message = "Go";
    stored.lastCheck = CDateTime(CDateTime::Valid, 45999.0);

    {
        // Cancel leaves the record as it was, whatever was changed.
        CDateTimeWatch record = stored;
        CDateTimeWatchDialog dialog(record, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "nameEdit", "Other");
        Find<QCheckBox>(&dialog, "mondayCheck")->setChecked(true);
        Press(dialog, "cancelButton");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(S(record.name), QStringLiteral("Dentist"));
        QVERIFY(!record.onMonday);
    }

    CDateTimeWatch record = stored;
    CDateTimeWatchDialog dialog(record, doc, Editing::Existing);
    ShowDialog(dialog);
    QCOMPARE(Find<QLineEdit>(&dialog, "nameEdit")->text(), QStringLiteral("Dentist"));
    QVERIFY(Find<QCheckBox>(&dialog, "onceEnableCheck")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "fridayCheck")->isChecked());
    QCOMPARE(Find<QDateTimeEdit>(&dialog, "dailyTimeEdit")->time(), QTime(6, 0));

    Type(dialog, "nameEdit", "Dentist 2");
    Type(dialog, "messageEdit", "Leave now");
    Find<QCheckBox>(&dialog, "onceEnableCheck")->setChecked(false);
    Find<QCheckBox>(&dialog, "dailyEnableCheck")->setChecked(true);
    Find<QCheckBox>(&dialog, "fridayCheck")->setChecked(false);
    for (const char* day : {"mondayCheck", "tuesdayCheck", "wednesdayCheck", "thursdayCheck",
                            "saturdayCheck", "sundayCheck"}) {
        Find<QCheckBox>(&dialog, day)->setChecked(true);
    }
    Find<QDateTimeEdit>(&dialog, "onceTimeEdit")->setTime(QTime(14, 30, 15));
    Find<QDateTimeEdit>(&dialog, "dailyTimeEdit")->setTime(QTime(7, 45, 0));
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QCOMPARE(S(record.name), QStringLiteral("Dentist 2"));
    QCOMPARE(S(record.message), QStringLiteral("Leave now"));
    QVERIFY(!record.onceOn && record.dailyOn);
    QVERIFY(record.onMonday && record.onTuesday && record.onWednesday && record.onThursday &&
            !record.onFriday && record.onSaturday && record.onSunday);
    QCOMPARE(editors::ToPicker(record.onceTime).time(), QTime(14, 30, 15));
    QCOMPARE(editors::ToPicker(record.dailyTime).time(), QTime(7, 45, 0));
    // A picker left alone keeps its stored value to the last bit; the last check stays.
    QVERIFY(record.onceDate.SameStoredValue(stored.onceDate));
    QVERIFY(record.lastCheck.SameStoredValue(stored.lastCheck));
}

void WatchEditorsTest::fileNewDefaultsAndChooser() {
    UiEnvironment env;
    CSentrelDoc doc;
    CFileWatch watch;
    CFileWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("File Watch"));
    QVERIFY(Find<QRadioButton>(&dialog, "modeDateRadio")->isChecked());
    QVERIFY(Find<QRadioButton>(&dialog, "sourceFileRadio")->isChecked());
    auto* path = Find<QLineEdit>(&dialog, "fileNameEdit");
    QVERIFY(path->isEnabled() && path->isReadOnly());
    QVERIFY(path->text().isEmpty());
    for (const char* edit : {"nameEdit", "containsEdit", "notContainsEdit", "messageEdit"}) {
        QVERIFY(Find<QLineEdit>(&dialog, edit)->text().isEmpty());
    }

    Type(dialog, "nameEdit", "Typed first");
    env.AnswerChooser(std::nullopt);
    Press(dialog, "browseButton");
    QVERIFY(path->text().isEmpty());
    env.AnswerChooser("/srv/data/log.txt");
    Press(dialog, "browseButton");
    QCOMPARE(path->text(), QStringLiteral("/srv/data/log.txt"));
    QCOMPARE(Find<QLineEdit>(&dialog, "nameEdit")->text(), QStringLiteral("Typed first"));
    QCOMPARE(UiEnvironment::ChooserFilter(), std::string("All files (*.*)|*.*||"));
}

void WatchEditorsTest::fileChecksInOrder() {
    UiEnvironment env;
    TempDir dir;
    CSentrelDoc doc;
    CFileWatch watch;
    CFileWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);

    // The file comes before the name: an empty path fails first.
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Unable to open the file"});
    QVERIFY(dialog.isVisible());

    env.AnswerChooser(dir.File("gone.txt"));
    Press(dialog, "browseButton");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Unable to open the file"});

    WriteFile(dir.File("here.txt"), "x");
    env.AnswerChooser(dir.File("here.txt"));
    Press(dialog, "browseButton");
    Find<QLineEdit>(&dialog, "containsEdit")->setFocus();
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Specify a watch name"});
    QCOMPARE(env.messageBox.shown.size(), size_t(0));
    QCOMPARE(Focused(dialog), Find<QWidget>(&dialog, "nameEdit"));
    QVERIFY(dialog.isVisible());

    Type(dialog, "nameEdit", "Log");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(env.messageBox.shown.empty());
}

void WatchEditorsTest::fileBaselineAndFields() {
    UiEnvironment env;
    TempDir dir;
    const std::string file = dir.File("watched.txt");
    WriteFile(file, "first\nsecond\r\nthird");
    struct utimbuf times {
        1700000000, 1700000000
    };
    QCOMPARE(::utime(file.c_str(), &times), 0);

    CSentrelDoc doc;
    CFileWatch record;
    record.name = "Old";
    record.fileName = file;
    record.watchMode = 7; // a mode this program does not know
    record.messageSource = 5;
    record.lastContents = "stale";
    record.lastModified = 1;
    record.message = "m";

    {
        CFileWatch untouched = record;
        CFileWatchDialog dialog(untouched, doc, Editing::Existing);
        ShowDialog(dialog);
        Press(dialog, "cancelButton");
        QCOMPARE(S(untouched.lastContents), QStringLiteral("stale"));
        QCOMPARE(untouched.lastModified, std::int64_t(1));
    }

    CFileWatchDialog dialog(record, doc, Editing::Existing);
    ShowDialog(dialog);
    QCOMPARE(Find<QLineEdit>(&dialog, "fileNameEdit")->text(), S(file));
    for (const char* mode :
         {"modeDateRadio", "modeContentsRadio", "modeContainsRadio", "modeNotContainsRadio"}) {
        QVERIFY(!Find<QRadioButton>(&dialog, mode)->isChecked());
    }
    QVERIFY(Find<QRadioButton>(&dialog, "sourceMessageRadio")->isChecked());
    Type(dialog, "containsEdit", "needle");
    Type(dialog, "notContainsEdit", "hay");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const CFileWatch& edited = record;
    // Unknown stored values nobody touched stay; the baseline is the file as it is now.
    QCOMPARE(edited.watchMode, 7);
    QCOMPARE(edited.messageSource, 5);
    QCOMPARE(S(edited.lastContents), QStringLiteral("firstsecondthird"));
    QCOMPARE(edited.lastModified, std::int64_t(1700000000));
    QCOMPARE(S(edited.containsText), QStringLiteral("needle"));
    QCOMPARE(S(edited.notContainsText), QStringLiteral("hay"));

    // Every choice of the two radio groups reaches the record.
    CFileWatchDialog again(record, doc, Editing::Existing);
    ShowDialog(again);
    Find<QRadioButton>(&again, "modeNotContainsRadio")->setChecked(true);
    Find<QRadioButton>(&again, "sourceFileRadio")->setChecked(true);
    Type(again, "nameEdit", "New");
    Type(again, "messageEdit", "changed");
    Press(again, "okButton");
    QCOMPARE(edited.watchMode, 3);
    QCOMPARE(edited.messageSource, 0);
    QCOMPARE(S(edited.name), QStringLiteral("New"));
    QCOMPARE(S(edited.message), QStringLiteral("changed"));
    QCOMPARE(S(edited.fileName), S(file));
    QCOMPARE(S(edited.lastContents), QStringLiteral("firstsecondthird"));
}

void WatchEditorsTest::pingDefaultsAndNameCheck() {
    UiEnvironment env;
    CSentrelDoc doc;
    CPINGWatch watch;
    CPingWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Ping Watch"));
    QCOMPARE(Find<QLineEdit>(&dialog, "hostEdit")->text(),
             QString::fromLatin1(CPingWatchDialog::kDefaultHost));
    QVERIFY(!Find<QLineEdit>(&dialog, "hostEdit")->text().isEmpty());
    QCOMPARE(Find<QLineEdit>(&dialog, "packetSizeEdit")->text(), QStringLiteral("32"));
    QCOMPARE(Find<QLineEdit>(&dialog, "ttlEdit")->text(), QStringLiteral("10"));
    QCOMPARE(Find<QLineEdit>(&dialog, "timeoutEdit")->text(), QStringLiteral("5000"));
    QVERIFY(Find<QLineEdit>(&dialog, "failureMessageEdit")->text().isEmpty());

    Find<QLineEdit>(&dialog, "hostEdit")->setFocus();
    Press(dialog, "okButton");
    QCOMPARE(env.messageBox.shown.size(), size_t(1));
    QCOMPARE(S(env.messageBox.shown[0].text), QStringLiteral("Specify a watch name"));
    QCOMPARE(S(env.messageBox.shown[0].caption), QStringLiteral("Sentrel"));
    QCOMPARE(Focused(dialog), Find<QWidget>(&dialog, "nameEdit"));
    QVERIFY(dialog.isVisible());
}

void WatchEditorsTest::pingRoundTripKeepsTextAsTyped() {
    UiEnvironment env;
    CSentrelDoc doc;
    CPINGWatch record;
    record.name = "Router";
    record.hostName = "192.0.2.1";
    record.packetSizeText = "300";
    record.timeToLiveText = "64";
    record.timeoutText = "1500";
    record.failureMessage = "down";

    CPINGWatch untouched = record;
    {
        CPingWatchDialog dialog(untouched, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "nameEdit", "x");
        Press(dialog, "cancelButton");
        QCOMPARE(S(untouched.name), QStringLiteral("Router"));
    }

    CPingWatchDialog dialog(record, doc, Editing::Existing);
    ShowDialog(dialog);
    QCOMPARE(Find<QLineEdit>(&dialog, "packetSizeEdit")->text(), QStringLiteral("300"));
    Type(dialog, "nameEdit", "Gateway");
    Type(dialog, "hostEdit", "gw.example");
    Type(dialog, "timeoutEdit", "soon");
    Type(dialog, "ttlEdit", " 5x");
    Type(dialog, "packetSizeEdit", "");
    Type(dialog, "failureMessageEdit", "Gateway is down");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(record.name), QStringLiteral("Gateway"));
    QCOMPARE(S(record.hostName), QStringLiteral("gw.example"));
    QCOMPARE(S(record.timeoutText), QStringLiteral("soon"));
    QCOMPARE(S(record.timeToLiveText), QStringLiteral(" 5x"));
    QCOMPARE(S(record.packetSizeText), QString());
    QCOMPARE(S(record.failureMessage), QStringLiteral("Gateway is down"));
}

void WatchEditorsTest::popChecksInOrder() {
    UiEnvironment env;
    CSentrelDoc doc;
    CPOPWatch watch;
    CPOPWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("POP Watch"));
    QCOMPARE(Find<QLineEdit>(&dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
    QCOMPARE(Find<QLineEdit>(&dialog, "maxSizeEdit")->text(), QStringLiteral("0"));

    const struct {
        const char* fill;
        const char* text;
        const char* focus;
    } steps[] = {
        {nullptr, "Enter a Name for this Watch", "nameEdit"},
        {"nameEdit", "Enter a Username for the POP Server", "userNameEdit"},
        {"userNameEdit", "Enter a password for the POP Server", "passwordEdit"},
        {"passwordEdit", "Enter a POP server name e.g. ", "serverEdit"},
    };
    for (const auto& step : steps) {
        if (step.fill != nullptr) {
            Type(dialog, step.fill, "v");
        }
        Find<QWidget>(&dialog, "oneTextEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.messageBox.shown.size(), size_t(1));
        QVERIFY2(env.messageBox.shown[0].text.rfind(step.text, 0) == 0, step.text);
        env.messageBox.shown.clear();
        QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(step.focus));
        QVERIFY(dialog.isVisible());
    }
    // The example host follows the text.
    Find<QLineEdit>(&dialog, "serverEdit")->clear();
    Press(dialog, "okButton");
    QVERIFY(env.messageBox.shown[0].text.size() >
            std::string("Enter a POP server name e.g. ").size());
    env.messageBox.shown.clear();

    // A port may follow the name, and must be one.
    Type(dialog, "serverEdit", "pop.example.net:99999");
    Find<QWidget>(&dialog, "oneTextEdit")->setFocus();
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(),
             std::vector<std::string>{"Enter a port from 1 to 65535 after the POP server name, "
                                      "e.g. pop.example.com:995"});
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("serverEdit"));
    Type(dialog, "serverEdit", "[::1]:995");
    Type(dialog, "maxSizeEdit", "");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Please enter an integer."});
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("maxSizeEdit"));
    Type(dialog, "maxSizeEdit", "4294967295");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(watch.maxSizeKb, 4294967295u);
    QCOMPARE(S(watch.popServer), QStringLiteral("[::1]:995"));
}

void WatchEditorsTest::popRoundTrip() {
    UiEnvironment env;
    CSentrelDoc doc;
    CPOPWatch record;
    record.name = "Inbox";
    record.popServer = "pop.example.net";
    record.popUserName = "me";
    record.popPassword = "secret";
    record.oneText = "One";
    record.oneIncludeFrom = 1;
    record.manyText = "Many";
    record.manyIncludeCount = 1;
    record.manyIncludeContent = 1;
    record.maxSizeKb = 10;
    record.skipIfOverSize = 1;
    record.seenUids = {"uid-1"};

    CPOPWatchDialog dialog(record, doc, Editing::Existing);
    ShowDialog(dialog);
    QVERIFY(Find<QCheckBox>(&dialog, "oneFromCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "oneSubjectCheck")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "manyCountCheck")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "overSizeCheck")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "maxSizeEdit")->text(), QStringLiteral("10"));

    Type(dialog, "passwordEdit", "better");
    Type(dialog, "oneTextEdit", "A mail");
    Type(dialog, "manyTextEdit", " mails");
    Type(dialog, "maxSizeEdit", "250");
    for (const char* box :
         {"oneFromCheck", "oneSubjectCheck", "oneContentCheck", "manyCountCheck", "manyFromCheck",
          "manySubjectCheck", "manyContentCheck", "uppercaseCheck", "overSizeCheck"}) {
        auto* check = Find<QCheckBox>(&dialog, box);
        check->setChecked(!check->isChecked());
    }
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(record.popPassword), QStringLiteral("better"));
    QCOMPARE(S(record.oneText), QStringLiteral("A mail"));
    QCOMPARE(S(record.manyText), QStringLiteral(" mails"));
    QCOMPARE(record.maxSizeKb, 250u);
    QCOMPARE(record.oneIncludeFrom, 0);
    QCOMPARE(record.oneIncludeSubject, 1);
    QCOMPARE(record.oneIncludeContent, 1);
    QCOMPARE(record.manyIncludeCount, 0);
    QCOMPARE(record.manyIncludeFrom, 1);
    QCOMPARE(record.manyIncludeSubject, 1);
    QCOMPARE(record.manyIncludeContent, 0);
    QCOMPARE(record.skipUppercaseSubject, 1);
    QCOMPARE(record.skipIfOverSize, 0);
    // What the watch has already seen is not the editor's to change.
    QCOMPARE(record.seenUids.size(), size_t(1));
}

QTEST_MAIN(WatchEditorsTest)
#include "WatchEditorsTest.moc"
