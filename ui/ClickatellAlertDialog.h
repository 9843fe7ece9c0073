#pragma once

#include "alerts/ClickatellAlert.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ClickatellAlertDialog;
}

namespace sentrel {

// "Clickatell Alert (SMS)" (the editor contract of ui/KindEditors.h); "Test" sends a test
// message with the values shown.
class CClickatellAlertDialog : public QDialog {
    Q_OBJECT

public:
    CClickatellAlertDialog(CClickatellAlert& alert, CSentrelDoc& doc, Editing editing,
                           QWidget* parent = nullptr);
    ~CClickatellAlertDialog() override;

private:
    // The alert with the values shown; null, after saying why, when the number is not one.
    std::unique_ptr<CClickatellAlert> Edited();
    void OnOk();

    std::unique_ptr<Ui::ClickatellAlertDialog> m_ui;
    CClickatellAlert& m_alert;
};

} // namespace sentrel
