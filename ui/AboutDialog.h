#pragma once

// "About Sentrel": the icon, the version line, who made it and which store file is in use.

#include <QDialog>
#include <QIcon>
#include <QString>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace sentrel {

// The program's icon, which the About box shows and the windows and the tray icon carry.
QIcon ProgramIcon();

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(const QString& storePath, QWidget* parent = nullptr);
    ~CAboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};

} // namespace sentrel
