#pragma once

#include "alerts/RunProgramAlert.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class RunProgramAlertDialog;
}

namespace sentrel {

// "Run Program Alert" (the editor contract of ui/KindEditors.h); "Test" starts the program
// as the alert would.
class CRunProgramAlertDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "Program files (*.exe)|*.exe||";

    CRunProgramAlertDialog(CRunProgramAlert& alert, CSentrelDoc& doc, Editing editing,
                           QWidget* parent = nullptr);
    ~CRunProgramAlertDialog() override;

private:
    void OnBrowse();
    std::unique_ptr<CRunProgramAlert> Edited() const;
    void OnOk();

    std::unique_ptr<Ui::RunProgramAlertDialog> m_ui;
    CRunProgramAlert& m_alert;
    std::string m_program; // as the chooser gave it
};

} // namespace sentrel
