#include "ui/SoundAlertDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_SoundAlertDialog.h"

namespace sentrel {

CSoundAlertDialog::CSoundAlertDialog(CSoundAlert& alert, CSentrelDoc& /*doc*/, Editing /*editing*/,
                                     QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SoundAlertDialog>()), m_alert(alert),
      m_soundFile(alert.soundFile) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(FromStored(alert.name));
    m_ui->soundFileEdit->setText(FromStored(m_soundFile));

    connect(m_ui->browseButton, &QPushButton::clicked, this, &CSoundAlertDialog::OnBrowse);
    editors::MakeTestButton(m_ui->testButton, m_ui->testResultLabel, [this] { return Edited(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &CSoundAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CSoundAlertDialog::~CSoundAlertDialog() = default;

void CSoundAlertDialog::OnBrowse() {
    if (auto chosen = editors::ChooseFile(this, kFilter, m_soundFile)) {
        m_soundFile = *chosen;
        m_ui->soundFileEdit->setText(FromStored(m_soundFile));
    }
}

std::unique_ptr<CSoundAlert> CSoundAlertDialog::Edited() const {
    auto edited = std::make_unique<CSoundAlert>(m_alert);
    edited->name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    edited->soundFile = m_soundFile;
    return edited;
}

void CSoundAlertDialog::OnOk() {
    // The path field takes no input; its "..." button is where the user goes to mend it.
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name"),
                           {m_soundFile.empty(), m_ui->browseButton, "Specify an sound file"}})) {
        return;
    }
    m_alert = *Edited();
    accept();
}

} // namespace sentrel
