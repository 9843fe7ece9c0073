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
    editors::MakeTestButton(m_ui->testButton, m_ui->testResultLabel, [this] { return Edited(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &CMessageAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CMessageAlertDialog::~CMessageAlertDialog() = default;

std::unique_ptr<CMessageAlert> CMessageAlertDialog::Edited() const {
    auto edited = std::make_unique<CMessageAlert>(m_alert);
    edited->name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    return edited;
}

void CMessageAlertDialog::OnOk() {
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name")})) {
        return;
    }
    m_alert = *Edited();
    accept();
}

} // namespace sentrel
