#pragma once

#include "watches/POPWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class POPWatchDialog;
}

namespace sentrel {

// "POP Watch": edits a copy of the watch's fields; the caller copies them back on OK.
class CPOPWatchDialog : public QDialog {
    Q_OBJECT

public:
    explicit CPOPWatchDialog(const CPOPWatch* watch, QWidget* parent = nullptr);
    ~CPOPWatchDialog() override;

    // Copies every edited field into `watch`; the identifiers it has seen stay.
    void ApplyTo(CPOPWatch& watch) const;
    std::unique_ptr<CPOPWatch> CreateRecord() const;

private:
    void OnOk();

    std::unique_ptr<Ui::POPWatchDialog> m_ui;
    CPOPWatch m_values;
};

} // namespace sentrel
