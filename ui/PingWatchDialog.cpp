#include "ui/PingWatchDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_PingWatchDialog.h"

namespace sentrel {

CPingWatchDialog::CPingWatchDialog(const CPINGWatch* watch, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PingWatchDialog>()) {
    m_ui->setupUi(this);
    if (watch != nullptr) {
        m_values = *watch;
    } else {
        m_values.hostName = kDefaultHost;
        m_values.packetSizeText = "32";
        m_values.timeToLiveText = "10";
        m_values.timeoutText = "5000";
    }
    m_ui->nameEdit->setText(FromStored(m_values.name));
    m_ui->hostEdit->setText(FromStored(m_values.hostName));
    m_ui->timeoutEdit->setText(FromStored(m_values.timeoutText));
    m_ui->ttlEdit->setText(FromStored(m_values.timeToLiveText));
    m_ui->packetSizeEdit->setText(FromStored(m_values.packetSizeText));
    m_ui->failureMessageEdit->setText(FromStored(m_values.failureMessage));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CPingWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CPingWatchDialog::~CPingWatchDialog() = default;

void CPingWatchDialog::OnOk() {
    if (m_ui->nameEdit->text().isEmpty()) {
        editors::ShowMessage("Specify a watch name");
        m_ui->nameEdit->setFocus();
        return;
    }
    // The numbers are kept as typed; the watch converts them at every check.
    m_values.name = ToStored(m_ui->nameEdit->text(), m_values.name);
    m_values.hostName = ToStored(m_ui->hostEdit->text(), m_values.hostName);
    m_values.timeoutText = ToStored(m_ui->timeoutEdit->text(), m_values.timeoutText);
    m_values.timeToLiveText = ToStored(m_ui->ttlEdit->text(), m_values.timeToLiveText);
    m_values.packetSizeText = ToStored(m_ui->packetSizeEdit->text(), m_values.packetSizeText);
    m_values.failureMessage = ToStored(m_ui->failureMessageEdit->text(), m_values.failureMessage);
    accept();
}

void CPingWatchDialog::ApplyTo(CPINGWatch& watch) const {
    watch.name = m_values.name;
    watch.hostName = m_values.hostName;
    watch.packetSizeText = m_values.packetSizeText;
    watch.timeToLiveText = m_values.timeToLiveText;
    watch.timeoutText = m_values.timeoutText;
    watch.failureMessage = m_values.failureMessage;
}

std::unique_ptr<CPINGWatch> CPingWatchDialog::CreateRecord() const {
    auto watch = std::make_unique<CPINGWatch>();
    ApplyTo(*watch);
    return watch;
}

} // namespace sentrel
