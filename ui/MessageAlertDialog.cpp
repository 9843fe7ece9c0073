#include "ui/MessageAlertDialog.h"

#include "alerts/MessageAlert.h"
#include "platform/Platform.h"
#include "ui/TextCodec.h"
#include "ui_MessageAlertDialog.h"

namespace sentrel {

CMessageAlertDialog::CMessageAlertDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::MessageAlertDialog>()) {
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CMessageAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CMessageAlertDialog::~CMessageAlertDialog() = default;

void CMessageAlertDialog::Load(const CMessageAlert& alert) {
    m_name = alert.name;
    m_ui->nameEdit->setText(FromStored(alert.name));
}

void CMessageAlertDialog::Store(CMessageAlert& alert) const {
    alert.name = ToStored(m_ui->nameEdit->text(), m_name);
}

void CMessageAlertDialog::OnOk() {
    if (m_ui->nameEdit->text().isEmpty()) {
        Platform().messageBox->Show("Specify an alert name", "Sentrel", MessageIcon::None);
        m_ui->nameEdit->setFocus();
        return;
    }
    accept();
}

} // namespace sentrel
