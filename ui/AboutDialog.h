#pragma once

// "About Sentrel": the icon, the version line, who made it and which store file is in use.

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace sentrel {

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(const QString& storePath, QWidget* parent = nullptr);
    ~CAboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};

} // namespace sentrel
