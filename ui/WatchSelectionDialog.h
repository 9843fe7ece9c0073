#pragma once

// Asks which kind of watch to create: one radio button per kind, the first chosen at first.

#include <QDialog>

#include <memory>

namespace Ui {
class WatchSelectionDialog;
}

namespace sentrel {

class CWatchSelectionDialog : public QDialog {
    Q_OBJECT

public:
    explicit CWatchSelectionDialog(QWidget* parent = nullptr);
    ~CWatchSelectionDialog() override;

    // The position of the chosen button, counted from 0 in the order shown.
    int Selection() const;

private:
    std::unique_ptr<Ui::WatchSelectionDialog> m_ui;
};

} // namespace sentrel
