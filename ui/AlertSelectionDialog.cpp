#include "ui/AlertSelectionDialog.h"

#include "ui_AlertSelectionDialog.h"

namespace sentrel {

CAlertSelectionDialog::CAlertSelectionDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AlertSelectionDialog>()) {
    m_ui->setupUi(this);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CAlertSelectionDialog::~CAlertSelectionDialog() = default;

int CAlertSelectionDialog::Selection() const {
    const QRadioButton* buttons[] = {m_ui->emailRadio, m_ui->soundRadio, m_ui->messageRadio,
                                     m_ui->runProgramRadio, m_ui->clickatellRadio};
    for (int i = 0; i < 5; ++i) {
        if (buttons[i]->isChecked()) {
            return i;
        }
    }
    return 0;
}

} // namespace sentrel
