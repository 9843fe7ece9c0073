#pragma once

// "Message Alert": the editor of an alert that shows its message in a popup (the editor
// contract of ui/KindEditors.h); "Test" opens a popup with a test message.

#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class MessageAlertDialog;
}

namespace sentrel {

class CMessageAlert;

class CMessageAlertDialog : public QDialog {
    Q_OBJECT

public:
    CMessageAlertDialog(CMessageAlert& alert, CSentrelDoc& doc, Editing editing,
                        QWidget* parent = nullptr);
    ~CMessageAlertDialog() override;

private:
    std::unique_ptr<CMessageAlert> Edited() const;
    void OnOk();

    std::unique_ptr<Ui::MessageAlertDialog> m_ui;
    CMessageAlert& m_alert;
};

} // namespace sentrel
