#pragma once

// "About Sentrel": the icon, the version line and who made it.

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace sentrel {

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};

} // namespace sentrel
