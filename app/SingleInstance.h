#pragma once

// One program per store, as tray programs do it: the first start holds the store's lock
// and listens on a local socket named after it; a second start finds the lock held, asks
// the first one to bring its window forward, and ends.

#include <QObject>

#include <functional>
#include <string>

class QSocketNotifier;

namespace sentrel {

// The first start's side: `onShow` is called on this thread for each later start.
class CShowRequests : public QObject {
    Q_OBJECT

public:
    CShowRequests(const std::string& lockPath, std::function<void()> onShow,
                  QObject* parent = nullptr);
    ~CShowRequests() override;
    CShowRequests(const CShowRequests&) = delete;
    CShowRequests& operator=(const CShowRequests&) = delete;

    bool IsListening() const { return m_fd >= 0; }

private:
    void OnConnection();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_onShow;
};

// The later start's side: asks the start that holds the lock of `lockPath` to show its
// window, waiting a little for one that is still starting. False when none answered.
bool AskToShow(const std::string& lockPath);

} // namespace sentrel
