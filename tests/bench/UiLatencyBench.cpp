// How long the UI thread is kept from its events while the engine runs passes with a web
// page watch on a server that never answers: the real main window, offscreen, with a 10 ms
// timer whose lateness is recorded. Usage: ui_latency_bench [SECONDS] (default 600).

#include "alerts/AlertKinds.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "platform/Platform.h"
#include "ui/MainDialog.h"
#include "ui/QtServices.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// Listens on 127.0.0.1 and never accepts: a connection is made (the kernel completes it)
// and the request is taken, but no reply ever comes. Closing it resets what waits.
class StalledServer {
public:
    StalledServer() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(m_fd, 64) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            std::perror("stalled server");
            std::exit(1);
        }
        m_port = ntohs(address.sin_port);
    }
    ~StalledServer() { Close(); }
    void Close() {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class NoMessageBox : public sentrel::IMessageBox {
public:
    void Show(const std::string& text, const std::string&, sentrel::MessageIcon) override {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
    }
};

double Percentile(const std::vector<double>& sorted, double p) {
    const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    QTemporaryDir data;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    sentrel::InstallQtServices();
    NoMessageBox box; // offscreen there is no tray: its message must not stop the run
    sentrel::PlatformServices services;
    services.messageBox = &box;
    sentrel::InstallPlatform(services);
    sentrel::RegisterWatchKinds();
    sentrel::RegisterAlertKinds();

    StalledServer server;
    const std::string store = sentrel::Platform().paths->DataDir() + "/Sentrel.bin";
    {
        sentrel::CSentrelDoc doc(store);
        auto watch = std::make_unique<sentrel::CWebPageWatch>();
        watch->name = "Stalled";
        watch->url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
        auto activation = std::make_unique<sentrel::CActivation>();
        activation->name = "Every minute";
        activation->enabled = true;
        activation->watch = {watch.get()};
        activation->interval = "1";
        activation->nextDate = sentrel::CDateTime::Now().FormatDate();
        activation->nextTime = sentrel::CDateTime::Now().FormatTime();
        doc.watches.push_back(std::move(watch));
        doc.activations.push_back(std::move(activation));
        doc.traceOn = true;
        if (!doc.Save()) {
            return 1;
        }
    }

    auto window = std::make_unique<sentrel::CMainDialog>();
    if (!window->Initialise()) {
        return 1;
    }
    window->show();
    window->OnStart();

    constexpr int kTickMs = 10;
    std::vector<double> lateMs;
    QElapsedTimer since;
    QElapsedTimer run;
    run.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double elapsed = static_cast<double>(since.nsecsElapsed()) / 1e6;
        since.restart();
        lateMs.push_back(std::max(0.0, elapsed - kTickMs));
        if (lateMs.back() > 20) { // when, to match against the passes in the trace
            std::fprintf(stderr, "late %.1f ms at %.3f s\n", lateMs.back(),
                         static_cast<double>(run.elapsed()) / 1000);
        }
    });
    since.start();
    tick.start(kTickMs);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QApplication::exec();
    tick.stop();

    server.Close(); // the check under way fails at once, so the window can end
    window.reset();

    std::ifstream trace(data.path().toStdString() + "/sentrel/trace.txt");
    std::string line;
    int checks = 0;
    while (std::getline(trace, line)) {
        checks += line.find("Web Page Watch Failed to fetch web page") != std::string::npos;
    }
    std::sort(lateMs.begin(), lateMs.end());
    if (lateMs.empty()) {
        return 1;
    }
    std::printf("UI thread lateness over %d s (%zu ticks of %d ms, %d checks of a stalled web "
                "page ended): median %.2f ms, p99 %.2f ms, p99.9 %.2f ms, max %.2f ms\n",
                seconds, lateMs.size(), kTickMs, checks, Percentile(lateMs, 50),
                Percentile(lateMs, 99), Percentile(lateMs, 99.9), lateMs.back());
    return 0;
}
