#include "ui/WatchSelectionDialog.h"

#include "ui_WatchSelectionDialog.h"

namespace sentrel {

CWatchSelectionDialog::CWatchSelectionDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WatchSelectionDialog>()) {
    m_ui->setupUi(this);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CWatchSelectionDialog::~CWatchSelectionDialog() = default;

int CWatchSelectionDialog::Selection() const {
    const QRadioButton* buttons[] = {m_ui->popRadio, m_ui->pingRadio, m_ui->dateTimeRadio,
                                     m_ui->webPageRadio, m_ui->fileRadio};
    for (int i = 0; i < 5; ++i) {
        if (buttons[i]->isChecked()) {
            return i;
        }
    }
    return 0;
}

} // namespace sentrel
