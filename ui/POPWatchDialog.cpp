#include "ui/POPWatchDialog.h"

#include "net/SocketConnection.h"
#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_POPWatchDialog.h"

#include <QRegularExpressionValidator>

#include <limits>

namespace sentrel {

using editors::FlagFrom;
CPOPWatchDialog::CPOPWatchDialog(const CPOPWatch* watch, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::POPWatchDialog>()) {
    m_ui->setupUi(this);
    if (watch != nullptr) {
        m_values = *watch;
    }
    m_values.seenUids.clear(); // not edited; the copy only holds what the dialog shows
    m_ui->maxSizeEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,10}")), m_ui->maxSizeEdit));

    m_ui->nameEdit->setText(FromStored(m_values.name));
    m_ui->serverEdit->setText(FromStored(m_values.popServer));
    m_ui->userNameEdit->setText(FromStored(m_values.popUserName));
    m_ui->passwordEdit->setText(FromStored(m_values.popPassword));
    m_ui->oneTextEdit->setText(FromStored(m_values.oneText));
    m_ui->oneFromCheck->setChecked(m_values.oneIncludeFrom != 0);
    m_ui->oneSubjectCheck->setChecked(m_values.oneIncludeSubject != 0);
    m_ui->oneContentCheck->setChecked(m_values.oneIncludeContent != 0);
    m_ui->manyCountCheck->setChecked(m_values.manyIncludeCount != 0);
    m_ui->manyTextEdit->setText(FromStored(m_values.manyText));
    m_ui->manyFromCheck->setChecked(m_values.manyIncludeFrom != 0);
    m_ui->manySubjectCheck->setChecked(m_values.manyIncludeSubject != 0);
    m_ui->manyContentCheck->setChecked(m_values.manyIncludeContent != 0);
    m_ui->uppercaseCheck->setChecked(m_values.skipUppercaseSubject != 0);
    m_ui->overSizeCheck->setChecked(m_values.skipIfOverSize != 0);
    m_ui->maxSizeEdit->setText(QString::number(m_values.maxSizeKb));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CPOPWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CPOPWatchDialog::~CPOPWatchDialog() = default;

void CPOPWatchDialog::OnOk() {
    const auto maxSize =
        editors::ReadNumber(m_ui->maxSizeEdit, 0, std::numeric_limits<std::uint32_t>::max());
    if (!maxSize) {
        return;
    }
    struct Required {
        QLineEdit* edit;
        const char* message;
    };
    const Required required[] = {
        {m_ui->nameEdit, "Enter a Name for this Watch"},
        {m_ui->userNameEdit, "Enter a Username for the POP Server"},
        {m_ui->passwordEdit, "Enter a password for the POP Server"},
        {m_ui->serverEdit, "Enter a POP server name e.g. pop.example.com"},
    };
    for (const Required& field : required) {
        if (field.edit->text().isEmpty()) {
            editors::ShowMessage(field.message);
            field.edit->setFocus();
            return;
        }
    }
    // A port may follow the name; one that cannot be reached is caught here, not at every
    // check.
    if (!ParseHostAndPort(m_ui->serverEdit->text().toStdString(), 110)) {
        editors::ShowMessage(
            "Enter a port from 1 to 65535 after the POP server name, e.g. pop.example.com:995");
        m_ui->serverEdit->setFocus();
        return;
    }

    m_values.name = ToStored(m_ui->nameEdit->text(), m_values.name);
    m_values.popServer = ToStored(m_ui->serverEdit->text(), m_values.popServer);
    m_values.popUserName = ToStored(m_ui->userNameEdit->text(), m_values.popUserName);
    m_values.popPassword = ToStored(m_ui->passwordEdit->text(), m_values.popPassword);
    m_values.oneText = ToStored(m_ui->oneTextEdit->text(), m_values.oneText);
    m_values.oneIncludeFrom = FlagFrom(m_ui->oneFromCheck->isChecked(), m_values.oneIncludeFrom);
    m_values.oneIncludeSubject =
        FlagFrom(m_ui->oneSubjectCheck->isChecked(), m_values.oneIncludeSubject);
    m_values.oneIncludeContent =
        FlagFrom(m_ui->oneContentCheck->isChecked(), m_values.oneIncludeContent);
    m_values.manyIncludeCount =
        FlagFrom(m_ui->manyCountCheck->isChecked(), m_values.manyIncludeCount);
    m_values.manyText = ToStored(m_ui->manyTextEdit->text(), m_values.manyText);
    m_values.manyIncludeFrom = FlagFrom(m_ui->manyFromCheck->isChecked(), m_values.manyIncludeFrom);
    m_values.manyIncludeSubject =
        FlagFrom(m_ui->manySubjectCheck->isChecked(), m_values.manyIncludeSubject);
    m_values.manyIncludeContent =
        FlagFrom(m_ui->manyContentCheck->isChecked(), m_values.manyIncludeContent);
    m_values.skipUppercaseSubject =
        FlagFrom(m_ui->uppercaseCheck->isChecked(), m_values.skipUppercaseSubject);
    m_values.skipIfOverSize = FlagFrom(m_ui->overSizeCheck->isChecked(), m_values.skipIfOverSize);
    m_values.maxSizeKb = static_cast<std::uint32_t>(*maxSize);
    accept();
}

void CPOPWatchDialog::ApplyTo(CPOPWatch& watch) const {
    watch.name = m_values.name;
    watch.popPassword = m_values.popPassword;
    watch.popUserName = m_values.popUserName;
    watch.popServer = m_values.popServer;
    watch.oneIncludeContent = m_values.oneIncludeContent;
    watch.oneIncludeFrom = m_values.oneIncludeFrom;
    watch.manyIncludeContent = m_values.manyIncludeContent;
    watch.manyIncludeCount = m_values.manyIncludeCount;
    watch.manyIncludeFrom = m_values.manyIncludeFrom;
    watch.manyIncludeSubject = m_values.manyIncludeSubject;
    watch.manyText = m_values.manyText;
    watch.oneIncludeSubject = m_values.oneIncludeSubject;
    watch.oneText = m_values.oneText;
    watch.maxSizeKb = m_values.maxSizeKb;
    watch.skipIfOverSize = m_values.skipIfOverSize;
    watch.skipUppercaseSubject = m_values.skipUppercaseSubject;
}

std::unique_ptr<CPOPWatch> CPOPWatchDialog::CreateRecord() const {
    auto watch = std::make_unique<CPOPWatch>();
    ApplyTo(*watch);
    return watch;
}

} // namespace sentrel
