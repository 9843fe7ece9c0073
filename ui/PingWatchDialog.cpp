#include "ui/PingWatchDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_PingWatchDialog.h"

namespace sentrel {

CPingWatchDialog::CPingWatchDialog(CPINGWatch& watch, CSentrelDoc& /*doc*/, Editing editing,
                                   QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PingWatchDialog>()), m_watch(watch) {
    m_ui->setupUi(this);
    CPINGWatch shown = watch;
    if (editing == Editing::New) {
        shown.hostName = kDefaultHost;
        shown.packetSizeText = "32";
        shown.timeToLiveText = "10";
        shown.timeoutText = "5000";
    }
    m_ui->nameEdit->setText(FromStored(shown.name));
    m_ui->hostEdit->setText(FromStored(shown.hostName));
    m_ui->timeoutEdit->setText(FromStored(shown.timeoutText));
    m_ui->ttlEdit->setText(FromStored(shown.timeToLiveText));
    m_ui->packetSizeEdit->setText(FromStored(shown.packetSizeText));
    m_ui->failureMessageEdit->setText(FromStored(shown.failureMessage));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CPingWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CPingWatchDialog::~CPingWatchDialog() = default;

void CPingWatchDialog::OnOk() {
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify a watch name")})) {
        return;
    }
    CPINGWatch& w = m_watch;
    w.name = ToStored(m_ui->nameEdit->text(), w.name);
    w.hostName = ToStored(m_ui->hostEdit->text(), w.hostName);
    w.timeoutText = ToStored(m_ui->timeoutEdit->text(), w.timeoutText);
    w.timeToLiveText = ToStored(m_ui->ttlEdit->text(), w.timeToLiveText);
    w.packetSizeText = ToStored(m_ui->packetSizeEdit->text(), w.packetSizeText);
    w.failureMessage = ToStored(m_ui->failureMessageEdit->text(), w.failureMessage);
    accept();
}

} // namespace sentrel
