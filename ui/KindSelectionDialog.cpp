#include "ui/KindSelectionDialog.h"

#include "ui_KindSelectionDialog.h"

#include <QButtonGroup>
#include <QRadioButton>

#include <algorithm>

namespace sentrel {

CKindSelectionDialog::CKindSelectionDialog(const char* objectName, const char* title,
                                           const char* groupTitle,
                                           const std::vector<KindButton>& buttons, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::KindSelectionDialog>()),
      m_buttons(new QButtonGroup(this)) {
    m_ui->setupUi(this);
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromLatin1(title));
    m_ui->typeGroup->setTitle(QString::fromLatin1(groupTitle));
    for (const KindButton& button : buttons) {
        auto* radio = new QRadioButton(QString::fromLatin1(button.label), m_ui->typeGroup);
        radio->setObjectName(QString::fromLatin1(button.name));
        m_ui->typeLayout->addWidget(radio);
        m_buttons->addButton(radio, m_buttons->buttons().size());
    }
    if (!m_buttons->buttons().isEmpty()) {
        m_buttons->buttons().front()->setChecked(true);
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CKindSelectionDialog::~CKindSelectionDialog() = default;

int CKindSelectionDialog::Selection() const {
    return std::max(m_buttons->checkedId(), 0);
}

CAlertSelectionDialog::CAlertSelectionDialog(QWidget* parent)
    : CKindSelectionDialog("AlertSelectionDialog", "Alert Selection", "Alert Type",
                           ButtonsOf(AlertChoices()), parent) {}

CWatchSelectionDialog::CWatchSelectionDialog(QWidget* parent)
    : CKindSelectionDialog("WatchSelectionDialog", "Watch Selection", "Watch Type",
                           ButtonsOf(WatchChoices()), parent) {}

} // namespace sentrel
