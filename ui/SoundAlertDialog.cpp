#include "ui/SoundAlertDialog.h"

#include "platform/Platform.h"
#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_SoundAlertDialog.h"

namespace sentrel {

CSoundAlertDialog::CSoundAlertDialog(const CSoundAlert* alert, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SoundAlertDialog>()) {
    m_ui->setupUi(this);
    if (alert != nullptr) {
        m_values = *alert;
    }
    m_ui->nameEdit->setText(FromStored(m_values.name));
    m_ui->soundFileEdit->setText(FromStored(m_values.soundFile));

    connect(m_ui->browseButton, &QPushButton::clicked, this, &CSoundAlertDialog::OnBrowse);
    connect(m_ui->testButton, &QPushButton::clicked, this, &CSoundAlertDialog::OnTest);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CSoundAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CSoundAlertDialog::~CSoundAlertDialog() = default;

void CSoundAlertDialog::OnBrowse() {
    if (auto chosen = editors::ChooseFile(this, kFilter, m_values.soundFile)) {
        m_values.soundFile = *chosen;
        m_ui->soundFileEdit->setText(FromStored(m_values.soundFile));
    }
}

void CSoundAlertDialog::OnTest() {
    // The same call the alert makes: it returns when the sound has finished.
    Platform().sound->PlayFile(m_values.soundFile);
}

void CSoundAlertDialog::OnOk() {
    if (m_ui->nameEdit->text().isEmpty()) {
        editors::ShowMessage("Specify an alert name");
        m_ui->nameEdit->setFocus();
        return;
    }
    if (m_values.soundFile.empty()) {
        editors::ShowMessage("Specify an sound file");
        // The path field takes no input; its "..." button is where the user goes next.
        m_ui->browseButton->setFocus();
        return;
    }
    m_values.name = ToStored(m_ui->nameEdit->text(), m_values.name);
    accept();
}

void CSoundAlertDialog::ApplyTo(CSoundAlert& alert) const {
    alert.name = m_values.name;
    alert.soundFile = m_values.soundFile;
}

std::unique_ptr<CSoundAlert> CSoundAlertDialog::CreateRecord() const {
    auto alert = std::make_unique<CSoundAlert>();
    ApplyTo(*alert);
    return alert;
}

} // namespace sentrel
