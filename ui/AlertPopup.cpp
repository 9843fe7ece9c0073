#include "ui/AlertPopup.h"

#include "ui/TextCodec.h"
#include "ui_AlertPopup.h"

#include <QGuiApplication>
#include <QScreen>

namespace sentrel {

CAlertPopup::CAlertPopup(const QString& message, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AlertPopup>()) {
    m_ui->setupUi(this);
    m_ui->messageEdit->setPlainText(message);
    m_ui->okButton->setFocus();
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAlertPopup::~CAlertPopup() = default;

QString CAlertPopup::Message() const {
    return m_ui->messageEdit->toPlainText();
}

int CAlertPopupService::Open(const std::string& text) {
    auto* popup = new CAlertPopup(FromStored(text));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setAttribute(Qt::WA_QuitOnClose, false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = popup->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        popup->move(frame.topLeft());
    }
    popup->show();
    popup->raise();

    // Forget the handles of popups the user has closed.
    for (auto it = m_popups.begin(); it != m_popups.end();) {
        it = it->second ? std::next(it) : m_popups.erase(it);
    }
    const int handle = ++m_next;
    m_popups[handle] = popup;
    return handle;
}

void CAlertPopupService::Close(int handle) {
    const auto it = m_popups.find(handle);
    if (it == m_popups.end()) {
        return;
    }
    if (it->second) {
        it->second->close();
    }
    m_popups.erase(it);
}

CAlertPopup* CAlertPopupService::Find(int handle) const {
    const auto it = m_popups.find(handle);
    return it == m_popups.end() ? nullptr : it->second.data();
}

} // namespace sentrel
