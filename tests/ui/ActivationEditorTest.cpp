// The activation editor, driven through its widgets: the defaults of a new activation,
// the six checks in order (the pickers always hold a moment), and how the chosen watch
// and alerts are stored.

#include "engine/Schedule.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ActivationDialog.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QListWidget>
#include <QLocale>

using namespace sentrel;
using namespace sentrel::test;

namespace {

QListWidgetItem* Entry(QDialog& dialog, const char* list, int row) {
    return Find<QListWidget>(&dialog, list)->item(row);
}

QDateTimeEdit* Picker(QDialog& dialog, const char* name) {
    return Find<QDateTimeEdit>(&dialog, name);
}

// An activation that passes every check.
CActivation Valid(CWatch* watch, CAlert* alert) {
    CActivation activation;
    activation.name = "Morning";
    activation.enabled = true;
    activation.nextDate = "2026-12-08";
    activation.nextTime = "7:30:00";
    activation.interval = "60";
    activation.startTime = "9:00a";
    activation.endTime = "5:00p";
    activation.windowOn = true;
    activation.containsFilterOn = true;
    activation.containsWords = "alarm,fire";
    activation.excludesFilterOn = false;
    activation.excludesWords = "test";
    activation.watch = {watch};
    activation.alerts = {alert};
    return activation;
}

} // namespace

class ActivationEditorTest : public QObject {
    Q_OBJECT

private slots:
    void newActivationDefaults();
    void checksInOrder();
    void intervalForms();
    void windowTimesCheckedEvenWhenOff();
    void alertsStoredInReverseSortedOrder();
    void watchFoundByExactName();
    void roundTripAndCancel();
    void scheduleMovedOnWhileOpenIsKept();
};

void ActivationEditorTest::newActivationDefaults() {
    UiEnvironment env;
    CSentrelDoc doc;
    AddWatch(doc, "W");
    AddAlert(doc, "A");
    CActivation activation;
    CActivationDialog dialog(activation, doc, Editing::New);
    ShowDialog(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Activation"));
    QCOMPARE(Find<QLabel>(&dialog, "watchListLabel")->text().remove('&'),
             QStringLiteral("Set a watch on \n(select one) ..."));
    QCOMPARE(Find<QLabel>(&dialog, "alertListLabel")->text().remove('&'),
             QStringLiteral("Alerts \n(select one or more) ..."));
    QVERIFY(Find<QCheckBox>(&dialog, "enableCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "windowCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "containsCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "excludesCheck")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "endTimeEdit")->text(), QStringLiteral("5:00p"));
    QCOMPARE(Find<QLineEdit>(&dialog, "startTimeEdit")->text(), QStringLiteral("9:00a"));
    QCOMPARE(Find<QLineEdit>(&dialog, "intervalEdit")->text(), QStringLiteral("5"));
    for (const char* edit : {"nameEdit", "containsEdit", "excludesEdit"}) {
        QVERIFY2(Find<QLineEdit>(&dialog, edit)->text().isEmpty(), edit);
    }
    // Due now, shown in the user's locale by the pickers.
    const QDateTime now = editors::ToPicker(CDateTime::Now());
    QCOMPARE(Picker(dialog, "dateEdit")->date(), now.date());
    QCOMPARE(Picker(dialog, "timeEdit")->time(), now.time());
    QCOMPARE(Picker(dialog, "dateEdit")->displayFormat(),
             QLocale().dateFormat(QLocale::ShortFormat));
    QVERIFY(Find<QListWidget>(&dialog, "watchList")->selectedItems().isEmpty());
    QVERIFY(Find<QListWidget>(&dialog, "alertList")->selectedItems().isEmpty());

    // Accepted without changes, it fails the first check.
    Press(dialog, "okButton");
    QCOMPARE(env.messageBox.shown.size(), size_t(1));
    QCOMPARE(S(env.messageBox.shown[0].text), QStringLiteral("Specify an activation name."));
    QCOMPARE(S(env.messageBox.shown[0].caption), QStringLiteral("Invalid Name"));
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("nameEdit"));
    QVERIFY(dialog.isVisible());
    QVERIFY(activation.name.empty() && activation.nextDate.empty() && !activation.enabled);
}

void ActivationEditorTest::checksInOrder() {
    UiEnvironment env;
    CSentrelDoc doc;
    AddWatch(doc, "W");
    AddAlert(doc, "A");
    CActivation activation;
    CActivationDialog dialog(activation, doc, Editing::New);
    ShowDialog(dialog);

    // Each step breaks one more field than the checks before it reach; every failure
    // shows its own text and caption, focuses its field and writes nothing.
    Type(dialog, "nameEdit", "N");
    Type(dialog, "intervalEdit", "0");
    Type(dialog, "startTimeEdit", "nine");
    Type(dialog, "endTimeEdit", "five");
    const struct {
        const char* text;
        const char* caption;
        const char* focus;
        const char* mendField;
        const char* mendValue;
    } steps[] = {
        {"The interval is invalid.", "Invalid Interval", "intervalEdit", "intervalEdit", "15"},
        {"The start time is invalid.", "Invalid Start Time", "startTimeEdit", "startTimeEdit",
         "8:00"},
        {"The end time is invalid.", "Invalid End Time", "endTimeEdit", "endTimeEdit", "18:00"},
        {"A watch must be selected.", "Invalid Watch", "watchList", nullptr, nullptr},
        {"At least one alert must be selected.", "Invalid Alert", "alertList", nullptr, nullptr},
    };
    for (const auto& step : steps) {
        Find<QWidget>(&dialog, "containsEdit")->setFocus();
        Press(dialog, "okButton");
        QCOMPARE(env.messageBox.shown.size(), size_t(1));
        QCOMPARE(S(env.messageBox.shown[0].text), QString::fromLatin1(step.text));
        QCOMPARE(S(env.messageBox.shown[0].caption), QString::fromLatin1(step.caption));
        env.messageBox.shown.clear();
        QCOMPARE(Focused(dialog)->objectName(), QString::fromLatin1(step.focus));
        QVERIFY(dialog.isVisible());
        QVERIFY(activation.name.empty() && activation.watch.empty() && activation.alerts.empty());
        if (step.mendField != nullptr) {
            Type(dialog, step.mendField, step.mendValue);
        } else if (QString::fromLatin1(step.focus) == "watchList") {
            Entry(dialog, "watchList", 0)->setSelected(true);
        }
    }
    Entry(dialog, "alertList", 0)->setSelected(true);
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(activation.name), QStringLiteral("N"));
    // A new activation is due now, stored in the form every locale reads alike.
    QCOMPARE(S(activation.nextDate), S(CDateTime::Now().FormatIsoDate()));
    QCOMPARE(S(activation.nextTime), S(CDateTime::Now().FormatIsoTime()));
}

void ActivationEditorTest::intervalForms() {
    UiEnvironment env;
    CSentrelDoc doc;
    CWatch* watch = AddWatch(doc, "W");
    CAlert* alert = AddAlert(doc, "A");
    const struct {
        const char* interval;
        bool passes;
    } forms[] = {{"0", false}, {"-5", false},       {"minutes 5", false}, {"", false},
                 {"5", true},  {"5 minutes", true}, {"  7", true},        {"+3", true}};
    for (const auto& form : forms) {
        CActivation activation = Valid(watch, alert);
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "intervalEdit", form.interval);
        Press(dialog, "okButton");
        if (form.passes) {
            QVERIFY2(env.messageBox.shown.empty(), form.interval);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            // Kept as typed; the schedule converts it at every use.
            QCOMPARE(S(activation.interval), QString::fromLatin1(form.interval));
        } else {
            QCOMPARE(env.TakeMessages(), std::vector<std::string>{"The interval is invalid."});
            QCOMPARE(S(activation.interval), QStringLiteral("60"));
        }
    }
}

void ActivationEditorTest::windowTimesCheckedEvenWhenOff() {
    UiEnvironment env;
    CSentrelDoc doc;
    CWatch* watch = AddWatch(doc, "W");
    CAlert* alert = AddAlert(doc, "A");
    CActivation activation = Valid(watch, alert);
    activation.windowOn = false;
    CActivationDialog dialog(activation, doc, Editing::Existing);
    ShowDialog(dialog);
    QVERIFY(!Find<QCheckBox>(&dialog, "windowCheck")->isChecked());
    Type(dialog, "startTimeEdit", "after lunch");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"The start time is invalid."});
    Type(dialog, "startTimeEdit", "1:00p");
    Type(dialog, "endTimeEdit", "");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"The end time is invalid."});
    QCOMPARE(S(activation.startTime), QStringLiteral("9:00a"));
    Type(dialog, "endTimeEdit", "5:30p");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(S(activation.startTime), QStringLiteral("1:00p"));
    QCOMPARE(S(activation.endTime), QStringLiteral("5:30p"));
}

void ActivationEditorTest::alertsStoredInReverseSortedOrder() {
    UiEnvironment env;
    CSentrelDoc doc;
    CWatch* watch = AddWatch(doc, "W");
    AddAlert(doc, "Mail");
    AddAlert(doc, "Phone");
    AddAlert(doc, "beeper");
    AddAlert(doc, "Unused");
    CActivation activation = Valid(watch, doc.alerts[3].get());
    CActivationDialog dialog(activation, doc, Editing::Existing);
    ShowDialog(dialog);
    QCOMPARE(Entries(Find<QListWidget>(&dialog, "alertList")),
             (QStringList{"beeper", "Mail", "Phone", "Unused"}));
    QCOMPARE(Find<QListWidget>(&dialog, "alertList")->selectedItems().size(), 1);
    QVERIFY(Entry(dialog, "alertList", 3)->isSelected());

    // Each click toggles an entry.
    auto* list = Find<QListWidget>(&dialog, "alertList");
    for (int row : {0, 1, 2, 3}) {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QCOMPARE(list->selectedItems().size(), 3);
    QVERIFY(!Entry(dialog, "alertList", 3)->isSelected());

    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(Names(activation.alerts), (std::vector<std::string>{"Phone", "Mail", "beeper"}));
    QCOMPARE(activation.alerts[0], doc.alerts[1].get());
}

void ActivationEditorTest::watchFoundByExactName() {
    UiEnvironment env;
    CSentrelDoc doc;
    CWatch* lower = AddWatch(doc, "server");
    CWatch* upper = AddWatch(doc, "Server");
    CWatch* firstDup = AddWatch(doc, "Dup");
    AddWatch(doc, "Dup");
    CAlert* alert = AddAlert(doc, "A");

    {
        // Opening selects the entry that names the activation's watch exactly.
        CActivation activation = Valid(upper, alert);
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        const auto selected = Find<QListWidget>(&dialog, "watchList")->selectedItems();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected[0]->text(), QStringLiteral("Server"));
        Press(dialog, "okButton");
        QCOMPARE(activation.GetWatch(), upper);
    }
    {
        CActivation activation = Valid(lower, alert);
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        QCOMPARE(Entries(Find<QListWidget>(&dialog, "watchList")).size(), 4);
        auto* list = Find<QListWidget>(&dialog, "watchList");
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->text() == "Server") {
                list->setCurrentRow(row);
            }
        }
        Press(dialog, "okButton");
        QCOMPARE(activation.GetWatch(), upper);
        QCOMPARE(activation.watch.size(), size_t(1));
    }
    {
        // Alike names: the first in the document's order, whichever entry was chosen.
        CActivation activation = Valid(lower, alert);
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        auto* list = Find<QListWidget>(&dialog, "watchList");
        list->setCurrentRow(1); // the second "Dup" entry
        QCOMPARE(list->currentItem()->text(), QStringLiteral("Dup"));
        Press(dialog, "okButton");
        QCOMPARE(activation.GetWatch(), firstDup);
    }
}

void ActivationEditorTest::roundTripAndCancel() {
    UiEnvironment env;
    CSentrelDoc doc;
    CWatch* first = AddWatch(doc, "First");
    CWatch* second = AddWatch(doc, "Second");
    CAlert* a = AddAlert(doc, "A");
    CAlert* b = AddAlert(doc, "B");
    const CActivation stored = Valid(first, a);

    {
        CActivation activation = stored;
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "nameEdit", "Changed");
        Find<QListWidget>(&dialog, "watchList")->setCurrentRow(1);
        Press(dialog, "cancelButton");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(S(activation.name), QStringLiteral("Morning"));
        QCOMPARE(activation.GetWatch(), first);
    }

    CActivation activation = stored;
    CActivationDialog dialog(activation, doc, Editing::Existing);
    ShowDialog(dialog);
    QCOMPARE(Find<QLineEdit>(&dialog, "nameEdit")->text(), QStringLiteral("Morning"));
    QCOMPARE(Picker(dialog, "dateEdit")->date(), QDate(2026, 12, 8));
    QCOMPARE(Picker(dialog, "timeEdit")->time(), QTime(7, 30));
    QCOMPARE(Find<QLineEdit>(&dialog, "intervalEdit")->text(), QStringLiteral("60"));
    QCOMPARE(Find<QLineEdit>(&dialog, "containsEdit")->text(), QStringLiteral("alarm,fire"));
    QCOMPARE(Find<QLineEdit>(&dialog, "excludesEdit")->text(), QStringLiteral("test"));
    QVERIFY(Find<QCheckBox>(&dialog, "windowCheck")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "containsCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "excludesCheck")->isChecked());
    QVERIFY(Entry(dialog, "watchList", 0)->isSelected());
    QVERIFY(Entry(dialog, "alertList", 0)->isSelected());
    QVERIFY(!Entry(dialog, "alertList", 1)->isSelected());

    Type(dialog, "nameEdit", "Evening");
    Find<QCheckBox>(&dialog, "enableCheck")->setChecked(false);
    Picker(dialog, "dateEdit")->setDate(QDate(2027, 1, 2));
    Picker(dialog, "timeEdit")->setTime(QTime(17, 0));
    Type(dialog, "intervalEdit", "1440");
    Find<QCheckBox>(&dialog, "windowCheck")->setChecked(false);
    Type(dialog, "startTimeEdit", "6:00");
    Type(dialog, "endTimeEdit", "23:00");
    Find<QCheckBox>(&dialog, "containsCheck")->setChecked(false);
    Type(dialog, "containsEdit", "");
    Find<QCheckBox>(&dialog, "excludesCheck")->setChecked(true);
    Type(dialog, "excludesEdit", ",spam");
    Find<QListWidget>(&dialog, "watchList")->setCurrentRow(1);
    Entry(dialog, "alertList", 0)->setSelected(false);
    Entry(dialog, "alertList", 1)->setSelected(true);
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QCOMPARE(S(activation.name), QStringLiteral("Evening"));
    QVERIFY(!activation.enabled);
    QCOMPARE(S(activation.nextDate), QStringLiteral("2027-01-02"));
    QCOMPARE(S(activation.nextTime), QStringLiteral("17:00:00"));
    QCOMPARE(S(activation.interval), QStringLiteral("1440"));
    QVERIFY(!activation.windowOn);
    QCOMPARE(S(activation.startTime), QStringLiteral("6:00"));
    QCOMPARE(S(activation.endTime), QStringLiteral("23:00"));
    QVERIFY(!activation.containsFilterOn);
    QCOMPARE(S(activation.containsWords), QString());
    QVERIFY(activation.excludesFilterOn);
    QCOMPARE(S(activation.excludesWords), QStringLiteral(",spam"));
    QCOMPARE(activation.GetWatch(), second);
    QCOMPARE(activation.alerts, std::vector<CAlert*>{b});
}

void ActivationEditorTest::scheduleMovedOnWhileOpenIsKept() {
    UiEnvironment env;
    CSentrelDoc doc;
    CWatch* watch = AddWatch(doc, "W");
    CAlert* alert = AddAlert(doc, "A");
    CActivation activation = Valid(watch, alert);
    activation.interval = "5";
    activation.windowOn = false;
    activation.nextDate = CDateTime::Now().FormatDate();
    activation.nextTime = CDateTime::Now().FormatTime();

    {
        // The engine fires the activation twice while the user renames it: OK keeps the
        // moment the engine moved on to, and the activation is not due again at once.
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        env.clock.Advance(60);
        QVERIFY(IsDue(activation));
        env.clock.Advance(6 * 60);
        QVERIFY(IsDue(activation));
        const CActivation moved = activation;
        Type(dialog, "nameEdit", "Renamed");
        Press(dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(S(activation.name), QStringLiteral("Renamed"));
        QCOMPARE(S(activation.nextDate), S(moved.nextDate));
        QCOMPARE(S(activation.nextTime), S(moved.nextTime));
        QVERIFY(!IsDue(activation));
    }
    {
        // A time the user picked is written, with the date as shown.
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        const QDate shownDate = Picker(dialog, "dateEdit")->date();
        env.clock.Advance(6 * 60);
        QVERIFY(IsDue(activation));
        Picker(dialog, "timeEdit")->setTime(QTime(23, 59));
        Press(dialog, "okButton");
        QCOMPARE(S(activation.nextTime), QStringLiteral("23:59:00"));
        QCOMPARE(S(activation.nextDate), shownDate.toString(Qt::ISODate));
    }
    {
        // A stored moment that does not read shows now, and OK writes what was shown.
        activation.nextDate = "someday";
        CActivationDialog dialog(activation, doc, Editing::Existing);
        ShowDialog(dialog);
        Press(dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(CDateTime::Parse(activation.nextDate + " " + activation.nextTime) ==
                CDateTime::Now());
    }
}

QTEST_MAIN(ActivationEditorTest)
#include "ActivationEditorTest.moc"
