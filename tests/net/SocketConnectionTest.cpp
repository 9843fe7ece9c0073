#include "net/SocketConnection.h"

#include "platform/ErrorCodes.h"
#include "tests/net/LoopbackServer.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace sentrel {
namespace {

using test::CLoopbackServer;
using test::CServerSession;

long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

TEST(SocketConnection, ConnectsToDottedAddressAndRejectsUnknownNameWithoutConnecting) {
    CLoopbackServer server([](CServerSession& s) { s.Write("hello\r\n"); });
    {
        CSocketConnection connection(2000);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        EXPECT_TRUE(connection.IsConnected());
        std::string text;
        ASSERT_TRUE(connection.ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply));
        EXPECT_EQ(text, "hello");
    }
    {
        SetLastError(0);
        CSocketConnection connection(2000);
        EXPECT_FALSE(connection.Open("no-such-host.invalid", server.Port()));
        EXPECT_EQ(GetLastError(), WSAEINVAL);
        EXPECT_FALSE(connection.IsConnected());
        EXPECT_EQ(connection.Handle(), INVALID_SOCKET);
    }
    server.Stop();
    EXPECT_EQ(server.Transcripts().size(), 1u);
}

TEST(SocketConnection, TakesIpv6AndTriesEachAddressInTurn) {
    CLoopbackServer v6([](CServerSession& s) { s.Write("six\r\n"); }, true);
    for (const char* host : {"::1", "[::1]"}) {
        CSocketConnection connection(2000);
        ASSERT_TRUE(connection.Open(host, v6.Port())) << connection.FailureReason();
        std::string text;
        ASSERT_TRUE(connection.ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply));
        EXPECT_EQ(text, "six");
    }

    // A name with two addresses, of which the first refuses.
    CLoopbackServer v4([](CServerSession& s) { s.Write("four\r\n"); });
    std::vector<HostAddress> addresses = LookUpHost("::1", v4.Port());
    const std::vector<HostAddress> second = LookUpHost("127.0.0.1", v4.Port());
    ASSERT_EQ(addresses.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    addresses.push_back(second.front());
    std::string reason;
    const SocketHandle socket =
        ConnectToAny(addresses, "mail.example.org", v4.Port(), 2000, &reason);
    ASSERT_NE(socket, INVALID_SOCKET) << reason;
    close(socket);
    v4.Stop();
    EXPECT_EQ(v4.Transcripts().size(), 1u);
}

TEST(SocketConnection, ReadsAServerWithOrWithoutItsPort) {
    const struct {
        const char* server;
        const char* host; // nullptr: refused
        int port;
    } cases[] = {
        {"pop.example.org", "pop.example.org", 110},
        {"pop.example.org:995", "pop.example.org", 995},
        {"[::1]:995", "::1", 995},
        {"[::1]", "::1", 110},
        {"2001:db8::1", "2001:db8::1", 110},
        {"pop.example.org:", nullptr, 0},
        {"pop.example.org:0", nullptr, 0},
        {"pop.example.org:65536", nullptr, 0},
        {"pop.example.org:99999999999", nullptr, 0},
        {"pop.example.org:9x", nullptr, 0},
        {":995", nullptr, 0},
        {"[::1", nullptr, 0},
        {"[::1]995", nullptr, 0},
        {"[]:995", nullptr, 0},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseHostAndPort(c.server, 110);
        ASSERT_EQ(parsed.has_value(), c.host != nullptr) << c.server;
        if (parsed) {
            EXPECT_EQ(parsed->host, c.host) << c.server;
            EXPECT_EQ(parsed->port, c.port) << c.server;
        }
    }
}

TEST(SocketConnection, RefusedConnectionFails) {
    CSocketConnection connection(2000);
    EXPECT_FALSE(connection.Open("127.0.0.1", test::UnusedLoopbackPort()));
    EXPECT_EQ(GetLastError(), WSAECONNREFUSED);
    EXPECT_FALSE(connection.IsConnected());
}

TEST(SocketConnection, SendsTextAsIs) {
    CLoopbackServer server([](CServerSession& s) { s.ReadUntil("END\r\n"); });
    {
        CSocketConnection connection(2000);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        EXPECT_TRUE(connection.Send("USER a\r\n"));
        EXPECT_TRUE(connection.Send(std::string("\0\x01\xff", 3) + "END\r\n"));
    }
    server.Stop();
    EXPECT_EQ(server.Transcript(), std::string("USER a\r\n\0\x01\xff", 11) + "END\r\n");
}

TEST(SocketConnection, SilentServerTimesOutAndSlowSteadyServerDoesNot) {
    CLoopbackServer server([](CServerSession& s) {
        if (s.ReadLine() == "slow\r\n") {
            // 8 bytes 100 ms apart: 700 ms in all, more than the 300 ms time-out.
            s.WriteBytewise("+OK go\r\n", 100);
        }
    });
    {
        CSocketConnection connection(300);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        ASSERT_TRUE(connection.Send("quiet\r\n"));
        const auto start = std::chrono::steady_clock::now();
        std::string text;
        EXPECT_FALSE(connection.ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply));
        const long elapsed = ElapsedMs(start);
        EXPECT_EQ(GetLastError(), WSAETIMEDOUT);
        EXPECT_GE(elapsed, 300);
        EXPECT_LT(elapsed, 1500);
        EXPECT_EQ(connection.LastReply(), "");
    }
    {
        CSocketConnection connection(300);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        ASSERT_TRUE(connection.Send("slow\r\n"));
        std::string text;
        EXPECT_TRUE(connection.ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply));
        EXPECT_EQ(text, "+OK go");
    }
}

TEST(SocketConnection, PeerClosingBeforeTheEndOfTheReplyEndsTheWaitAtOnce) {
    CLoopbackServer server([](CServerSession& s) {
        s.Write("220 partial");
        s.Close();
    });
    CSocketConnection connection(5000);
    ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
    const auto start = std::chrono::steady_clock::now();
    std::string text;
    EXPECT_FALSE(connection.ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply));
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(GetLastError(), WSAECONNRESET);
    EXPECT_EQ(connection.LastReply(), "220 partial");
    EXPECT_EQ(connection.FailureReason(), "The server closed the connection");
    EXPECT_FALSE(connection.IsConnected()); // no QUIT to a peer that is gone
}

// Connecting, one whole reply and its size are bounded, whatever the peer does.
TEST(SocketConnection, ConnectReplyTimeAndReplySizeAreBounded) {
    // A listener whose backlog is full lets the next connection hang in its handshake.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int filler = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    {
        CSocketConnection connection(2000, 300);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(connection.Open("127.0.0.1", ntohs(address.sin_port)));
        EXPECT_LT(ElapsedMs(start), 1500);
        EXPECT_EQ(GetLastError(), WSAETIMEDOUT);
        EXPECT_EQ(connection.FailureReason(),
                  "No connection to 127.0.0.1:" + std::to_string(ntohs(address.sin_port)) +
                      " within 300 ms");
    }
    close(filler);
    close(listener);

    // A byte every 100 ms never lets the 300 ms inactivity time-out pass; the reply's own
    // limit of 700 ms ends it.
    CLoopbackServer server([](CServerSession& s) {
        if (s.ReadLine() == "trickle\r\n") {
            s.WriteBytewise(std::string(12, 'x'), 100);
        } else {
            for (int i = 0; i < 64; ++i) { // up to 4 MiB, not one terminator in it
                s.Write(std::string(64 * 1024, 'y'));
            }
        }
    });
    {
        CSocketConnection connection(300, 2000, 700);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        ASSERT_TRUE(connection.Send("trickle\r\n"));
        const auto start = std::chrono::steady_clock::now();
        std::string text;
        EXPECT_FALSE(connection.ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply));
        EXPECT_GE(ElapsedMs(start), 700);
        EXPECT_LT(ElapsedMs(start), 1500);
        EXPECT_EQ(GetLastError(), WSAETIMEDOUT);
        EXPECT_EQ(connection.FailureReason(), "The reply was not complete after 700 ms");
        EXPECT_FALSE(connection.IsConnected()); // the rest would be taken for the next reply
    }
    {
        CSocketConnection connection(2000);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        ASSERT_TRUE(connection.Send("flood\r\n"));
        std::string text;
        EXPECT_FALSE(connection.ReceiveUntil(text, 100, "\r\n.\r\n", 32000, 100000));
        EXPECT_EQ(GetLastError(), WSAEMSGSIZE);
        EXPECT_EQ(connection.LastReply(), std::string(100000, 'y'));
        EXPECT_EQ(connection.FailureReason(), "The reply is longer than 100000 bytes");
        EXPECT_FALSE(connection.IsConnected());
    }
}

// Through TLS the handshake is bounded like the connect, and replies like plain ones.
TEST(SocketConnection, TlsKeepsEveryBound) {
    const auto& certificates = test::Certificates();
    test::ScopedTrust trust(certificates.caFile, {});
    int connections = 0;
    CLoopbackServer server([&certificates, &connections](CServerSession& s) {
        if (connections++ == 0 || !s.StartTls(certificates.valid)) {
            return; // the first client's handshake is never answered
        }
        const std::string command = s.ReadLine();
        if (command == "trickle\r\n") {
            s.WriteBytewise(std::string(12, 'x'), 100);
        } else if (command == "split\r\n") {
            s.WriteBytewise("+OK split\r\n", 1); // one record per byte
        } else if (command == "close\r\n") {
            s.Write("+OK part");
            s.Close();
        } else if (command == "flood\r\n") {
            for (int i = 0; i < 64; ++i) {
                s.Write(std::string(64 * 1024, 'y'));
            }
        }
    });
    struct Case {
        std::string command;
        int error;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"", WSAETIMEDOUT, "No TLS handshake with 127.0.0.1 within 300 ms"},
        {"quiet", WSAETIMEDOUT, "The server sent nothing for 300 ms"},
        {"close", WSAECONNRESET, "The server closed the connection"},
        {"split", 0, ""},
        {"flood", WSAEMSGSIZE, "The reply is longer than 100000 bytes"},
        // Last: the server goes on trickling after the client has given up.
        {"trickle", WSAETIMEDOUT, "The reply was not complete after 700 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        // A handshake that is answered gets time to spare: a loaded machine or a sanitizer
        // build may take longer than 300 ms over it.
        CSocketConnection connection(300, c.command.empty() ? 300 : 10000, 700);
        ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
        auto start = std::chrono::steady_clock::now();
        if (c.command.empty()) {
            EXPECT_FALSE(connection.StartTls());
            EXPECT_FALSE(connection.IsConnected());
        } else {
            ASSERT_TRUE(connection.StartTls()) << connection.FailureReason();
            start = std::chrono::steady_clock::now();
            ASSERT_TRUE(connection.Send(c.command + "\r\n"));
            std::string text;
            EXPECT_EQ(connection.ReceiveUntil(text, 100, "\r\n", 4096, 100000), c.error == 0);
            EXPECT_EQ(text, c.error == 0 ? "+OK split" : "");
        }
        EXPECT_LT(ElapsedMs(start), 1500);
        if (c.error != 0) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(connection.FailureReason(), c.reason);
    }
}

TEST(SocketConnection, LongReplyGrowsTheBufferAndSplitRepliesAreJoined) {
    std::string big;
    for (int i = 0; i < 2000; ++i) {
        big += "line " + std::to_string(i) + "\r\n";
    }
    CLoopbackServer server([&big](CServerSession& s) {
        s.ReadLine();
        s.Write(big + ".\r\n");
        s.ReadLine();
        s.WriteBytewise("+OK split\r\n", 1);
    });
    CSocketConnection connection(2000);
    ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
    ASSERT_TRUE(connection.Send("RETR\r\n"));
    std::string text;
    ASSERT_TRUE(connection.ReceiveUntil(text, 20, "\r\n.\r\n", 64, kMaxCommandReply));
    EXPECT_EQ(text, big.substr(0, big.size() - 2)); // the terminator's bytes are cut
    ASSERT_TRUE(connection.Send("NEXT\r\n"));
    ASSERT_TRUE(connection.ReceiveUntil(text, 4, "\r\n", 1, kMaxCommandReply));
    EXPECT_EQ(text, "+OK split");
}

TEST(SocketConnection, SendingToAClosedPeerFailsWithoutKillingTheProgram) {
    CLoopbackServer server([](CServerSession& s) { s.Close(); });
    CSocketConnection connection(2000);
    ASSERT_TRUE(connection.Open("127.0.0.1", server.Port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let the server close
    // The first sends may still be buffered; the reset then fails the next one.
    bool failed = false;
    for (int i = 0; i < 50 && !failed; ++i) {
        failed = !connection.Send("NOOP\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(failed);
    EXPECT_TRUE(GetLastError() == WSAESHUTDOWN || GetLastError() == WSAECONNRESET)
        << GetLastError();
}

} // namespace
} // namespace sentrel
