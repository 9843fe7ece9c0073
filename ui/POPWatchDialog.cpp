#include "ui/POPWatchDialog.h"

#include "net/SocketConnection.h"
#include "ui/EditorSupport.h"
#include "ui/TextCodec.h"
#include "ui_POPWatchDialog.h"

#include <QRegularExpressionValidator>

#include <limits>

namespace sentrel {

using editors::FlagFrom;
CPOPWatchDialog::CPOPWatchDialog(CPOPWatch& watch, CSentrelDoc& /*doc*/, Editing /*editing*/,
                                 QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::POPWatchDialog>()), m_watch(watch) {
    m_ui->setupUi(this);
    m_ui->maxSizeEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,10}")), m_ui->maxSizeEdit));

    m_ui->nameEdit->setText(FromStored(watch.name));
    m_ui->serverEdit->setText(FromStored(watch.popServer));
    m_ui->userNameEdit->setText(FromStored(watch.popUserName));
    m_ui->passwordEdit->setText(FromStored(watch.popPassword));
    m_ui->oneTextEdit->setText(FromStored(watch.oneText));
    m_ui->oneFromCheck->setChecked(watch.oneIncludeFrom != 0);
    m_ui->oneSubjectCheck->setChecked(watch.oneIncludeSubject != 0);
    m_ui->oneContentCheck->setChecked(watch.oneIncludeContent != 0);
    m_ui->manyCountCheck->setChecked(watch.manyIncludeCount != 0);
    m_ui->manyTextEdit->setText(FromStored(watch.manyText));
    m_ui->manyFromCheck->setChecked(watch.manyIncludeFrom != 0);
    m_ui->manySubjectCheck->setChecked(watch.manyIncludeSubject != 0);
    m_ui->manyContentCheck->setChecked(watch.manyIncludeContent != 0);
    m_ui->uppercaseCheck->setChecked(watch.skipUppercaseSubject != 0);
    m_ui->overSizeCheck->setChecked(watch.skipIfOverSize != 0);
    m_ui->maxSizeEdit->setText(QString::number(watch.maxSizeKb));

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
    // A port may follow the name; one that cannot be reached is caught here, not at every
    // check.
    const bool portOk = ParseHostAndPort(m_ui->serverEdit->text().toStdString(), 110).has_value();
    if (!editors::Require(
            {editors::Filled(m_ui->nameEdit, "Enter a Name for this Watch"),
             editors::Filled(m_ui->userNameEdit, "Enter a Username for the POP Server"),
             editors::Filled(m_ui->passwordEdit, "Enter a password for the POP Server"),
             editors::Filled(m_ui->serverEdit, "Enter a POP server name e.g. pop.example.com"),
             {!portOk, m_ui->serverEdit,
              "Enter a port from 1 to 65535 after the POP server name, e.g. "
              "pop.example.com:995"}})) {
        return;
    }

    CPOPWatch& w = m_watch;
    w.name = ToStored(m_ui->nameEdit->text(), w.name);
    w.popServer = ToStored(m_ui->serverEdit->text(), w.popServer);
    w.popUserName = ToStored(m_ui->userNameEdit->text(), w.popUserName);
    w.popPassword = ToStored(m_ui->passwordEdit->text(), w.popPassword);
    w.oneText = ToStored(m_ui->oneTextEdit->text(), w.oneText);
    w.oneIncludeFrom = FlagFrom(m_ui->oneFromCheck->isChecked(), w.oneIncludeFrom);
    w.oneIncludeSubject = FlagFrom(m_ui->oneSubjectCheck->isChecked(), w.oneIncludeSubject);
    w.oneIncludeContent = FlagFrom(m_ui->oneContentCheck->isChecked(), w.oneIncludeContent);
    w.manyIncludeCount = FlagFrom(m_ui->manyCountCheck->isChecked(), w.manyIncludeCount);
    w.manyText = ToStored(m_ui->manyTextEdit->text(), w.manyText);
    w.manyIncludeFrom = FlagFrom(m_ui->manyFromCheck->isChecked(), w.manyIncludeFrom);
    w.manyIncludeSubject = FlagFrom(m_ui->manySubjectCheck->isChecked(), w.manyIncludeSubject);
    w.manyIncludeContent = FlagFrom(m_ui->manyContentCheck->isChecked(), w.manyIncludeContent);
    w.skipUppercaseSubject = FlagFrom(m_ui->uppercaseCheck->isChecked(), w.skipUppercaseSubject);
    w.skipIfOverSize = FlagFrom(m_ui->overSizeCheck->isChecked(), w.skipIfOverSize);
    w.maxSizeKb = static_cast<std::uint32_t>(*maxSize);
    accept();
}

} // namespace sentrel
