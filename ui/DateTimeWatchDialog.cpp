#include "ui/DateTimeWatchDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_DateTimeWatchDialog.h"

#include <QLocale>

namespace sentrel {

namespace {

// The locale's time form with seconds, without a time zone.
QString TimeFormatWithSeconds() {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    if (!format.contains(QLatin1Char('s'))) {
        format = QStringLiteral("HH:mm:ss");
    }
    return format;
}

} // namespace

CDateTimeWatchDialog::CDateTimeWatchDialog(const CDateTimeWatch* watch, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DateTimeWatchDialog>()) {
    m_ui->setupUi(this);
    // A window of its own, with its own taskbar button.
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);

    const QString timeFormat = TimeFormatWithSeconds();
    m_ui->onceDateEdit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_ui->onceTimeEdit->setDisplayFormat(timeFormat);
    m_ui->dailyTimeEdit->setDisplayFormat(timeFormat);
    for (QDateTimeEdit* picker : {m_ui->onceDateEdit, m_ui->onceTimeEdit, m_ui->dailyTimeEdit}) {
        picker->setTimeSpec(Qt::UTC); // wall-clock values; no zone to shift them
        picker->setMinimumDateTime(QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC));
        picker->setMaximumDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    }

    if (watch != nullptr) {
        m_values = *watch;
        Load(m_ui->onceDateEdit, m_values.onceDate);
        Load(m_ui->onceTimeEdit, m_values.onceTime);
        Load(m_ui->dailyTimeEdit, m_values.dailyTime);
    } else {
        // A new watch: every picker shows the moment the editor opened.
        m_values.onceDate = m_values.onceTime = m_values.dailyTime = CDateTime::Now();
        Load(m_ui->onceDateEdit, m_values.onceDate);
        Load(m_ui->onceTimeEdit, m_values.onceTime);
        Load(m_ui->dailyTimeEdit, m_values.dailyTime);
    }
    m_ui->nameEdit->setText(FromStored(m_values.name));
    m_ui->onceEnableCheck->setChecked(m_values.onceOn);
    m_ui->dailyEnableCheck->setChecked(m_values.dailyOn);
    m_ui->mondayCheck->setChecked(m_values.onMonday);
    m_ui->tuesdayCheck->setChecked(m_values.onTuesday);
    m_ui->wednesdayCheck->setChecked(m_values.onWednesday);
    m_ui->thursdayCheck->setChecked(m_values.onThursday);
    m_ui->fridayCheck->setChecked(m_values.onFriday);
    m_ui->saturdayCheck->setChecked(m_values.onSaturday);
    m_ui->sundayCheck->setChecked(m_values.onSunday);
    m_ui->messageEdit->setText(FromStored(m_values.message));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CDateTimeWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CDateTimeWatchDialog::~CDateTimeWatchDialog() = default;

void CDateTimeWatchDialog::Load(QDateTimeEdit* picker, const CDateTime& value) {
    picker->setDateTime(editors::ToPicker(value));
}

CDateTime CDateTimeWatchDialog::Read(const QDateTimeEdit* picker, const CDateTime& original) const {
    // A picker the user left alone keeps the stored value exactly as it was.
    if (picker->dateTime() == editors::ToPicker(original)) {
        return original;
    }
    return editors::FromPicker(picker->dateTime());
}

void CDateTimeWatchDialog::OnOk() {
    m_values.name = ToStored(m_ui->nameEdit->text(), m_values.name);
    m_values.onceOn = m_ui->onceEnableCheck->isChecked();
    m_values.onceDate = Read(m_ui->onceDateEdit, m_values.onceDate);
    m_values.onceTime = Read(m_ui->onceTimeEdit, m_values.onceTime);
    m_values.dailyOn = m_ui->dailyEnableCheck->isChecked();
    m_values.dailyTime = Read(m_ui->dailyTimeEdit, m_values.dailyTime);
    m_values.onMonday = m_ui->mondayCheck->isChecked();
    m_values.onTuesday = m_ui->tuesdayCheck->isChecked();
    m_values.onWednesday = m_ui->wednesdayCheck->isChecked();
    m_values.onThursday = m_ui->thursdayCheck->isChecked();
    m_values.onFriday = m_ui->fridayCheck->isChecked();
    m_values.onSaturday = m_ui->saturdayCheck->isChecked();
    m_values.onSunday = m_ui->sundayCheck->isChecked();
    m_values.message = ToStored(m_ui->messageEdit->text(), m_values.message);
    accept();
}

void CDateTimeWatchDialog::ApplyTo(CDateTimeWatch& watch) const {
    watch.name = m_values.name;
    watch.dailyTime = m_values.dailyTime;
    watch.dailyOn = m_values.dailyOn;
    watch.onceOn = m_values.onceOn;
    watch.onceDate = m_values.onceDate;
    watch.onceTime = m_values.onceTime;
    watch.onFriday = m_values.onFriday;
    watch.onMonday = m_values.onMonday;
    watch.onSaturday = m_values.onSaturday;
    watch.onSunday = m_values.onSunday;
    watch.onThursday = m_values.onThursday;
    watch.onTuesday = m_values.onTuesday;
    watch.onWednesday = m_values.onWednesday;
    watch.message = m_values.message;
}

std::unique_ptr<CDateTimeWatch> CDateTimeWatchDialog::CreateRecord() const {
    auto watch = std::make_unique<CDateTimeWatch>();
    ApplyTo(*watch);
    watch->lastCheck = CDateTime::Now();
    return watch;
}

} // namespace sentrel
