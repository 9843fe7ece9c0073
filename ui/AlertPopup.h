#pragma once

// The "Alert" window a message alert opens: the message in a read-only box and "OK".
// Every popup is a window of its own; any number may be open at once, and they stay
// while the main window is hidden.

#include "platform/Platform.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <map>
#include <memory>

namespace Ui {
class AlertPopup;
}

namespace sentrel {

class CAlertPopup : public QDialog {
    Q_OBJECT

public:
    explicit CAlertPopup(const QString& message, QWidget* parent = nullptr);
    ~CAlertPopup() override;

private:
    std::unique_ptr<Ui::AlertPopup> m_ui;
};

// Opens the popups for the alerts: each Open shows one more window, centred on the screen
// or, when a popup is open there already, a little below and to the right of it. A popup
// is drawn before Open returns when it is opened on the UI thread; from another thread it
// is posted there and Open returns at once. Its handle is valid at once either way.
class CAlertPopupService : public IAlertPopup {
public:
    int Open(const std::string& text) override;
    void Close(int handle) override;

private:
    void Show(int handle, const std::string& text);
    QPoint FreePlace(QRect frame, const QRect& screen) const;

    std::atomic<int> m_next = 0;
    std::map<int, QPointer<CAlertPopup>> m_popups;
};

} // namespace sentrel
