#include "ui/MessageAlertDialog.h"

#include "alerts/MessageAlert.h"
#include "ui/TextCodec.h"
#include "ui_MessageAlertDialog.h"

namespace sentrel {

CMessageAlertDialog::CMessageAlertDialog(CMessageAlert& alert, CSentrelDoc& /*doc*/,
                                         Editing /*editing*/, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::MessageAlertDialog>()), m_alert(alert) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(FromStored(alert.name));
    connect(m_ui->okButton, &QPushButton::clicked, this, &CMessageAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CMessageAlertDialog::~CMessageAlertDialog() = default;

void CMessageAlertDialog::OnOk() {
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name")})) {
        return;
    }
    m_alert.name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    accept();
}

} // namespace sentrel
