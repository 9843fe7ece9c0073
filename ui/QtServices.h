#pragma once

// The desktop services that need the window system: message boxes and the help page.
// Code everywhere shows a message box through Platform().messageBox, so tests install a
// recorder there and read the texts without any window opening.

#include "platform/Platform.h"

namespace sentrel {

// A modal QMessageBox with an OK button, over the active window.
class CQtMessageBox : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;
};

// Opens a local page in the desktop's default browser.
class CQtHelp : public IHelp {
public:
    void Open(const std::string& path) override;
};

// Asks the desktop, through Qt, whether it has a notification area (a tray).
class CQtNotificationArea : public INotificationArea {
public:
    bool IsAvailable() override;
};

// Installs the Qt message box, alert popup, help and notification area services for the
// rest of the run. Needs a QApplication.
void InstallQtServices();

} // namespace sentrel
