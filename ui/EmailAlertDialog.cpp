#include "ui/EmailAlertDialog.h"

#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_EmailAlertDialog.h"

#include <QRegularExpressionValidator>

namespace sentrel {

CEmailAlertDialog::CEmailAlertDialog(CEmailAlert& alert, CSentrelDoc& /*doc*/, Editing editing,
                                     QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::EmailAlertDialog>()), m_alert(alert) {
    m_ui->setupUi(this);
    // The item data is the stored authentication type.
    m_ui->authCombo->addItem(QStringLiteral("None"), 0);
    m_ui->authCombo->addItem(QStringLiteral("CRAM MD5"), 1);
    m_ui->authCombo->addItem(QStringLiteral("AUTH LOGIN"), 2);
    m_ui->authCombo->addItem(QStringLiteral("LOGIN PLAIN"), 3);
    const auto numbers = QRegularExpression(QStringLiteral("-?[0-9]{0,10}"));
    for (QLineEdit* edit : {m_ui->maxMessagesEdit, m_ui->maxSmsCharsEdit, m_ui->portEdit}) {
        edit->setValidator(new QRegularExpressionValidator(numbers, edit));
    }

    CEmailAlert shown = alert;
    if (editing == Editing::New) {
        // A new alert: whatever it holds, it opens with these values.
        shown = CEmailAlert();
        shown.maxMessages = 0;
        shown.maxSmsChars = 0;
        shown.smsSplitting = 0;
        shown.multipleMessages = -1;
        shown.subjectOnly = 1;
        shown.authType = 0;
        shown.port = 25;
    }
    m_ui->nameEdit->setText(FromStored(shown.name));
    m_ui->recipientsEdit->setText(FromStored(shown.recipients));
    m_ui->smsSplittingCheck->setChecked(shown.smsSplitting != 0);
    if (shown.multipleMessages == 0) {
        m_ui->truncateRadio->setChecked(true);
    } else if (shown.multipleMessages == 1) {
        m_ui->multipleRadio->setChecked(true);
    }
    m_ui->maxMessagesEdit->setText(QString::number(shown.maxMessages));
    m_ui->maxSmsCharsEdit->setText(QString::number(shown.maxSmsChars));
    m_ui->subjectOnlyCheck->setChecked(shown.subjectOnly != 0);
    m_ui->fromNameEdit->setText(FromStored(shown.fromName));
    m_ui->fromAddressEdit->setText(FromStored(shown.fromAddress));
    m_ui->smtpHostEdit->setText(FromStored(shown.smtpHost));
    m_ui->portEdit->setText(QString::number(shown.port));
    m_ui->authCombo->setCurrentIndex(m_ui->authCombo->findData(shown.authType));
    m_ui->userNameEdit->setText(FromStored(shown.userName));
    m_ui->passwordEdit->setText(FromStored(shown.password));
    UpdateCredentials();

    connect(m_ui->authCombo, &QComboBox::currentIndexChanged, this,
            &CEmailAlertDialog::UpdateCredentials);
    editors::MakeTestButton(m_ui->testButton, m_ui->testResultLabel, [this] { return Edited(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &CEmailAlertDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CEmailAlertDialog::~CEmailAlertDialog() = default;

void CEmailAlertDialog::UpdateCredentials() {
    const bool withAuth = m_ui->authCombo->currentData().toInt() != 0;
    for (QWidget* widget :
         {static_cast<QWidget*>(m_ui->userNameLabel), static_cast<QWidget*>(m_ui->userNameEdit),
          static_cast<QWidget*>(m_ui->passwordLabel), static_cast<QWidget*>(m_ui->passwordEdit)}) {
        widget->setEnabled(withAuth);
    }
}

std::unique_ptr<CEmailAlert> CEmailAlertDialog::Edited() {
    const auto maxMessages = editors::ReadNumber(m_ui->maxMessagesEdit, 0, 9999);
    if (!maxMessages) {
        return nullptr;
    }
    const auto maxSmsChars = editors::ReadNumber(m_ui->maxSmsCharsEdit, 0, 160);
    if (!maxSmsChars) {
        return nullptr;
    }
    const auto port = editors::ReadNumber(m_ui->portEdit, 1, 32000);
    if (!port) {
        return nullptr;
    }
    auto edited = std::make_unique<CEmailAlert>(m_alert);
    CEmailAlert& e = *edited;
    // A type not in the list (from an old store) is kept as it is.
    if (const int authIndex = m_ui->authCombo->currentIndex(); authIndex >= 0) {
        e.authType = m_ui->authCombo->itemData(authIndex).toInt();
    }
    e.name = ToStored(m_ui->nameEdit->text(), e.name);
    e.recipients = ToStored(m_ui->recipientsEdit->text(), e.recipients);
    e.maxMessages = static_cast<std::int32_t>(*maxMessages);
    e.maxSmsChars = static_cast<std::int32_t>(*maxSmsChars);
    e.smsSplitting = editors::FlagFrom(m_ui->smsSplittingCheck->isChecked(), e.smsSplitting);
    // Neither button chosen is a value of its own; a stored value the buttons do not
    // show stays as it was.
    const std::int32_t stored = e.multipleMessages;
    e.multipleMessages = m_ui->truncateRadio->isChecked()   ? 0
                         : m_ui->multipleRadio->isChecked() ? 1
                         : (stored == 0 || stored == 1)     ? -1
                                                            : stored;
    e.subjectOnly = editors::FlagFrom(m_ui->subjectOnlyCheck->isChecked(), e.subjectOnly);
    e.userName = ToStored(m_ui->userNameEdit->text(), e.userName);
    e.password = ToStored(m_ui->passwordEdit->text(), e.password);
    e.fromAddress = ToStored(m_ui->fromAddressEdit->text(), e.fromAddress);
    e.smtpHost = ToStored(m_ui->smtpHostEdit->text(), e.smtpHost);
    e.fromName = ToStored(m_ui->fromNameEdit->text(), e.fromName);
    e.port = static_cast<std::int32_t>(*port);
    return edited;
}

void CEmailAlertDialog::OnOk() {
    const std::unique_ptr<CEmailAlert> edited = Edited();
    if (!edited ||
        !editors::Require({editors::Filled(m_ui->nameEdit, "Specify an alert name"),
                           editors::Filled(m_ui->recipientsEdit, "Specify an email address"),
                           editors::Filled(m_ui->fromAddressEdit, "Specify an email address"),
                           editors::Filled(m_ui->smtpHostEdit, "Specify a SMTP host"),
                           {edited->authType != 0 && m_ui->userNameEdit->text().isEmpty(),
                            m_ui->authCombo, "Specify a username"}})) {
        return;
    }
    m_alert = *edited;
    accept();
}

} // namespace sentrel
