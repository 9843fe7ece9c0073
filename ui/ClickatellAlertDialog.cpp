#include "ui/ClickatellAlertDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_ClickatellAlertDialog.h"

#include <QRegularExpressionValidator>

#include <limits>

namespace sentrel {

namespace {

constexpr const char* kFlash = "SMS_FLASH";
constexpr const char* kText = "SMS_TEXT";

} // namespace

CClickatellAlertDialog::CClickatellAlertDialog(CClickatellAlert& alert, CSentrelDoc& /*doc*/,
                                               Editing editing, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ClickatellAlertDialog>()), m_alert(alert) {
    m_ui->setupUi(this);
    m_ui->maxMessagesEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,10}")), m_ui->maxMessagesEdit));

    const bool isNew = editing == Editing::New;
    const std::int32_t sendMultiple = isNew ? 0 : alert.sendMultiple;
    const std::int32_t maxMessages = isNew ? 1 : alert.maxMessages;
    m_ui->nameEdit->setText(FromStored(alert.name));
    m_ui->toEdit->setText(FromStored(alert.to));
    m_ui->fromEdit->setText(FromStored(alert.from));
    m_ui->userNameEdit->setText(FromStored(alert.apiUser));
    m_ui->passwordEdit->setText(FromStored(alert.apiPassword));
    m_ui->apiIdEdit->setText(FromStored(alert.apiId));
    if (sendMultiple == 0) {
        m_ui->truncateRadio->setChecked(true);
    } else if (sendMultiple == 1) {
        m_ui->multipleRadio->setChecked(true);
    }
    m_ui->maxMessagesEdit->setText(QString::number(maxMessages));
    m_ui->flashCheck->setChecked(!isNew && alert.msgType == kFlash);

    editors::MakeTestButton(m_ui->testButton, m_ui->testResultLabel, [this] { return Edited(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &CClickatellAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CClickatellAlertDialog::~CClickatellAlertDialog() = default;

std::unique_ptr<CClickatellAlert> CClickatellAlertDialog::Edited() {
    const auto maxMessages =
        editors::ReadNumber(m_ui->maxMessagesEdit, 0, std::numeric_limits<std::int32_t>::max());
    if (!maxMessages) {
        return nullptr;
    }
    auto edited = std::make_unique<CClickatellAlert>(m_alert);
    CClickatellAlert& e = *edited;
    e.name = ToStored(m_ui->nameEdit->text(), e.name);
    e.to = ToStored(m_ui->toEdit->text(), e.to);
    e.from = ToStored(m_ui->fromEdit->text(), e.from);
    e.apiUser = ToStored(m_ui->userNameEdit->text(), e.apiUser);
    e.apiPassword = ToStored(m_ui->passwordEdit->text(), e.apiPassword);
    e.apiId = ToStored(m_ui->apiIdEdit->text(), e.apiId);
    if (m_ui->truncateRadio->isChecked()) {
        e.sendMultiple = 0;
    } else if (m_ui->multipleRadio->isChecked()) {
        e.sendMultiple = 1;
    }
    e.maxMessages = static_cast<std::int32_t>(*maxMessages);
    e.msgType = m_ui->flashCheck->isChecked() ? kFlash : kText;
    return edited;
}

void CClickatellAlertDialog::OnOk() {
    const std::unique_ptr<CClickatellAlert> edited = Edited();
    // An account of the current platform has neither a user name nor a password.
    const bool legacyAccount =
        !m_ui->userNameEdit->text().isEmpty() || !m_ui->passwordEdit->text().isEmpty();
    if (!edited || !editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name"),
                                      editors::Filled(m_ui->apiIdEdit, "Specify an API ID"),
                                      editors::Filled(m_ui->fromEdit, "Specify the sender (From)"),
                                      editors::Filled(m_ui->toEdit, "Specify who to send to"),
                                      {legacyAccount && m_ui->userNameEdit->text().isEmpty(),
                                       m_ui->userNameEdit, "Specify a Clickatell Username"},
                                      {legacyAccount && m_ui->passwordEdit->text().isEmpty(),
                                       m_ui->passwordEdit, "Specify a Clickatell Password"}})) {
        return;
    }
    m_alert = *edited;
    accept();
}

} // namespace sentrel
