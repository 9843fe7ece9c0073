#pragma once

#include "watches/DateTimeWatch.h"

#include <QDateTime>
#include <QDialog>

#include <memory>

class QDateTimeEdit;

namespace Ui {
class DateTimeWatchDialog;
}

namespace sentrel {

// "Date/Time Watch": edits a copy of the watch's fields; the caller copies them back on
// OK. It checks nothing: every combination of values is a watch, if one that never fires.
class CDateTimeWatchDialog : public QDialog {
    Q_OBJECT

public:
    explicit CDateTimeWatchDialog(const CDateTimeWatch* watch, QWidget* parent = nullptr);
    ~CDateTimeWatchDialog() override;

    // Copies every edited field into `watch`; the time of its last check stays.
    void ApplyTo(CDateTimeWatch& watch) const;
    // A new watch holding the edited fields, last checked now, so that moments already
    // past never fire.
    std::unique_ptr<CDateTimeWatch> CreateRecord() const;

private:
    void OnOk();
    void Load(QDateTimeEdit* picker, const CDateTime& value);
    CDateTime Read(const QDateTimeEdit* picker, const CDateTime& original) const;

    std::unique_ptr<Ui::DateTimeWatchDialog> m_ui;
    CDateTimeWatch m_values;
};

} // namespace sentrel
