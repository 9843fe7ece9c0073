#include "ui/QtServices.h"

#include "ui/AlertPopup.h"
#include "ui/TextCodec.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QUrl>

namespace sentrel {

void CQtMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon icon) {
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::None:
        qtIcon = QMessageBox::NoIcon;
        break;
    case MessageIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
    case MessageIcon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    case MessageIcon::Stop:
        qtIcon = QMessageBox::Critical;
        break;
    }
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) {
        parent = QApplication::activeWindow();
    }
    QMessageBox box(qtIcon, FromStored(caption), FromStored(text), QMessageBox::Ok, parent);
    box.setObjectName("messageBox");
    // Like the editors, a message blocks the window it belongs to, not the alert popups.
    if (parent) {
        box.setWindowModality(Qt::WindowModal);
    }
    box.exec();
}

void CQtHelp::Open(const std::string& path) {
    // A missing page shows nothing from us; the browser may say so itself.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool CQtNotificationArea::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void InstallQtServices() {
    static CQtMessageBox messageBox;
    static CAlertPopupService popups;
    static CQtHelp help;
    static CQtNotificationArea notificationArea;
    PlatformServices services;
    services.messageBox = &messageBox;
    services.alertPopup = &popups;
    services.help = &help;
    services.notificationArea = &notificationArea;
    InstallPlatform(services);
}

} // namespace sentrel
