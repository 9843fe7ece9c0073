#include "ui/EditorSupport.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QStringDecoder>

#include <cmath>
#include <vector>

namespace sentrel::editors {

namespace {

// Windows-1252 in 0x80..0x9F; the undefined positions keep their Latin-1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString FromCp1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char c : bytes) {
        text.append(c >= 0x80 && c < 0xA0 ? QChar(kCp1252High[c - 0x80]) : QChar(c));
    }
    return text;
}

FileChooser::Answer& TestAnswer() {
    static FileChooser::Answer answer;
    return answer;
}

// Day number 0 is 1899-12-30.
const QDate kDayZero(1899, 12, 30);

} // namespace

QString ToQt(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    return FromCp1252(bytes);
}

std::string FromQt(const QString& shown, const std::string& original) {
    if (shown == ToQt(original)) {
        return original;
    }
    return shown.toStdString();
}

std::int32_t FlagFrom(bool checked, std::int32_t original) {
    if (checked) {
        return original != 0 ? original : 1;
    }
    return 0;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    Platform().messageBox->Show(text, caption, icon);
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
    item->setData(Qt::UserRole,
                  QByteArray(key.data(), static_cast<qsizetype>(key.size())));
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
    const double day = days >= 0 ? static_cast<double>(days) + fraction
                                 : static_cast<double>(days) - fraction;
    return CDateTime(CDateTime::Valid, day);
}

QDateTime LocalNowForPicker() {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(Platform().clock->Now(), Qt::LocalTime);
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

std::optional<std::string> FileChooser::ChooseExistingFile(QWidget* parent,
                                                           const std::string& filter) {
    if (TestAnswer()) {
        return TestAnswer()(filter);
    }
    // getOpenFileName only returns files that exist.
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), QString(),
                                                        ToQtFilter(filter));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen).toStdString();
}

void FileChooser::SetAnswer(Answer answer) { TestAnswer() = std::move(answer); }

QString FileChooser::ToQtFilter(const std::string& filter) {
    // "Description|patterns|Description|patterns||": the description already names the
    // patterns in brackets, which is where the Qt dialog reads them from.
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        QString description = parts[i];
        QString patterns = parts[i + 1];
#ifndef _WIN32
        // Here a file needs no extension to be any file, or to be a program.
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        patterns.replace(QStringLiteral("*.exe"), QStringLiteral("*"));
#endif
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0) {
            description = description.left(open).trimmed();
        }
        entries.append(QStringLiteral("%1 (%2)").arg(description, patterns.replace(';', ' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace sentrel::editors
