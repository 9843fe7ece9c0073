#pragma once

#include "alerts/EmailAlert.h"

#include "model/SentrelDoc.h"

#include <QDialog>

#include <memory>

namespace Ui {
class EmailAlertDialog;
}

namespace sentrel {

// "Email Alert": edits the alert itself; nothing is written to it before every check on
// OK has passed.
class CEmailAlertDialog : public QDialog {
    Q_OBJECT

public:
    // An alert without a name is new and opens with the defaults of a new alert.
    CEmailAlertDialog(CEmailAlert& alert, CSentrelDoc& doc, QWidget* parent = nullptr);
    ~CEmailAlertDialog() override;

private:
    void UpdateCredentials();
    void OnOk();

    std::unique_ptr<Ui::EmailAlertDialog> m_ui;
    CEmailAlert& m_alert;
};

} // namespace sentrel
