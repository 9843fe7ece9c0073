#include "ui/AlertPopup.h"

#include "ui/QtServices.h"
#include "ui/TextCodec.h"
#include "ui_AlertPopup.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace sentrel {

namespace {

// How far a popup sits from one already open at the same place.
constexpr int kCascadeStep = 28;
// How long a popup may take to reach the screen before it is drawn anyway.
constexpr int kExposeWaitMs = 1000;

// Draws the window before returning. Whoever opens a popup may block the event loop next
// (the web page editor fetches its page right after "Please wait"), and a window that is
// only shown is drawn by that loop. Until the window system has put the window on the
// screen, only timers and posted events run: no input, so nothing the user does can act
// in between.
void DrawNow(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (handle && !handle->isExposed()) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, handle] {
            if (handle->isExposed()) {
                loop.quit();
            }
        });
        poll.start(5);
        QTimer::singleShot(kExposeWaitMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
    }
    window->repaint();
}

} // namespace

CAlertPopup::CAlertPopup(const QString& message, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AlertPopup>()) {
    m_ui->setupUi(this);
    m_ui->messageEdit->setPlainText(message);
    m_ui->okButton->setFocus();
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAlertPopup::~CAlertPopup() = default;

// A message alert opens its popup from the engine's worker: the UI thread shows it at once
// and the worker goes on with its pass.
int CAlertPopupService::Open(const std::string& text) {
    const int handle = ++m_next;
    if (OnUiThread()) {
        Show(handle, text);
    } else {
        OnUiThread([this, handle, text] { Show(handle, text); });
    }
    return handle;
}

void CAlertPopupService::Show(int handle, const std::string& text) {
    auto* popup = new CAlertPopup(FromStored(text));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setAttribute(Qt::WA_QuitOnClose, false);
    // Forget the handles of popups the user has closed.
    for (auto it = m_popups.begin(); it != m_popups.end();) {
        it = it->second ? std::next(it) : m_popups.erase(it);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        popup->move(FreePlace(popup->frameGeometry(), screen->availableGeometry()));
    }
    popup->show();
    popup->raise();
    DrawNow(popup);
    m_popups[handle] = popup;
}

void CAlertPopupService::Close(int handle) {
    if (!OnUiThread()) {
        OnUiThread([this, handle] { Close(handle); });
        return;
    }
    const auto it = m_popups.find(handle);
    if (it == m_popups.end()) {
        return;
    }
    if (it->second) {
        it->second->close();
    }
    m_popups.erase(it);
}

QPoint CAlertPopupService::FreePlace(QRect frame, const QRect& screen) const {
    // Centred; a popup already there moves the new one down and to the right, back to the
    // screen's corner when it would leave the screen.
    frame.moveCenter(screen.center());
    const auto taken = [this](const QPoint& place) {
        for (const auto& [handle, popup] : m_popups) {
            if (popup && popup->isVisible() && popup->pos() == place) {
                return true;
            }
        }
        return false;
    };
    for (std::size_t tries = 0; tries <= m_popups.size() && taken(frame.topLeft()); ++tries) {
        frame.translate(kCascadeStep, kCascadeStep);
        if (!screen.contains(frame)) {
            frame.moveTopLeft(screen.topLeft());
        }
    }
    return frame.topLeft();
}

} // namespace sentrel
