// Engine pass over many enabled activations that are not due: the pass runs every second
// on the UI thread, so it must stay far below that. Prints the median of many passes.
//
//   engine_bench [activations] [passes]     (defaults 10000 and 101)

#include "engine/Engine.h"
#include "engine/StoreSaver.h"
#include "model/DateTime.h"
#include "model/SentrelDoc.h"
#include "platform/Platform.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

class StillClock : public sentrel::IClock {
public:
    std::int64_t Now() const override { return now; }
    std::uint32_t TickCount() const override { return 0; }
    std::int64_t now = 0;
};

// No activation falls due: no work ever reaches the worker.
class NoTimers : public sentrel::IEngineHost {
public:
    void SetTimer(int, unsigned) override {}
    void KillTimer(int) override {}
    void RunOnWorker(std::function<void()> work, std::function<void()> done) override {
        work();
        done();
    }
    void PostToOwner(std::function<void()> call) override { call(); }
    void DrainWorker() override {}
    void RunSave(std::function<void()> work, std::function<void()> done) override {
        work();
        done();
    }
    void DrainSaves() override {}
};

} // namespace

int main(int argc, char** argv) {
    using namespace sentrel;
    std::setlocale(LC_ALL, "");
    const long count = argc > 1 ? std::atol(argv[1]) : 10000;
    const int passes = argc > 2 ? std::atoi(argv[2]) : 101;

    StillClock clock;
    clock.now = static_cast<std::int64_t>(std::time(nullptr));
    PlatformServices services;
    services.clock = &clock;
    ScopedPlatform platform(services);

    CSentrelDoc doc("/nonexistent/Sentrel.bin"); // never saved: nothing is due
    doc.watches.push_back(std::make_unique<CWatch>());
    const CDateTime later = CDateTime::Now().AddDays(1);
    const std::string interval = "5", start = "9:00a", end = "5:00p";
    for (long i = 0; i < count; ++i) {
        auto activation = std::make_unique<CActivation>();
        activation->name = "activation " + std::to_string(i);
        activation->enabled = true;
        activation->watch.push_back(doc.watches.front().get());
        const CDateTime next = later.AddSeconds(i);
        activation->nextDate = next.FormatDate();
        activation->nextTime = next.FormatTime();
        activation->interval = interval;
        activation->windowOn = i % 2 == 0;
        activation->startTime = start;
        activation->endTime = end;
        doc.activations.push_back(std::move(activation));
    }

    NoTimers host;
    CStoreSaver saver(doc, host);
    CEngine engine(doc, host, saver);
    std::vector<double> ms;
    for (int p = 0; p < passes; ++p) {
        clock.now += 1;
        const auto begin = std::chrono::steady_clock::now();
        engine.RunPass();
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("engine pass over %ld enabled activations, none due: median %.3f ms, min %.3f ms, "
                "max %.3f ms (%d passes, LC_TIME %s)\n",
                count, ms[ms.size() / 2], ms.front(), ms.back(), passes,
                std::setlocale(LC_TIME, nullptr));
    return 0;
}
