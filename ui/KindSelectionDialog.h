#pragma once

// Asks which kind of alert or watch to create: one radio button per kind, in the order
// of the kinds' table (KindEditors.h), the first chosen at first.

#include "ui/KindEditors.h"

#include <QDialog>

#include <memory>
#include <vector>

class QButtonGroup;

namespace Ui {
class KindSelectionDialog;
}

namespace sentrel {

class CKindSelectionDialog : public QDialog {
    Q_OBJECT

public:
    ~CKindSelectionDialog() override;

    // The position of the chosen button, counted from 0 in the order shown.
    int Selection() const;

protected:
    CKindSelectionDialog(const char* objectName, const char* title, const char* groupTitle,
                         const std::vector<KindButton>& buttons, QWidget* parent);

private:
    std::unique_ptr<Ui::KindSelectionDialog> m_ui;
    QButtonGroup* m_buttons;
};

class CAlertSelectionDialog : public CKindSelectionDialog {
    Q_OBJECT

public:
    explicit CAlertSelectionDialog(QWidget* parent = nullptr);
};

class CWatchSelectionDialog : public CKindSelectionDialog {
    Q_OBJECT

public:
    explicit CWatchSelectionDialog(QWidget* parent = nullptr);
};

} // namespace sentrel
