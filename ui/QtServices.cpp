#include "ui/QtServices.h"

#include "ui/AlertPopup.h"
#include "ui/TextCodec.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QThread>
#include <QUrl>

#include <thread>

namespace sentrel {

bool OnUiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

void CCallQueue::Post(std::function<void()> call) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        wake = m_calls.empty();
        m_calls.push_back(std::move(call));
    }
    if (wake) {
        QMetaObject::invokeMethod(this, &CCallQueue::RunPosted, Qt::QueuedConnection);
    }
}

void CCallQueue::RunPosted() {
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        calls.swap(m_calls);
    }
    for (auto& call : calls) {
        call();
    }
}

void OnUiThread(std::function<void()> call) {
    // It lives on the UI thread until the program ends, whichever thread made it.
    static CCallQueue* const queue = [] {
        auto* made = new CCallQueue;
        made->moveToThread(QCoreApplication::instance()->thread());
        return made;
    }();
    queue->Post(std::move(call));
}

// From the engine's worker, the box is put up by the UI thread; the worker does not wait
// for it to be closed (it has nothing to ask).
void CQtMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon icon) {
    if (!OnUiThread()) {
        OnUiThread([this, text, caption, icon] { Show(text, caption, icon); });
        return;
    }
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

bool CQtHelp::Open(const std::string& path) {
    // A missing page is the browser's to report.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool CQtNotificationArea::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CDBusNotifications::Notify(const std::string& title, const std::string& text,
                                std::string& failure) {
    // A blocking call needs no event loop: the engine's worker may make it.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        failure = "There is no desktop session bus for notifications";
        return false;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Sentrel") << 0u << QStringLiteral("sentrel") << FromStored(title)
           << FromStored(text) << QStringList() << QVariantMap() << -1;
    constexpr int kAnswerMs = 10000;
    const QDBusMessage answer = bus.call(notify, QDBus::Block, kAnswerMs);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        failure = "The desktop's notification service did not show it: " +
                  answer.errorMessage().toStdString();
        return false;
    }
    return true;
}

bool CBackgroundPageFetcher::Fetch(const std::string& url, const std::string& user,
                                   const std::string& password, std::string& body,
                                   std::string& resultText, std::string& reason) {
    if (!OnUiThread()) {
        return m_inner->Fetch(url, user, password, body, resultText, reason);
    }
    // The window that asked stays disabled, so that its OK cannot be pressed again inside
    // this wait; the others, the tray and the popups go on answering.
    QPointer<QWidget> asking = QApplication::activeModalWidget();
    if (asking) {
        asking->setEnabled(false);
    }
    QEventLoop loop;
    bool ok = false;
    std::thread fetch([&] {
        ok = m_inner->Fetch(url, user, password, body, resultText, reason);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    fetch.join(); // at once, unless the application is ending and left the loop early
    if (asking) {
        asking->setEnabled(true);
    }
    return ok;
}

void InstallQtServices() {
    static CQtMessageBox messageBox;
    static CAlertPopupService popups;
    static CQtHelp help;
    static CQtNotificationArea notificationArea;
    static CDBusNotifications notifications;
    InstallPlatform({.messageBox = &messageBox,
                     .alertPopup = &popups,
                     .help = &help,
                     .notificationArea = &notificationArea,
                     .notifications = &notifications});
    static CBackgroundPageFetcher webPages(Network().webPages);
    InstallNetwork({.webPages = &webPages});
}

} // namespace sentrel
