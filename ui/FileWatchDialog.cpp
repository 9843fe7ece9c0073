#include "ui/FileWatchDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_FileWatchDialog.h"

namespace sentrel {

namespace {

constexpr const char* kUnableToOpen = "Unable to open the file";

} // namespace

CFileWatchDialog::CFileWatchDialog(const CFileWatch* watch, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FileWatchDialog>()) {
    m_ui->setupUi(this);
    if (watch != nullptr) {
        m_values = *watch;
    }
    m_ui->nameEdit->setText(FromStored(m_values.name));
    m_ui->fileNameEdit->setText(FromStored(m_values.fileName));
    m_ui->containsEdit->setText(FromStored(m_values.containsText));
    m_ui->notContainsEdit->setText(FromStored(m_values.notContainsText));
    m_ui->messageEdit->setText(FromStored(m_values.message));
    // A stored mode the dialog does not know leaves every button clear.
    QRadioButton* modes[] = {m_ui->modeDateRadio, m_ui->modeContentsRadio, m_ui->modeContainsRadio,
                             m_ui->modeNotContainsRadio};
    if (m_values.watchMode >= 0 && m_values.watchMode < 4) {
        modes[m_values.watchMode]->setChecked(true);
    }
    (m_values.messageSource == 0 ? m_ui->sourceFileRadio : m_ui->sourceMessageRadio)
        ->setChecked(true);

    connect(m_ui->browseButton, &QPushButton::clicked, this, &CFileWatchDialog::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CFileWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CFileWatchDialog::~CFileWatchDialog() = default;

void CFileWatchDialog::OnBrowse() {
    if (auto chosen = editors::ChooseFile(this, kFilter, m_values.fileName)) {
        m_values.fileName = *chosen;
        m_ui->fileNameEdit->setText(FromStored(m_values.fileName));
    }
}

void CFileWatchDialog::OnOk() {
    std::string text;
    std::int64_t modified = 0;
    // The baseline is taken exactly as the watch reads the file.
    if (m_values.fileName.empty() ||
        ReadWatchedFile(m_values.fileName, text, modified) != FileReadResult::Ok) {
        editors::ShowMessage(kUnableToOpen);
        return;
    }
    if (m_ui->nameEdit->text().isEmpty()) {
        editors::ShowMessage("Specify a watch name");
        m_ui->nameEdit->setFocus();
        return;
    }
    m_values.lastContents = std::move(text);
    m_values.lastModified = modified;
    m_values.name = ToStored(m_ui->nameEdit->text(), m_values.name);
    m_values.containsText = ToStored(m_ui->containsEdit->text(), m_values.containsText);
    m_values.notContainsText = ToStored(m_ui->notContainsEdit->text(), m_values.notContainsText);
    m_values.message = ToStored(m_ui->messageEdit->text(), m_values.message);
    const QRadioButton* modes[] = {m_ui->modeDateRadio, m_ui->modeContentsRadio,
                                   m_ui->modeContainsRadio, m_ui->modeNotContainsRadio};
    for (int mode = 0; mode < 4; ++mode) {
        if (modes[mode]->isChecked()) {
            m_values.watchMode = mode;
        }
    }
    if (m_ui->sourceFileRadio->isChecked()) {
        m_values.messageSource = 0;
    } else if (m_values.messageSource == 0) {
        m_values.messageSource = 1;
    }
    accept();
}

void CFileWatchDialog::ApplyTo(CFileWatch& watch) const {
    watch.name = m_values.name;
    watch.containsText = m_values.containsText;
    watch.notContainsText = m_values.notContainsText;
    watch.fileName = m_values.fileName;
    watch.message = m_values.message;
    watch.messageSource = m_values.messageSource;
    watch.watchMode = m_values.watchMode;
    watch.lastContents = m_values.lastContents;
    watch.lastModified = m_values.lastModified;
}

std::unique_ptr<CFileWatch> CFileWatchDialog::CreateRecord() const {
    auto watch = std::make_unique<CFileWatch>();
    ApplyTo(*watch);
    return watch;
}

} // namespace sentrel
