#include "net/IcmpEcho.h"
#include "platform/ErrorCodes.h"
#include "tests/support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace sentrel {
namespace {

using Clock = std::chrono::steady_clock;

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// "<verdict> <last error> <milliseconds>" of one echo, for runs in a child.
std::string Echo(const char* host, unsigned timeoutMs, std::uint8_t size = 32) {
    SetLastError(0);
    const auto start = Clock::now();
    const bool ok = SendIcmpEcho(host, timeoutMs, size);
    return std::string(ok ? "ok" : "fail") + " " + std::to_string(ok ? 0 : GetLastError()) + " " +
           std::to_string(MillisecondsSince(start));
}

struct Verdict {
    std::string result;
    int error = -1;
    long long ms = -1;
};

Verdict Parse(const std::string& text) {
    Verdict v;
    const auto first = text.find(' ');
    const auto second = text.find(' ', first + 1);
    v.result = text.substr(0, first);
    v.error = std::stoi(text.substr(first + 1, second - first - 1));
    v.ms = std::stoll(text.substr(second + 1));
    return v;
}

TEST(IcmpEchoTest, RequestLayoutAndChecksum) {
    const std::string packet = BuildEchoRequest(0x1234, 0xA1B2C3D4, 32);
    ASSERT_EQ(packet.size(), 44u);
    EXPECT_EQ(packet.substr(0, 2), std::string("\x08\x00", 2));
    EXPECT_EQ(packet.substr(4, 8), std::string("\x34\x12\x00\x00\xD4\xC3\xB2\xA1", 8));
    EXPECT_EQ(packet.substr(12), std::string(32, 'E'));
    // A correct checksum makes the whole message sum to zero.
    EXPECT_EQ(InternetChecksum(Bytes(packet), packet.size()), 0);

    const std::string small = BuildEchoRequest(0, 0, 8);
    EXPECT_EQ(small.substr(2, 2), std::string("\xE2\xEA", 2));
    // An odd byte at the end counts as the first byte of a word padded with zero.
    const unsigned char odd[] = {0x01};
    EXPECT_EQ(InternetChecksum(odd, 1), 0xFFFE);
    const unsigned char oddFull[] = {0x08, 0x00, 0xAB};
    EXPECT_EQ(InternetChecksum(oddFull, 3), static_cast<std::uint16_t>(~(0x0008 + 0x00AB)));
}

TEST(IcmpEchoTest, ReplyTest) {
    // IP header of 20 bytes (IHL 5), then the ICMP message.
    std::string datagram(20, '\0');
    datagram[0] = 0x45;
    datagram += std::string("\x00\x00\x00\x00\x34\x12\x00\x00", 8);
    EXPECT_TRUE(IsEchoReply(Bytes(datagram), datagram.size(), true, 0x1234));
    EXPECT_FALSE(IsEchoReply(Bytes(datagram), datagram.size(), true, 0x1235));
    EXPECT_FALSE(IsEchoReply(Bytes(datagram), 27, true, 0x1234));
    EXPECT_FALSE(IsEchoReply(Bytes(datagram), 0, true, 0x1234));
    std::string request = datagram;
    request[20] = 8;
    EXPECT_FALSE(IsEchoReply(Bytes(request), request.size(), true, 0x1234));
    // Options make the header longer: the ICMP message starts after them.
    std::string withOptions = datagram.substr(0, 20) + std::string(4, '\x01') + datagram.substr(20);
    withOptions[0] = 0x46;
    EXPECT_TRUE(IsEchoReply(Bytes(withOptions), withOptions.size(), true, 0x1234));
    // A datagram socket hands over the ICMP message alone.
    const std::string bare = datagram.substr(20);
    EXPECT_TRUE(IsEchoReply(Bytes(bare), bare.size(), false, 0x1234));
}

TEST(IcmpEchoTest, FailuresBeforeAnythingIsSent) {
    SetLastError(0);
    EXPECT_FALSE(SendIcmpEcho("127.0.0.1", 1000, 7));
    EXPECT_EQ(GetLastError(), WSAENOBUFS);
    SetLastError(0);
    EXPECT_FALSE(SendIcmpEcho("127.0.0.1", 1000, 0));
    EXPECT_EQ(GetLastError(), WSAENOBUFS);
    SetLastError(0);
    EXPECT_FALSE(SendIcmpEcho("no-such-host.invalid", 1000, 32));
    EXPECT_EQ(GetLastError(), WSAEINVAL);
    SetLastError(0);
    EXPECT_FALSE(SendIcmpEcho("", 1000, 32));
    EXPECT_EQ(GetLastError(), WSAEINVAL);
}

// As root, with the raw socket: on loopback it sees our own request before the reply.
TEST(IcmpEchoTest, LoopbackAnswersThroughTheRawSocket) {
    ASSERT_EQ(::geteuid(), 0u) << "the raw-socket echo test needs root";
    const Verdict v = Parse(Echo("127.0.0.1", 2000));
    EXPECT_EQ(v.result, "ok");
    EXPECT_LT(v.ms, 1000);
    EXPECT_EQ(Parse(Echo("localhost", 2000, 8)).result, "ok");
}

TEST(IcmpEchoTest, ASilentHostTimesOut) {
    test::NetNamespaceOptions options;
    options.silence127_0_0_2 = true;
    const auto run = test::RunInNetNamespace(options, [] {
        return Echo("127.0.0.2", 1500) + "|" + Echo("127.0.0.1", 1500) + "|" + Echo("127.0.0.2", 0);
    });
    ASSERT_TRUE(run.ok) << run.error;
    const auto bar1 = run.output.find('|');
    const auto bar2 = run.output.find('|', bar1 + 1);
    const Verdict silent = Parse(run.output.substr(0, bar1));
    EXPECT_EQ(silent.result, "fail");
    EXPECT_EQ(silent.error, WSAETIMEDOUT);
    EXPECT_GE(silent.ms, 1490);
    EXPECT_LT(silent.ms, 2500);
    EXPECT_EQ(Parse(run.output.substr(bar1 + 1, bar2 - bar1 - 1)).result, "ok");
    // A time-out of 0 looks once and does not wait.
    const Verdict noWait = Parse(run.output.substr(bar2 + 1));
    EXPECT_EQ(noWait.error, WSAETIMEDOUT);
    EXPECT_LT(noWait.ms, 200);
}

// An ordinary user gets the datagram socket where the system allows it.
TEST(IcmpEchoTest, UnprivilegedUserUsesTheDatagramSocket) {
    test::NetNamespaceOptions options;
    options.asNobody = true;
    options.openPingGroupRange = true;
    options.silence127_0_0_2 = true;
    auto run = test::RunInNetNamespace(
        options, [] { return Echo("127.0.0.1", 2000) + "|" + Echo("127.0.0.2", 1000); });
    ASSERT_TRUE(run.ok) << run.error;
    const auto bar = run.output.find('|');
    EXPECT_EQ(Parse(run.output.substr(0, bar)).result, "ok") << run.output;
    const Verdict silent = Parse(run.output.substr(bar + 1));
    EXPECT_EQ(silent.error, WSAETIMEDOUT);
    EXPECT_GE(silent.ms, 990);

    // Where the system does not allow it, neither socket opens and the echo fails with
    // the socket's error.
    options.openPingGroupRange = false;
    options.silence127_0_0_2 = false;
    run = test::RunInNetNamespace(options, [] { return Echo("127.0.0.1", 2000); });
    ASSERT_TRUE(run.ok) << run.error;
    const Verdict refused = Parse(run.output);
    EXPECT_EQ(refused.result, "fail");
    EXPECT_EQ(refused.error, 10013); // access denied
    EXPECT_LT(refused.ms, 500);
}

} // namespace
} // namespace sentrel
