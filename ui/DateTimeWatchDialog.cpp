#include "ui/DateTimeWatchDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_DateTimeWatchDialog.h"

namespace sentrel {

CDateTimeWatchDialog::CDateTimeWatchDialog(CDateTimeWatch& watch, CSentrelDoc& /*doc*/,
                                           Editing editing, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DateTimeWatchDialog>()), m_watch(watch),
      m_isNew(editing == Editing::New) {
    m_ui->setupUi(this);
    // A window of its own, with its own taskbar button.
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);

    editors::MakeDatePicker(m_ui->onceDateEdit);
    editors::MakeTimePicker(m_ui->onceTimeEdit);
    editors::MakeTimePicker(m_ui->dailyTimeEdit);

    const CDateTime now = CDateTime::Now();
    m_ui->onceDateEdit->setDateTime(editors::ToPicker(m_isNew ? now : watch.onceDate));
    m_ui->onceTimeEdit->setDateTime(editors::ToPicker(m_isNew ? now : watch.onceTime));
    m_ui->dailyTimeEdit->setDateTime(editors::ToPicker(m_isNew ? now : watch.dailyTime));
    m_ui->nameEdit->setText(FromStored(watch.name));
    m_ui->onceEnableCheck->setChecked(watch.onceOn);
    m_ui->dailyEnableCheck->setChecked(watch.dailyOn);
    m_ui->mondayCheck->setChecked(watch.onMonday);
    m_ui->tuesdayCheck->setChecked(watch.onTuesday);
    m_ui->wednesdayCheck->setChecked(watch.onWednesday);
    m_ui->thursdayCheck->setChecked(watch.onThursday);
    m_ui->fridayCheck->setChecked(watch.onFriday);
    m_ui->saturdayCheck->setChecked(watch.onSaturday);
    m_ui->sundayCheck->setChecked(watch.onSunday);
    m_ui->messageEdit->setText(FromStored(watch.message));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CDateTimeWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CDateTimeWatchDialog::~CDateTimeWatchDialog() = default;

void CDateTimeWatchDialog::OnOk() {
    // A picker the user left alone keeps the stored value exactly as it was.
    const auto read = [](const QDateTimeEdit* picker, const CDateTime& stored) {
        return picker->dateTime() == editors::ToPicker(stored)
                   ? stored
                   : editors::FromPicker(picker->dateTime());
    };
    CDateTimeWatch& w = m_watch;
    w.name = ToStored(m_ui->nameEdit->text(), w.name);
    w.onceOn = m_ui->onceEnableCheck->isChecked();
    w.onceDate = read(m_ui->onceDateEdit, w.onceDate);
    w.onceTime = read(m_ui->onceTimeEdit, w.onceTime);
    w.dailyOn = m_ui->dailyEnableCheck->isChecked();
    w.dailyTime = read(m_ui->dailyTimeEdit, w.dailyTime);
    w.onMonday = m_ui->mondayCheck->isChecked();
    w.onTuesday = m_ui->tuesdayCheck->isChecked();
    w.onWednesday = m_ui->wednesdayCheck->isChecked();
    w.onThursday = m_ui->thursdayCheck->isChecked();
    w.onFriday = m_ui->fridayCheck->isChecked();
    w.onSaturday = m_ui->saturdayCheck->isChecked();
    w.onSunday = m_ui->sundayCheck->isChecked();
    w.message = ToStored(m_ui->messageEdit->text(), w.message);
    if (m_isNew) {
        w.lastCheck = CDateTime::Now();
    }
    accept();
}

} // namespace sentrel
