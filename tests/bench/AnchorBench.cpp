// Times ExtractWatchedText on two 1 MiB pages, the fast version against the step-by-step
// one, and measures the heap the fast version needs beyond its inputs:
//   - a realistic page: articles, links and product tables with varied content, a price
//     inside a table cell; the anchors stay short;
//   - a page of alike rows: one long table of identical rows with the watched cell in the
//     middle; the anchors reach out to the ends of the table.
//
// Usage: anchor_bench [--runs N] [--literal-runs N] [--skip-literal]
// (--literal-runs: runs of the step-by-step version on the page of alike rows, about a
// minute each; default 1.)

#include "watches/WebTextAnchor.h"

#include "LiteralAnchor.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

// ---- heap accounting: every allocation carries its size in a header ----

namespace {

std::size_t g_current = 0;
std::size_t g_peak = 0;
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
    auto* p = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!p)
        throw std::bad_alloc();
    std::memcpy(p, &size, sizeof size);
    g_current += size;
    g_peak = std::max(g_peak, g_current);
    return p + kHeader;
}

void Release(void* ptr) noexcept {
    if (!ptr)
        return;
    auto* p = static_cast<unsigned char*>(ptr) - kHeader;
    std::size_t size;
    std::memcpy(&size, p, sizeof size);
    g_current -= size;
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace {

constexpr std::size_t kPageSize = 1 << 20;

// ---- pages ----

std::string Word(std::mt19937& rng) {
    static const char* syllables[] = {"ka",  "lo",  "mi",  "ne",  "ru",  "sa",  "te",   "vo",
                                      "ber", "dan", "gor", "lin", "mar", "pel", "ston", "wick"};
    std::string w;
    const int n = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < n; ++i)
        w += syllables[rng() % 16];
    return w;
}

std::string Sentence(std::mt19937& rng) {
    std::string s = Word(rng);
    s[0] = static_cast<char>(s[0] - 'a' + 'A');
    const int n = 4 + static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) {
        s += ' ';
        if (rng() % 9 == 0)
            s += "<a href=\"/wiki/" + Word(rng) + "\">" + Word(rng) + "</a>";
        else
            s += Word(rng);
    }
    return s + ". ";
}

std::string Price(std::mt19937& rng) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%02u", static_cast<unsigned>(rng() % 900 + 1),
                  static_cast<unsigned>(rng() % 100));
    return buf;
}

struct Case {
    const char* name;
    std::string watched;
    std::string reference;
    std::string changed;
    std::string expected;
    bool slowStepByStep; // the step-by-step version takes minutes: run it fewer times
};

Case RealisticPage() {
    std::mt19937 rng(4711);
    std::string head =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Catalogue</title>\n<link rel=\"stylesheet\" href=\"/static/site.css\">\n"
        "</head>\n<body>\n<nav><ul><li><a href=\"/\">Home</a></li><li><a href=\"/shop\">Shop"
        "</a></li><li><a href=\"/about\">About</a></li></ul></nav>\n";
    std::string body;
    bool placed = false;
    const std::string special = "<tr><td class=\"name\">Deluxe Widget</td><td class=\"price\">"
                                "Special offer: <b>1,234.56</b> EUR</td></tr>\n";
    while (body.size() < kPageSize - 4096) {
        if (rng() % 3 == 0) {
            body += "<table class=\"products\">\n<tr><th>Product</th><th>Price</th></tr>\n";
            const int rows = 5 + static_cast<int>(rng() % 30);
            for (int r = 0; r < rows; ++r) {
                body += "<tr><td class=\"name\"><a href=\"/item/" + std::to_string(rng() % 100000) +
                        "\">" + Word(rng) + " " + Word(rng) + "</a></td><td class=\"price\">" +
                        Price(rng) + " EUR</td></tr>\n";
                if (!placed && body.size() > kPageSize * 7 / 10) {
                    body += special;
                    placed = true;
                }
            }
            body += "</table>\n";
        } else {
            body += "<div class=\"article\"><h2>" + Word(rng) + " " + Word(rng) + "</h2>\n";
            const int paragraphs = 1 + static_cast<int>(rng() % 4);
            for (int p = 0; p < paragraphs; ++p) {
                body += "<p>";
                const int sentences = 2 + static_cast<int>(rng() % 6);
                for (int s = 0; s < sentences; ++s)
                    body += Sentence(rng);
                body += "</p>\n";
            }
            body += "</div>\n";
        }
    }
    std::string page = head + body + "<footer>&copy; Catalogue</footer>\n</body>\n</html>\n";
    std::string changed = page;
    changed.replace(changed.find("1,234.56"), 8, "1,199.00");
    return {"realistic page", "Special offer: 1,234.56", page,
            changed,          "Special offer: 1,199.00", false};
}

Case AlikeRowsPage() {
    const std::string head = "<html><head><title>Stock list</title></head><body>\n<table>\n";
    const std::string tail = "</table>\n</body></html>\n";
    const std::string row = "<tr><td>Widget</td><td>10.00</td><td>in stock</td></tr>\n";
    const std::string watched = "<tr><td>Widget</td><td>12.50</td><td>in stock</td></tr>\n";
    const std::size_t half =
        (kPageSize - head.size() - tail.size() - watched.size()) / row.size() / 2;
    std::string rows;
    for (std::size_t i = 0; i < half; ++i)
        rows += row;
    const std::string page = head + rows + watched + rows + tail;
    std::string changed = page;
    changed.replace(changed.find("12.50"), 5, "13.75");
    return {"alike rows", "12.50", page, changed, "13.75", true};
}

// ---- timing ----

using Clock = std::chrono::steady_clock;

template <class F> double Median(int runs, F f) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool Check(const char* who, int code, const std::string& got, const Case& c) {
    if (code == 0 && got == c.expected)
        return true;
    std::printf("  %s: WRONG RESULT %d \"%s\" (expected \"%s\")\n", who, code, got.c_str(),
                c.expected.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 21;
    int literalRuns = 1;
    bool literal = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--literal-runs") && i + 1 < argc)
            literalRuns = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--skip-literal"))
            literal = false;
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--literal-runs N] [--skip-literal]\n",
                         argv[0]);
            return 2;
        }
    }

    bool ok = true;
    for (const Case& c : {RealisticPage(), AlikeRowsPage()}) {
        std::printf("%s: %zu bytes, watched \"%s\"\n", c.name, c.reference.size(),
                    c.watched.c_str());
        std::string out;
        int code = 0;

        const std::size_t before = g_current;
        g_peak = g_current;
        code = sentrel::ExtractWatchedText(c.watched, c.reference, c.changed, out);
        const std::size_t extra = g_peak - before - out.capacity();
        ok = Check("fast", code, out, c) && ok;

        const double fast = Median(runs, [&] {
            code = sentrel::ExtractWatchedText(c.watched, c.reference, c.changed, out);
        });
        std::printf("  fast:         median %9.3f ms over %d runs, extra heap %zu bytes "
                    "(%.2f per page byte)\n",
                    fast, runs, extra, static_cast<double>(extra) / c.reference.size());

        if (literal) {
            const int n = c.slowStepByStep ? literalRuns : runs;
            const double slow = Median(n, [&] {
                code = sentrel::literal::ExtractWatchedText(c.watched, c.reference, c.changed, out);
            });
            ok = Check("step by step", code, out, c) && ok;
            std::printf("  step by step: median %9.3f ms over %d runs\n", slow, n);
        }
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
