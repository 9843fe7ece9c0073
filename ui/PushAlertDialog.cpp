#include "ui/PushAlertDialog.h"

#include "ui/TextCodec.h"
#include "ui_PushAlertDialog.h"

namespace sentrel {

CPushAlertDialog::CPushAlertDialog(CPushAlert& alert, CSentrelDoc& /*doc*/, Editing /*editing*/,
                                   QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PushAlertDialog>()), m_alert(alert) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(FromStored(alert.name));
    m_ui->addressEdit->setText(FromStored(alert.url));
    m_ui->titleEdit->setText(FromStored(alert.title));

    editors::MakeTestButton(m_ui->testButton, m_ui->testResultLabel, [this] { return Edited(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &CPushAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CPushAlertDialog::~CPushAlertDialog() = default;

std::unique_ptr<CPushAlert> CPushAlertDialog::Edited() const {
    auto edited = std::make_unique<CPushAlert>(m_alert);
    edited->name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    edited->url = ToStored(m_ui->addressEdit->text(), m_alert.url);
    edited->title = ToStored(m_ui->titleEdit->text(), m_alert.title);
    return edited;
}

void CPushAlertDialog::OnOk() {
    const std::unique_ptr<CPushAlert> edited = Edited();
    const std::string problem = edited->AddressProblem();
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name"),
                           editors::Filled(m_ui->addressEdit, "Specify an address"),
                           {!problem.empty(), m_ui->addressEdit, problem.c_str()}})) {
        return;
    }
    m_alert = *edited;
    accept();
}

} // namespace sentrel
