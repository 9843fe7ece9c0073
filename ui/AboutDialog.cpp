#include "ui/AboutDialog.h"

#include "ui/MainDialog.h"
#include "ui_AboutDialog.h"

namespace sentrel {

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);
    m_ui->iconLabel->setPixmap(ProgramIcon().pixmap(48, 48));
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDialog::~CAboutDialog() = default;

} // namespace sentrel
