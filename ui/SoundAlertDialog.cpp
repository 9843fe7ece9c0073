#include "ui/SoundAlertDialog.h"

#include "platform/Platform.h"
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
    connect(m_ui->testButton, &QPushButton::clicked, this, &CSoundAlertDialog::OnTest);
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

void CSoundAlertDialog::OnTest() {
    // The same call the alert makes: it returns when the sound has finished.
    Platform().sound->PlayFile(m_soundFile);
}

void CSoundAlertDialog::OnOk() {
    // The path field takes no input; its "..." button is where the user goes to mend it.
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name"),
                           {m_soundFile.empty(), m_ui->browseButton, "Specify an sound file"}})) {
        return;
    }
    m_alert.name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    m_alert.soundFile = m_soundFile;
    accept();
}

} // namespace sentrel
