#pragma once

#include "alerts/RunProgramAlert.h"

#include <QDialog>

#include <memory>

namespace Ui {
class RunProgramAlertDialog;
}

namespace sentrel {

// "Run Program Alert": edits a copy of the alert's fields; the caller copies them back
// on OK.
class CRunProgramAlertDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "Program files (*.exe)|*.exe||";

    explicit CRunProgramAlertDialog(const CRunProgramAlert* alert, QWidget* parent = nullptr);
    ~CRunProgramAlertDialog() override;

    void ApplyTo(CRunProgramAlert& alert) const;
    std::unique_ptr<CRunProgramAlert> CreateRecord() const;

private:
    void OnBrowse();
    void OnOk();

    std::unique_ptr<Ui::RunProgramAlertDialog> m_ui;
    CRunProgramAlert m_values;
};

} // namespace sentrel
