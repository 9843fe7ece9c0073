#pragma once

// Asks which kind of alert to create: one radio button per kind, the first chosen at first.

#include <QDialog>

#include <memory>

namespace Ui {
class AlertSelectionDialog;
}

namespace sentrel {

class CAlertSelectionDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAlertSelectionDialog(QWidget* parent = nullptr);
    ~CAlertSelectionDialog() override;

    // The position of the chosen button, counted from 0 in the order shown.
    int Selection() const;

private:
    std::unique_ptr<Ui::AlertSelectionDialog> m_ui;
};

} // namespace sentrel
