#include "ui/FileWatchDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_FileWatchDialog.h"

namespace sentrel {

namespace {

constexpr const char* kUnableToOpen = "Unable to open the file";

} // namespace

CFileWatchDialog::CFileWatchDialog(CFileWatch& watch, CSentrelDoc& /*doc*/, Editing /*editing*/,
                                   QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FileWatchDialog>()), m_watch(watch),
      m_fileName(watch.fileName) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(FromStored(watch.name));
    m_ui->fileNameEdit->setText(FromStored(m_fileName));
    m_ui->containsEdit->setText(FromStored(watch.containsText));
    m_ui->notContainsEdit->setText(FromStored(watch.notContainsText));
    m_ui->messageEdit->setText(FromStored(watch.message));
    // A stored mode the dialog does not know leaves every button clear.
    m_modes[0] = m_ui->modeDateRadio;
    m_modes[1] = m_ui->modeContentsRadio;
    m_modes[2] = m_ui->modeContainsRadio;
    m_modes[3] = m_ui->modeNotContainsRadio;
    if (watch.watchMode >= 0 && watch.watchMode < 4) {
        m_modes[watch.watchMode]->setChecked(true);
    }
    (watch.messageSource == 0 ? m_ui->sourceFileRadio : m_ui->sourceMessageRadio)->setChecked(true);

    connect(m_ui->browseButton, &QPushButton::clicked, this, &CFileWatchDialog::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CFileWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CFileWatchDialog::~CFileWatchDialog() = default;

void CFileWatchDialog::OnBrowse() {
    if (auto chosen = editors::ChooseFile(this, kFilter, m_fileName)) {
        m_fileName = *chosen;
        m_ui->fileNameEdit->setText(FromStored(m_fileName));
    }
}

void CFileWatchDialog::OnOk() {
    std::string text;
    std::int64_t modified = 0;
    // The baseline is taken exactly as the watch reads the file.
    const bool readable =
        !m_fileName.empty() && ReadWatchedFile(m_fileName, text, modified) == FileReadResult::Ok;
    if (!editors::Require({{!readable, m_ui->browseButton, kUnableToOpen},
                           editors::Filled(m_ui->nameEdit, "Specify a watch name")})) {
        return;
    }
    CFileWatch& w = m_watch;
    w.lastContents = std::move(text);
    w.lastModified = modified;
    w.fileName = m_fileName;
    w.name = ToStored(m_ui->nameEdit->text(), w.name);
    w.containsText = ToStored(m_ui->containsEdit->text(), w.containsText);
    w.notContainsText = ToStored(m_ui->notContainsEdit->text(), w.notContainsText);
    w.message = ToStored(m_ui->messageEdit->text(), w.message);
    for (int mode = 0; mode < 4; ++mode) {
        if (m_modes[mode]->isChecked()) {
            w.watchMode = mode;
        }
    }
    if (m_ui->sourceFileRadio->isChecked()) {
        w.messageSource = 0;
    } else if (w.messageSource == 0) {
        w.messageSource = 1;
    }
    accept();
}

} // namespace sentrel
