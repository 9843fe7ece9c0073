#include "ui/RunProgramAlertDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_RunProgramAlertDialog.h"

namespace sentrel {

CRunProgramAlertDialog::CRunProgramAlertDialog(const CRunProgramAlert* alert, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RunProgramAlertDialog>()) {
    m_ui->setupUi(this);
    if (alert != nullptr) {
        m_values = *alert;
    }
    m_ui->nameEdit->setText(FromStored(m_values.name));
    m_ui->programEdit->setText(FromStored(m_values.program));
    m_ui->argumentsEdit->setText(FromStored(m_values.arguments));

    connect(m_ui->browseButton, &QPushButton::clicked, this, &CRunProgramAlertDialog::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CRunProgramAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CRunProgramAlertDialog::~CRunProgramAlertDialog() = default;

void CRunProgramAlertDialog::OnBrowse() {
    // The path field only ever holds what the chooser returned.
    if (auto chosen = editors::ChooseFile(this, kFilter, m_values.program)) {
        m_values.program = *chosen;
        m_ui->programEdit->setText(FromStored(m_values.program));
    }
}

void CRunProgramAlertDialog::OnOk() {
    if (m_ui->nameEdit->text().isEmpty()) {
        editors::ShowMessage("Specify an alert name");
        m_ui->nameEdit->setFocus();
        return;
    }
    // The program is not checked: an alert without one can be kept.
    m_values.name = ToStored(m_ui->nameEdit->text(), m_values.name);
    m_values.arguments = ToStored(m_ui->argumentsEdit->text(), m_values.arguments);
    accept();
}

void CRunProgramAlertDialog::ApplyTo(CRunProgramAlert& alert) const {
    alert.name = m_values.name;
    alert.arguments = m_values.arguments;
    alert.program = m_values.program;
}

std::unique_ptr<CRunProgramAlert> CRunProgramAlertDialog::CreateRecord() const {
    auto alert = std::make_unique<CRunProgramAlert>();
    ApplyTo(*alert);
    return alert;
}

} // namespace sentrel
