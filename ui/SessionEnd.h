#pragma once

// The end of the desktop session, as the program learns of it: SIGTERM (sent to the
// session's programs at logout, and by `kill`) or the session manager's request to quit.
// Either becomes one signal on the UI thread, so that the program can end as "Exit" does.
// One instance at a time owns SIGTERM; the previous handling comes back when it goes.

#include <QObject>

class QSocketNotifier;

namespace sentrel {

class CSessionEnd : public QObject {
    Q_OBJECT

public:
    explicit CSessionEnd(QObject* parent = nullptr);
    ~CSessionEnd() override;
    CSessionEnd(const CSessionEnd&) = delete;
    CSessionEnd& operator=(const CSessionEnd&) = delete;

signals:
    void endRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSignalled();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace sentrel
