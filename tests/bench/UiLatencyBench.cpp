// How long the UI thread is kept from its events while the engine runs passes: the real
// main window, offscreen, with a 10 ms timer whose lateness is recorded.
//   ui_latency_bench [SECONDS]               a web page watch on a server that never
//                                            answers (default 600 s)
//   ui_latency_bench large-store [SECONDS]   the 105 MB store of the store benchmark, with
//                                            ten activations due in every pass, each pass
//                                            writing the store (default 60 s)

#include "alerts/AlertKinds.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "platform/Platform.h"
#include "tests/bench/LargeStore.h"
#include "ui/MainDialog.h"
#include "ui/QtServices.h"
#include "watches/DateTimeWatch.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
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

// The large store, its own activations off, and 600 that fall due ten at a time, one
// second after another, every minute; their watch never fires.
void FillLargeStoreDueTenAPass(sentrel::CSentrelDoc& doc, const sentrel::CDateTime& start) {
    sentrel::test::FillLargeStore(doc);
    for (auto& activation : doc.activations) {
        activation->enabled = false;
    }
    auto quiet = std::make_unique<sentrel::CDateTimeWatch>();
    quiet->name = "Never";
    for (int i = 0; i < 600; ++i) {
        auto activation = std::make_unique<sentrel::CActivation>();
        activation->name = "Due " + std::to_string(i);
        activation->enabled = true;
        activation->watch = {quiet.get()};
        activation->interval = "1";
        const sentrel::CDateTime next = start.AddSeconds(i / 10);
        activation->nextDate = next.FormatDate();
        activation->nextTime = next.FormatTime();
        doc.activations.push_back(std::move(activation));
    }
    doc.watches.push_back(std::move(quiet));
}

} // namespace

int main(int argc, char** argv) {
    const bool largeStore = argc > 1 && std::string(argv[1]) == "large-store";
    const int secondsArg = largeStore ? 2 : 1;
    const int seconds = argc > secondsArg ? std::atoi(argv[secondsArg]) : largeStore ? 60 : 600;
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
    const sentrel::CDateTime started = sentrel::CDateTime::Now().AddSeconds(5);
    if (largeStore) {
        sentrel::CSentrelDoc doc(store);
        FillLargeStoreDueTenAPass(doc, started);
        if (!doc.Save()) {
            return 1;
        }
    } else {
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
    if (largeStore) {
        // What the passes wrote: each run moved its activation's next moment by a minute.
        sentrel::CSentrelDoc saved(store);
        saved.Load(false);
        int i = 0;
        for (const auto& activation : saved.activations) {
            if (activation->enabled) {
                const sentrel::CDateTime next =
                    sentrel::CDateTime::Parse(activation->nextDate + " " + activation->nextTime);
                const sentrel::CDateTime first = started.AddSeconds(i++ / 10);
                checks += static_cast<int>(
                    std::lround((next.GetDayNumber() - first.GetDayNumber()) * 1440));
            }
        }
    }
    std::sort(lateMs.begin(), lateMs.end());
    if (lateMs.empty()) {
        return 1;
    }
    std::printf("UI thread lateness over %d s (%zu ticks of %d ms, %s): median %.2f ms, p99 %.2f "
                "ms, p99.9 %.2f ms, max %.2f ms\n",
                seconds, lateMs.size(), kTickMs,
                (std::to_string(checks) +
                 (largeStore ? " due runs written in passes of ten to a 105 MB store"
                             : " checks of a stalled web page ended"))
                    .c_str(),
                Percentile(lateMs, 50), Percentile(lateMs, 99), Percentile(lateMs, 99.9),
                lateMs.back());
    return 0;
}
