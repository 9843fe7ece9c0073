#pragma once

#include "alerts/ClickatellAlert.h"

#include "model/SentrelDoc.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ClickatellAlertDialog;
}

namespace sentrel {

// "Clickatell Alert (SMS)": edits the alert itself; nothing is written to it before every
// check on OK has passed.
class CClickatellAlertDialog : public QDialog {
    Q_OBJECT

public:
    // An alert without a name is new and opens with the defaults of a new alert.
    CClickatellAlertDialog(CClickatellAlert& alert, CSentrelDoc& doc, QWidget* parent = nullptr);
    ~CClickatellAlertDialog() override;

private:
    void OnOk();

    std::unique_ptr<Ui::ClickatellAlertDialog> m_ui;
    CClickatellAlert& m_alert;
};

} // namespace sentrel
