#include "ui/WebPageWatchDialog.h"

#include "services/NetworkServices.h"
#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_WebPageWatchDialog.h"
#include "watches/WebTextAnchor.h"

namespace sentrel {

CWebPageWatchDialog::CWebPageWatchDialog(CWebPageWatch& watch, CSentrelDoc& /*doc*/,
                                         Editing /*editing*/, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WebPageWatchDialog>()), m_watch(watch) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(FromStored(watch.name));
    m_ui->urlEdit->setText(FromStored(watch.url));
    m_ui->userNameEdit->setText(FromStored(watch.webUserName));
    m_ui->passwordEdit->setText(FromStored(watch.webPassword));
    QRadioButton* modes[] = {m_ui->modeChangesRadio, m_ui->modeContainsRadio, m_ui->modeAbsentRadio,
                             m_ui->modeSpecificRadio};
    if (watch.mode >= 0 && watch.mode < 4) {
        modes[watch.mode]->setChecked(true);
    }
    m_ui->changedMessageEdit->setText(FromStored(watch.changedMessage));
    m_ui->containsTextEdit->setText(FromStored(watch.containsText));
    m_ui->containsMessageEdit->setText(FromStored(watch.containsMessage));
    m_ui->absentTextEdit->setText(FromStored(watch.absentText));
    m_ui->absentMessageEdit->setText(FromStored(watch.absentMessage));
    m_ui->textToWatchEdit->setPlainText(FromStored(watch.textToWatch));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CWebPageWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CWebPageWatchDialog::~CWebPageWatchDialog() = default;

void CWebPageWatchDialog::OnOk() {
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Enter a Name for this Watch"),
                           editors::Filled(m_ui->urlEdit, "Enter a web address")})) {
        return;
    }
    // Worked out on a copy: a page fetched for a check that then fails must not become the
    // watch's baseline, or a cancelled editor would hide a change since the last check.
    CWebPageWatch edited = m_watch;
    edited.name = ToStored(m_ui->nameEdit->text(), edited.name);
    edited.url = ToStored(m_ui->urlEdit->text(), edited.url);
    edited.webUserName = ToStored(m_ui->userNameEdit->text(), edited.webUserName);
    edited.webPassword = ToStored(m_ui->passwordEdit->text(), edited.webPassword);
    // A stored mode the buttons do not show stays as it is.
    const QRadioButton* modes[] = {m_ui->modeChangesRadio, m_ui->modeContainsRadio,
                                   m_ui->modeAbsentRadio, m_ui->modeSpecificRadio};
    for (int mode = 0; mode < 4; ++mode) {
        if (modes[mode]->isChecked()) {
            edited.mode = mode;
        }
    }
    edited.changedMessage = ToStored(m_ui->changedMessageEdit->text(), edited.changedMessage);
    edited.containsText = ToStored(m_ui->containsTextEdit->text(), edited.containsText);
    edited.containsMessage = ToStored(m_ui->containsMessageEdit->text(), edited.containsMessage);
    edited.absentText = ToStored(m_ui->absentTextEdit->text(), edited.absentText);
    edited.absentMessage = ToStored(m_ui->absentMessageEdit->text(), edited.absentMessage);
    edited.textToWatch = ToStored(m_ui->textToWatchEdit->toPlainText(), edited.textToWatch);

    IAlertPopup& popup = *Platform().alertPopup;
    const int wait = popup.Open("Fetching web page... Please wait...");
    RequestConnection();
    // A failed fetch may hand back part of a page: the reference is only ever a whole one.
    std::string page;
    std::string resultText;
    const bool fetched = FetchWatchedPage("Web Page Watch Dialog", edited.url, edited.webUserName,
                                          edited.webPassword, page, resultText);
    popup.Close(wait);
    if (!fetched) {
        editors::ShowMessage("Unable to fetch web page.\n" + resultText);
        m_ui->urlEdit->setFocus();
        return;
    }
    if (edited.mode == 3) {
        // The page is its own new page here: the text must be found, and found once, now.
        std::string latest;
        const int found = ExtractWatchedText(edited.textToWatch, page, page, latest);
        const char* problem =
            found == kAnchorNotUnique       ? "The text to watch is not unique in the web page"
            : found == kAnchorNotFound      ? "The text and/or web page is too complex to analyse"
            : found == kAnchorNoWatchedText ? "Please enter text to watch"
                                            : nullptr;
        if (problem) {
            editors::ShowMessage(problem);
            m_ui->textToWatchEdit->setFocus();
            return;
        }
    }
    edited.referencePage = page;
    edited.lastPage = std::move(page);
    m_watch = edited;
    accept();
}

} // namespace sentrel
