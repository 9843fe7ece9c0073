#include "ui/WebPageWatchDialog.h"

#include "ui/TextCodec.h"
#include "ui_WebPageWatchDialog.h"

namespace sentrel {

CWebPageWatchDialog::CWebPageWatchDialog(CWebPageWatch& watch, CSentrelDoc& /*doc*/,
                                         QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WebPageWatchDialog>()), m_watch(watch) {
    m_ui->setupUi(this);
    const WebPageWatchValues values = watch.EditorValues();
    m_ui->nameEdit->setText(FromStored(values.name));
    m_ui->urlEdit->setText(FromStored(values.url));
    m_ui->userNameEdit->setText(FromStored(values.webUserName));
    m_ui->passwordEdit->setText(FromStored(values.webPassword));
    QRadioButton* modes[] = {m_ui->modeChangesRadio, m_ui->modeContainsRadio, m_ui->modeAbsentRadio,
                             m_ui->modeSpecificRadio};
    if (values.mode >= 0 && values.mode < 4) {
        modes[values.mode]->setChecked(true);
    }
    m_ui->changedMessageEdit->setText(FromStored(values.changedMessage));
    m_ui->containsTextEdit->setText(FromStored(values.containsText));
    m_ui->containsMessageEdit->setText(FromStored(values.containsMessage));
    m_ui->absentTextEdit->setText(FromStored(values.absentText));
    m_ui->absentMessageEdit->setText(FromStored(values.absentMessage));
    m_ui->textToWatchEdit->setPlainText(FromStored(values.textToWatch));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CWebPageWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CWebPageWatchDialog::~CWebPageWatchDialog() = default;

void CWebPageWatchDialog::OnOk() {
    const CWebPageWatch& w = m_watch;
    WebPageWatchValues typed;
    typed.name = ToStored(m_ui->nameEdit->text(), w.name);
    typed.url = ToStored(m_ui->urlEdit->text(), w.url);
    typed.webUserName = ToStored(m_ui->userNameEdit->text(), w.webUserName);
    typed.webPassword = ToStored(m_ui->passwordEdit->text(), w.webPassword);
    // A stored mode the buttons do not show stays as it is.
    typed.mode = w.mode;
    const QRadioButton* modes[] = {m_ui->modeChangesRadio, m_ui->modeContainsRadio,
                                   m_ui->modeAbsentRadio, m_ui->modeSpecificRadio};
    for (int mode = 0; mode < 4; ++mode) {
        if (modes[mode]->isChecked()) {
            typed.mode = mode;
        }
    }
    typed.changedMessage = ToStored(m_ui->changedMessageEdit->text(), w.changedMessage);
    typed.containsText = ToStored(m_ui->containsTextEdit->text(), w.containsText);
    typed.containsMessage = ToStored(m_ui->containsMessageEdit->text(), w.containsMessage);
    typed.absentText = ToStored(m_ui->absentTextEdit->text(), w.absentText);
    typed.absentMessage = ToStored(m_ui->absentMessageEdit->text(), w.absentMessage);
    typed.textToWatch = ToStored(m_ui->textToWatchEdit->toPlainText(), w.textToWatch);

    // The watch checks the values, fetches the page and reports problems itself. It does
    // so on a copy: a page fetched for a check that then fails must not become the watch's
    // baseline, or a cancelled editor would hide a change since the last check.
    CWebPageWatch edited = m_watch;
    if (edited.ApplyEditorValues(typed)) {
        m_watch = edited;
        accept();
        return;
    }
    if (typed.name.empty()) {
        m_ui->nameEdit->setFocus();
    } else if (typed.url.empty()) {
        m_ui->urlEdit->setFocus();
    } else if (typed.mode == 3) {
        m_ui->textToWatchEdit->setFocus();
    }
}

} // namespace sentrel
