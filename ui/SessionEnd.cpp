#include "ui/SessionEnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace sentrel {

namespace {

// The handler may only touch these: the pipe's writing end, and whether a SIGTERM is
// still waiting for the UI thread.
volatile std::sig_atomic_t g_writeFd = -1;
volatile std::sig_atomic_t g_pending = 0;
struct sigaction g_previous {};

void OnTerm(int) {
    if (g_pending) {
        // The UI thread has not come to the first one: it is stuck, so a second SIGTERM
        // ends the program the usual way.
        ::signal(SIGTERM, SIG_DFL);
        ::raise(SIGTERM);
        return;
    }
    g_pending = 1;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    errno = saved;
}

bool SetFlags(int fd) {
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0 &&
           ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
}

} // namespace

CSessionEnd::CSessionEnd(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);

    if (g_writeFd != -1 || ::pipe(m_pipe) != 0) {
        return; // another instance has SIGTERM, or no pipe: the signal keeps its default
    }
    if (!SetFlags(m_pipe[0]) || !SetFlags(m_pipe[1])) {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSessionEnd::OnSignalled);
    g_writeFd = m_pipe[1];
    g_pending = 0;

    struct sigaction action {};
    action.sa_handler = OnTerm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &g_previous);
}

CSessionEnd::~CSessionEnd() {
    if (m_pipe[0] != -1) {
        ::sigaction(SIGTERM, &g_previous, nullptr);
        g_writeFd = -1;
        delete m_notifier;
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
}

void CSessionEnd::OnSignalled() {
    char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    g_pending = 0;
    emit endRequested();
}

bool CSessionEnd::eventFilter(QObject* watched, QEvent* event) {
    // The session manager asks the application to quit with a Quit event. The program ends
    // its own run without one, so every Quit comes from outside.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        emit endRequested();
        return true; // the receiver of endRequested ends the run itself
    }
    return QObject::eventFilter(watched, event);
}

} // namespace sentrel
