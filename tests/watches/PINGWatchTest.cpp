#include "watches/PINGWatch.h"
#include "tests/support/FakeNetwork.h"
#include "tests/support/NetNamespace.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace sentrel {
namespace {

using Clock = std::chrono::steady_clock;

CPINGWatch MakeWatch(const std::string& host, const std::string& size = "32",
                     const std::string& timeout = "5000") {
    CPINGWatch watch;
    watch.name = "router";
    watch.hostName = host;
    watch.packetSizeText = size;
    watch.timeToLiveText = "10";
    watch.timeoutText = timeout;
    watch.failureMessage = "router is down";
    return watch;
}

// "<T|N> <message> <milliseconds>" of one check, for runs in a child.
std::string CheckOnce(CPINGWatch watch) {
    std::string message = "before";
    const auto start = Clock::now();
    const bool triggered = watch.Check(message);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return std::string(triggered ? "T" : "N") + " " + message + " " + std::to_string(ms);
}

long long Milliseconds(const std::string& result) {
    return std::stoll(result.substr(result.rfind(' ') + 1));
}

TEST(PINGWatchTest, AnAnsweringHostDoesNotTrigger) {
    ASSERT_EQ(::geteuid(), 0u) << "the raw-socket ping needs root";
    test::FakeConnectionRequest connection;
    ScopedNetwork network({&connection});
    CPINGWatch watch = MakeWatch("127.0.0.1");
    std::string message = "before";
    EXPECT_FALSE(watch.Check(message));
    EXPECT_EQ(message, "before");
    EXPECT_EQ(connection.requests, 1);
    EXPECT_FALSE(MakeWatch("::1").Check(message));
    // Only the low byte of the packet size counts: 300 is 44 and 264 is 8.
    EXPECT_FALSE(MakeWatch("127.0.0.1", "300").Check(message));
    EXPECT_FALSE(MakeWatch("127.0.0.1", " +264x").Check(message));
}

// "Time to live" is stored only: a small one would report every host farther away as down.
TEST(PINGWatchTest, RequestsGoOutWithTheSystemsTimeToLive) {
    ASSERT_EQ(::geteuid(), 0u) << "watching the request needs a raw socket (root)";
    std::ifstream defaultTtlFile("/proc/sys/net/ipv4/ip_default_ttl");
    int defaultTtl = 0;
    ASSERT_TRUE(defaultTtlFile >> defaultTtl);
    const int watcher = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    ASSERT_GE(watcher, 0);
    CPINGWatch watch = MakeWatch("127.0.0.1");
    watch.timeToLiveText = "7";
    std::string message;
    EXPECT_FALSE(watch.Check(message));
    // Find our request among what the watcher saw and read the TTL of its IP header.
    int ttl = -1;
    const std::uint16_t ourId = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    unsigned char buffer[1024];
    pollfd readable{watcher, POLLIN, 0};
    while (ttl < 0 && ::poll(&readable, 1, 500) > 0) {
        const ssize_t n = ::recv(watcher, buffer, sizeof buffer, 0);
        const std::size_t h = (buffer[0] & 0x0F) * 4u;
        if (n >= static_cast<ssize_t>(h + 8) && buffer[h] == 8 &&
            (buffer[h + 4] | (buffer[h + 5] << 8)) == ourId) {
            ttl = buffer[8];
        }
    }
    ::close(watcher);
    EXPECT_EQ(ttl, defaultTtl);
}

TEST(PINGWatchTest, EchoesThatCannotBeMadeTrigger) {
    // Sizes below 8 after conversion: 7, 0, not a number, 263 (low byte 7).
    for (const char* size : {"7", "0", "abc", "263"}) {
        std::string message;
        EXPECT_TRUE(MakeWatch("127.0.0.1", size).Check(message)) << size;
        EXPECT_EQ(message, "router is down") << size;
    }
    std::string message;
    EXPECT_TRUE(MakeWatch("no-such-host.invalid").Check(message));
    EXPECT_EQ(message, "router is down");
}

TEST(PINGWatchTest, ASilentHostTriggersAfterTheTimeout) {
    test::NetNamespaceOptions options;
    options.silence127_0_0_2 = true;
    const auto run = test::RunInNetNamespace(options, [] {
        return CheckOnce(MakeWatch("127.0.0.2", "32", "1500")) + "|" +
               CheckOnce(MakeWatch("127.0.0.2", "32", "none")) + "|" +
               CheckOnce(MakeWatch("127.0.0.2", "32", "-5"));
    });
    ASSERT_TRUE(run.ok) << run.error;
    const auto bar1 = run.output.find('|');
    const auto bar2 = run.output.find('|', bar1 + 1);
    const std::string waited = run.output.substr(0, bar1);
    EXPECT_EQ(waited.rfind("T router is down ", 0), 0u) << waited;
    EXPECT_GE(Milliseconds(waited), 1490);
    EXPECT_LT(Milliseconds(waited), 2500);
    // No number, or a negative one, looks once without waiting.
    for (const std::string& result :
         {run.output.substr(bar1 + 1, bar2 - bar1 - 1), run.output.substr(bar2 + 1)}) {
        EXPECT_EQ(result.rfind("T router is down ", 0), 0u) << result;
        EXPECT_LT(Milliseconds(result), 200) << result;
    }
}

} // namespace
} // namespace sentrel
