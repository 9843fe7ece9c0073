#pragma once

#include "alerts/EmailAlert.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class EmailAlertDialog;
}

namespace sentrel {

// "Email Alert" (the editor contract of ui/KindEditors.h); "Test" sends a test message
// with the values shown.
class CEmailAlertDialog : public QDialog {
    Q_OBJECT

public:
    CEmailAlertDialog(CEmailAlert& alert, CSentrelDoc& doc, Editing editing,
                      QWidget* parent = nullptr);
    ~CEmailAlertDialog() override;

private:
    void UpdateCredentials();
    // The alert with the values shown; null, after saying why, when a number is not one.
    std::unique_ptr<CEmailAlert> Edited();
    void OnOk();

    std::unique_ptr<Ui::EmailAlertDialog> m_ui;
    CEmailAlert& m_alert;
};

} // namespace sentrel
