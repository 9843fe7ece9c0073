#include "ui/EditorSupport.h"

#include "engine/Engine.h"
#include "model/Alert.h"
#include "ui/FileChooser.h"
#include "ui/TextCodec.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sentrel::editors {

namespace {

// Day number 0 is 1899-12-30.
const QDate kDayZero(1899, 12, 30);

// The hosts lent to the editors, the last lent at the back. Touched on the UI thread only.
std::vector<IEngineHost*>& LentHosts() {
    static std::vector<IEngineHost*> hosts;
    return hosts;
}

} // namespace

std::int32_t FlagFrom(bool checked, std::int32_t original) {
    if (checked) {
        return original != 0 ? original : 1;
    }
    return 0;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    Platform().messageBox->Show(text, caption, icon);
}

Requirement Filled(QLineEdit* edit, const char* message) {
    return {edit->text().isEmpty(), edit, message};
}

bool Require(std::initializer_list<Requirement> checks) {
    for (const Requirement& check : checks) {
        if (check.failed) {
            ShowMessage(check.message, check.caption);
            check.focus->setFocus();
            return false;
        }
    }
    return true;
}

std::optional<std::int64_t> ReadNumber(QLineEdit* edit, std::int64_t low, std::int64_t high) {
    bool ok = false;
    const qlonglong value = edit->text().trimmed().toLongLong(&ok);
    if (!ok) {
        ShowMessage("Please enter an integer.");
        edit->setFocus();
        edit->selectAll();
        return std::nullopt;
    }
    if (value < low || value > high) {
        ShowMessage(QStringLiteral("Please enter an integer between %1 and %2.")
                        .arg(low)
                        .arg(high)
                        .toStdString());
        edit->setFocus();
        edit->selectAll();
        return std::nullopt;
    }
    return value;
}

QListWidgetItem* AddSorted(QListWidget* list, const QString& text, const std::string& key) {
    int row = 0;
    // After every entry that sorts before it or equal to it, so equal names keep the
    // order in which they were added.
    while (row < list->count() &&
           QString::compare(list->item(row)->text(), text, Qt::CaseInsensitive) <= 0) {
        ++row;
    }
    auto* item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, QByteArray(key.data(), static_cast<qsizetype>(key.size())));
    list->insertItem(row, item);
    return item;
}

std::string EntryKey(const QListWidgetItem* item) {
    return item->data(Qt::UserRole).toByteArray().toStdString();
}

QDateTime ToPicker(const CDateTime& value) {
    const double day = value.GetDayNumber();
    if (!value.IsValid() || !std::isfinite(day) || std::fabs(day) > 3.0e6) {
        return QDateTime(kDayZero, QTime(0, 0), Qt::UTC);
    }
    // The whole part counts days towards zero; the fraction is the time of day whatever
    // the sign (-1.25 is 1899-12-29 06:00).
    double whole = std::trunc(day);
    auto seconds = static_cast<qint64>(std::llround(std::fabs(day - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += day < 0 ? -1 : 1;
    }
    const QDate date = kDayZero.addDays(static_cast<qint64>(whole));
    return QDateTime(date, QTime(0, 0).addSecs(static_cast<int>(seconds)), Qt::UTC);
}

CDateTime FromPicker(const QDateTime& value) {
    const qint64 days = kDayZero.daysTo(value.date());
    const double fraction = value.time().msecsSinceStartOfDay() / 1000 / 86400.0;
    const double day =
        days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return CDateTime(CDateTime::Valid, day);
}

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

void LimitPicker(QDateTimeEdit* picker) {
    picker->setTimeSpec(Qt::UTC); // wall-clock values; no zone to shift them
    picker->setMinimumDateTime(QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC));
    picker->setMaximumDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC));
}

} // namespace

void MakeDatePicker(QDateTimeEdit* picker) {
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    picker->setCalendarPopup(true);
    LimitPicker(picker);
}

void MakeTimePicker(QDateTimeEdit* picker) {
    picker->setDisplayFormat(TimeFormatWithSeconds());
    LimitPicker(picker);
}

std::optional<std::string> ChooseFile(QWidget* parent, const char* filter,
                                      const std::string& current) {
    const std::optional<QString> chosen =
        CFileChooser::OpenFile(parent, filter, QFile::decodeName(current.c_str()));
    if (!chosen || chosen->isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(*chosen).toStdString();
}

IEngineHost* Worker() {
    const std::vector<IEngineHost*>& hosts = LentHosts();
    return hosts.empty() ? nullptr : hosts.back();
}

WorkerLoan::WorkerLoan(IEngineHost& host) : m_host(host) {
    LentHosts().push_back(&m_host);
}

WorkerLoan::~WorkerLoan() {
    std::vector<IEngineHost*>& hosts = LentHosts();
    hosts.erase(std::find(hosts.begin(), hosts.end(), &m_host));
}

void MakeTestButton(QAbstractButton* button, QLabel* result,
                    std::function<std::unique_ptr<CAlert>()> edited) {
    button->setEnabled(Worker() != nullptr);
    QObject::connect(button, &QAbstractButton::clicked, result, [button, result, edited] {
        IEngineHost* worker = Worker();
        std::shared_ptr<CAlert> alert = worker ? edited() : nullptr;
        if (!alert) {
            return;
        }
        // One test at a time; the editor may close before it ends.
        button->setEnabled(false);
        result->setText(QStringLiteral("Sending..."));
        auto delivered = std::make_shared<bool>(false);
        worker->RunOnWorker([alert, delivered] { *delivered = alert->Send(kTestMessage); },
                            [alert, delivered, again = QPointer<QAbstractButton>(button),
                             shown = QPointer<QLabel>(result)] {
                                if (shown) {
                                    shown->setText(*delivered ? QStringLiteral("Delivered")
                                                              : FromStored(alert->FailureText()));
                                }
                                if (again) {
                                    again->setEnabled(true);
                                }
                            });
    });
}

} // namespace sentrel::editors
