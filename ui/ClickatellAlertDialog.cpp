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

    connect(m_ui->okButton, &QPushButton::clicked, this, &CClickatellAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CClickatellAlertDialog::~CClickatellAlertDialog() = default;

void CClickatellAlertDialog::OnOk() {
    const auto maxMessages =
        editors::ReadNumber(m_ui->maxMessagesEdit, 0, std::numeric_limits<std::int32_t>::max());
    if (!maxMessages) {
        return;
    }
    if (!editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name"),
                           editors::Filled(m_ui->apiIdEdit, "Specify an API ID"),
                           editors::Filled(m_ui->fromEdit, "Specify the sender (From)"),
                           editors::Filled(m_ui->toEdit, "Specify who to send to"),
                           editors::Filled(m_ui->userNameEdit, "Specify a Clickatell Username"),
                           editors::Filled(m_ui->passwordEdit, "Specify a Clickatell Password")})) {
        return;
    }

    m_alert.name = ToStored(m_ui->nameEdit->text(), m_alert.name);
    m_alert.to = ToStored(m_ui->toEdit->text(), m_alert.to);
    m_alert.from = ToStored(m_ui->fromEdit->text(), m_alert.from);
    m_alert.apiUser = ToStored(m_ui->userNameEdit->text(), m_alert.apiUser);
    m_alert.apiPassword = ToStored(m_ui->passwordEdit->text(), m_alert.apiPassword);
    m_alert.apiId = ToStored(m_ui->apiIdEdit->text(), m_alert.apiId);
    if (m_ui->truncateRadio->isChecked()) {
        m_alert.sendMultiple = 0;
    } else if (m_ui->multipleRadio->isChecked()) {
        m_alert.sendMultiple = 1;
    }
    m_alert.maxMessages = static_cast<std::int32_t>(*maxMessages);
    m_alert.msgType = m_ui->flashCheck->isChecked() ? kFlash : kText;
    accept();
}

} // namespace sentrel
