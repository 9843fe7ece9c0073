#include "ui/RunProgramAlertDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_RunProgramAlertDialog.h"

namespace sentrel {

CRunProgramAlertDialog::CRunProgramAlertDialog(CRunProgramAlert& alert, CSentrelDoc& /*doc*/,
                                               Editing /*editing*/, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RunProgramAlertDialog>()), m_alert(alert),
      m_program(alert.program) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(FromStored(alert.name));
    m_ui->programEdit->setText(FromStored(m_program));
    m_ui->argumentsEdit->setText(FromStored(alert.arguments));

    connect(m_ui->browseButton, &QPushButton::clicked, this, &CRunProgramAlertDialog::OnBrowse);
    editors::MakeTestButton(m_ui->testButton, m_ui->testResultLabel, [this] { return Edited(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &CRunProgramAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CRunProgramAlertDialog::~CRunProgramAlertDialog() = default;

void CRunProgramAlertDialog::OnBrowse() {
    // The path field only ever holds what the chooser returned.
    if (auto chosen = editors::ChooseFile(this, kFilter, m_program)) {
        m_program = *chosen;
        m_ui->programEdit->setText(FromStored(m_program));
    }
}

std::unique_ptr<CRunProgramAlert> CRunProgramAlertDialog::Edited() const {
    auto edited = std::make_unique<CRunProgramAlert>(m_alert);
    edited->name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    edited->arguments = ToStored(m_ui->argumentsEdit->text(), m_alert.arguments);
    edited->program = m_program;
    return edited;
}

void CRunProgramAlertDialog::OnOk() {
    // The program is not checked: an alert without one can be kept.
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name")})) {
        return;
    }
    m_alert = *Edited();
    accept();
}

} // namespace sentrel
