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

// "Clickatell Alert (SMS)" (the editor contract of ui/KindEditors.h).
class CClickatellAlertDialog : public QDialog {
    Q_OBJECT

public:
    CClickatellAlertDialog(CClickatellAlert& alert, CSentrelDoc& doc, Editing editing,
                           QWidget* parent = nullptr);
    ~CClickatellAlertDialog() override;

private:
    void OnOk();

    std::unique_ptr<Ui::ClickatellAlertDialog> m_ui;
    CClickatellAlert& m_alert;
};

} // namespace sentrel
