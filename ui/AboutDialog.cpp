#include "ui/AboutDialog.h"

#include "ui_AboutDialog.h"

namespace sentrel {

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/sentrel-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

CAboutDialog::CAboutDialog(const QString& storePath, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);
    m_ui->versionLabel->setText(QStringLiteral("Sentrel " SENTREL_VERSION));
    m_ui->storeLabel->setText(QStringLiteral("Your watches, alerts and activations are kept in\n") +
                              storePath);
    m_ui->iconLabel->setPixmap(ProgramIcon().pixmap(48, 48));
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDialog::~CAboutDialog() = default;

} // namespace sentrel
