#pragma once

// "Message Alert": the editor of an alert that shows its message in a popup. It works on
// copies of the record's fields: Load fills it, Store writes back what OK accepted.

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class MessageAlertDialog;
}

namespace sentrel {

class CMessageAlert;

class CMessageAlertDialog : public QDialog {
    Q_OBJECT

public:
    explicit CMessageAlertDialog(QWidget* parent = nullptr);
    ~CMessageAlertDialog() override;

    void Load(const CMessageAlert& alert);
    void Store(CMessageAlert& alert) const;

private:
    void OnOk();

    std::unique_ptr<Ui::MessageAlertDialog> m_ui;
    std::string m_name; // as stored, written back unchanged when the text is
};

} // namespace sentrel
