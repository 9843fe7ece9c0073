#include "ui/ActivationDialog.h"

#include "engine/Schedule.h"
#include "model/DateTime.h"
#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_ActivationDialog.h"

#include <QListWidget>

namespace sentrel {

namespace {

// The entry a record's name selects: the first that shows it exactly, or else the
// first that shows it in another case.
QListWidgetItem* FindEntry(const QListWidget* list, const std::string& name) {
    QListWidgetItem* caseless = nullptr;
    const QString shown = FromStored(name);
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (editors::EntryKey(item) == name) {
            return item;
        }
        if (caseless == nullptr && item->text().compare(shown, Qt::CaseInsensitive) == 0) {
            caseless = item;
        }
    }
    return caseless;
}

} // namespace

CActivationDialog::CActivationDialog(CActivation& activation, CSentrelDoc& doc, Editing editing,
                                     QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ActivationDialog>()), m_activation(activation),
      m_doc(doc), m_isNew(editing == Editing::New) {
    m_ui->setupUi(this);
    editors::MakeDatePicker(m_ui->dateEdit);
    editors::MakeTimePicker(m_ui->timeEdit);
    FillLists();

    CActivation shown = activation;
    if (m_isNew) {
        // A new activation: due now, every five minutes, the window ready for office hours.
        const CDateTime now = CDateTime::Now();
        shown.enabled = true;
        shown.endTime = "5:00p";
        shown.interval = "5";
        shown.startTime = "9:00a";
        shown.windowOn = false;
        shown.nextDate = now.FormatIsoDate();
        shown.nextTime = now.FormatIsoTime();
        shown.containsFilterOn = false;
        shown.excludesFilterOn = false;
        shown.containsWords.clear();
        shown.excludesWords.clear();
    }
    m_ui->nameEdit->setText(FromStored(shown.name));
    m_ui->enableCheck->setChecked(shown.enabled);
    const CDateTime next = CDateTime::Parse(shown.nextDate + " " + shown.nextTime);
    m_nextUnreadable = !next.IsValid();
    m_shownNext = editors::ToPicker(m_nextUnreadable ? CDateTime::Now() : next);
    m_ui->dateEdit->setDateTime(m_shownNext);
    m_ui->timeEdit->setDateTime(m_shownNext);
    m_ui->intervalEdit->setText(FromStored(shown.interval));
    m_ui->windowCheck->setChecked(shown.windowOn);
    m_ui->startTimeEdit->setText(FromStored(shown.startTime));
    m_ui->endTimeEdit->setText(FromStored(shown.endTime));
    m_ui->containsCheck->setChecked(shown.containsFilterOn);
    m_ui->containsEdit->setText(FromStored(shown.containsWords));
    m_ui->excludesCheck->setChecked(shown.excludesFilterOn);
    m_ui->excludesEdit->setText(FromStored(shown.excludesWords));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CActivationDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CActivationDialog::~CActivationDialog() = default;

void CActivationDialog::FillLists() {
    for (const auto& watch : m_doc.watches) {
        editors::AddSorted(m_ui->watchList, FromStored(watch->name), watch->name);
    }
    for (const auto& alert : m_doc.alerts) {
        editors::AddSorted(m_ui->alertList, FromStored(alert->name), alert->name);
    }
    if (const CWatch* watch = m_activation.GetWatch()) {
        if (QListWidgetItem* entry = FindEntry(m_ui->watchList, watch->name)) {
            m_ui->watchList->setCurrentItem(entry);
        }
    }
    for (const CAlert* alert : m_activation.alerts) {
        if (alert == nullptr) {
            continue;
        }
        if (QListWidgetItem* entry = FindEntry(m_ui->alertList, alert->name)) {
            entry->setSelected(true);
        }
    }
}

void CActivationDialog::OnOk() {
    const std::string name = ToStored(m_ui->nameEdit->text(), m_activation.name);
    const std::string interval = ToStored(m_ui->intervalEdit->text(), m_activation.interval);
    const std::string startTime = ToStored(m_ui->startTimeEdit->text(), m_activation.startTime);
    const std::string endTime = ToStored(m_ui->endTimeEdit->text(), m_activation.endTime);
    const std::string containsWords =
        ToStored(m_ui->containsEdit->text(), m_activation.containsWords);
    const std::string excludesWords =
        ToStored(m_ui->excludesEdit->text(), m_activation.excludesWords);

    // The window's times must parse even while the window is off.
    if (!editors::Require(
            {{name.empty(), m_ui->nameEdit, "Specify an activation name.", "Invalid Name"},
             {ParseIntervalMinutes(interval) <= 0, m_ui->intervalEdit, "The interval is invalid.",
              "Invalid Interval"},
             {!CDateTime::Parse(startTime).IsValid(), m_ui->startTimeEdit,
              "The start time is invalid.", "Invalid Start Time"},
             {!CDateTime::Parse(endTime).IsValid(), m_ui->endTimeEdit, "The end time is invalid.",
              "Invalid End Time"},
             {m_ui->watchList->selectedItems().isEmpty(), m_ui->watchList,
              "A watch must be selected.", "Invalid Watch"},
             {m_ui->alertList->selectedItems().isEmpty(), m_ui->alertList,
              "At least one alert must be selected.", "Invalid Alert"}})) {
        return;
    }

    m_activation.name = name;
    m_activation.containsFilterOn = m_ui->containsCheck->isChecked();
    m_activation.excludesFilterOn = m_ui->excludesCheck->isChecked();
    m_activation.enabled = m_ui->enableCheck->isChecked();
    m_activation.windowOn = m_ui->windowCheck->isChecked();
    m_activation.containsWords = containsWords;
    m_activation.excludesWords = excludesWords;
    m_activation.endTime = endTime;
    m_activation.interval = interval;
    m_activation.startTime = startTime;
    // The engine moves the next moment on while the editor is open: what it shows may
    // already be past, and writing it back would fire the activation again at once.
    const QDateTime picked(m_ui->dateEdit->date(), m_ui->timeEdit->time(), Qt::UTC);
    if (m_isNew || m_nextUnreadable || picked != m_shownNext) {
        const CDateTime next = editors::FromPicker(picked);
        m_activation.nextDate = next.FormatIsoDate();
        m_activation.nextTime = next.FormatIsoTime();
    }

    // Records are found by exact name, the first in the document's order.
    const std::string watchName = editors::EntryKey(m_ui->watchList->selectedItems().front());
    for (const auto& watch : m_doc.watches) {
        if (watch->name == watchName) {
            m_activation.watch.assign(1, watch.get());
            break;
        }
    }

    // Each alert goes to the head of the list, so the activation holds them in reverse
    // list order, and sends them in that order.
    m_activation.alerts.clear();
    int taken = 0;
    for (int row = 0; row < m_ui->alertList->count() && taken < kMaxSelectedAlerts; ++row) {
        const QListWidgetItem* entry = m_ui->alertList->item(row);
        if (!entry->isSelected()) {
            continue;
        }
        ++taken;
        const std::string alertName = editors::EntryKey(entry);
        for (const auto& alert : m_doc.alerts) {
            if (alert->name == alertName) {
                m_activation.alerts.insert(m_activation.alerts.begin(), alert.get());
                break;
            }
        }
    }
    accept();
}

} // namespace sentrel
