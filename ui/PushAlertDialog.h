#pragma once

#include "alerts/PushAlert.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PushAlertDialog;
}

namespace sentrel {

// "Push Alert" (the editor contract of ui/KindEditors.h): the name, the service's address
// with a list of the forms it takes, and the title; "Test" sends a test message with
// them. OK takes only an address that names a service and has all its parts.
class CPushAlertDialog : public QDialog {
    Q_OBJECT

public:
    CPushAlertDialog(CPushAlert& alert, CSentrelDoc& doc, Editing editing,
                     QWidget* parent = nullptr);
    ~CPushAlertDialog() override;

private:
    std::unique_ptr<CPushAlert> Edited() const;
    void OnOk();

    std::unique_ptr<Ui::PushAlertDialog> m_ui;
    CPushAlert& m_alert;
};

} // namespace sentrel
