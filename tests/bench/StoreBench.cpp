// Loading and saving a large store against a plain copy of the same file.
//   store_bench [--benchmark_repetitions=N ...]
// The store: FillLargeStore's (LargeStore.h). BM_Load reports the most memory a load took
// beyond what the process held before it (peak_MiB).

#include "alerts/AlertKinds.h"
#include "model/SentrelDoc.h"
#include "tests/bench/LargeStore.h"
#include "tests/support/TestSupport.h"
#include "watches/WatchKinds.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace sentrel;

void BuildLargeStore(const std::string& path) {
    CSentrelDoc doc(path);
    test::FillLargeStore(doc);
    if (!doc.Save()) {
        throw std::runtime_error("cannot write the benchmark store");
    }
}

test::TempDir* g_dir;
std::string g_store;
std::int64_t g_size;

// A plain copy in user space, as cp does it: read and write in 1 MiB pieces, then flush
// to disk when `sync` is set (the save flushes too).
void CopyFile(const std::string& from, const std::string& to, bool sync) {
    static std::vector<char> buffer(1 << 20);
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (in < 0 || out < 0) {
        throw std::runtime_error("copy failed");
    }
    while (true) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0) {
            throw std::runtime_error("copy failed");
        }
        if (got == 0) {
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t n =
                write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (n <= 0) {
                throw std::runtime_error("copy failed");
            }
            done += n;
        }
    }
    if (sync) {
        fsync(out);
    }
    close(in);
    close(out);
}

void BM_CopyFile(benchmark::State& state) {
    const std::string to = g_dir->File("copy.bin");
    for (auto _ : state) {
        CopyFile(g_store, to, true);
    }
    state.SetBytesProcessed(state.iterations() * g_size);
}

void BM_CopyFileNoSync(benchmark::State& state) {
    const std::string to = g_dir->File("copy.bin");
    for (auto _ : state) {
        CopyFile(g_store, to, false);
    }
    state.SetBytesProcessed(state.iterations() * g_size);
}

// A figure of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKiB(std::string_view name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name, 0) == 0 && line.size() > name.size() && line[name.size()] == ':') {
            return std::stol(line.substr(name.size() + 1));
        }
    }
    return -1;
}

// Starts the high-water mark of resident memory again from what is resident now, after
// handing memory that is free back to the system (else the previous iteration's freed
// records would hide what a load takes).
bool ResetPeakMemory() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

void BM_Load(benchmark::State& state) {
    long peakKiB = -1;
    for (auto _ : state) {
        state.PauseTiming();
        const bool measured = ResetPeakMemory();
        const long before = StatusKiB("VmRSS");
        state.ResumeTiming();
        {
            CSentrelDoc doc(g_store);
            if (doc.Load(false)) {
                state.SkipWithError("the store does not load");
            }
            benchmark::DoNotOptimize(doc.watches.data());
        }
        state.PauseTiming();
        if (measured && before >= 0) {
            peakKiB = std::max(peakKiB, StatusKiB("VmHWM") - before);
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * g_size);
    if (peakKiB >= 0) {
        state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024;
    }
}

void BM_Save(benchmark::State& state) {
    CSentrelDoc doc(g_store);
    doc.Load(false);
    doc.SetStorePath(g_dir->File("saved.bin"));
    for (auto _ : state) {
        if (!doc.Save()) {
            state.SkipWithError("the store does not save");
        }
    }
    state.SetBytesProcessed(state.iterations() * g_size);
}

BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFileNoSync)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    RegisterWatchKinds();
    RegisterAlertKinds();
    test::TempDir dir;
    g_dir = &dir;
    g_store = dir.File("Sentrel.bin");
    BuildLargeStore(g_store);
    struct stat st {};
    if (stat(g_store.c_str(), &st) != 0) {
        return 1;
    }
    g_size = static_cast<std::int64_t>(st.st_size);
    std::printf("store: %lld bytes\n", static_cast<long long>(g_size));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
