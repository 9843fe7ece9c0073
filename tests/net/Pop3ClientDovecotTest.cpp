// The POP3 client against a real server (Dovecot) with a mailbox the test fills.

#include "net/Pop3Client.h"

#include "platform/ErrorCodes.h"
#include "tests/net/DovecotServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace sentrel {
namespace {

class Pop3ClientDovecotTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.AddUser("ann", "secret");
        server.Deliver("ann", first);
        server.Deliver("ann", second);
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
    }

    const std::string first = "From: Bob <bob@example.org>\r\n"
                              "Subject: First\r\n"
                              "\r\n"
                              "Hello Ann.\r\n";
    const std::string second = "From: Cy <cy@example.org>\r\n"
                               "Subject: Second,\r\n"
                               "\tfolded\r\n"
                               "\r\n"
                               "A line follows that starts with a full stop:\r\n"
                               ".hidden\r\n"
                               "end\r\n";
    test::CDovecotServer server;
};

TEST_F(Pop3ClientDovecotTest, ReadsTheMailboxWithoutChangingIt) {
    for (int round = 0; round < 2; ++round) {
        CPop3Client client;
        ASSERT_TRUE(client.Login("127.0.0.1", "ann", "secret", server.Port())) << server.Log();
        int count = 0;
        unsigned total = 0;
        ASSERT_TRUE(client.Stat(count, total));
        EXPECT_EQ(count, 2);

        std::string uid1, uid2;
        ASSERT_TRUE(client.GetMessageUid(1, uid1));
        ASSERT_TRUE(client.GetMessageUid(2, uid2));
        EXPECT_FALSE(uid1.empty());
        EXPECT_NE(uid1, uid2);
        unsigned size1 = 0, size2 = 0;
        ASSERT_TRUE(client.GetMessageSize(1, size1));
        ASSERT_TRUE(client.GetMessageSize(2, size2));
        // The messages' own sizes: their line ends are CR LF already.
        EXPECT_EQ(size1, first.size());
        EXPECT_EQ(size2, second.size());
        EXPECT_EQ(size1 + size2, total);

        CPop3Message message;
        ASSERT_TRUE(client.RetrieveHeaders(2, message));
        EXPECT_EQ(message.GetHeaderField("Subject"), "Second, folded");
        EXPECT_EQ(message.GetBody(), "");
        ASSERT_TRUE(client.RetrieveMessage(2, message));
        EXPECT_EQ(message.GetHeaderField("From"), "Cy <cy@example.org>");
        // The server stuffs the full stop; the message reads as it was delivered.
        EXPECT_EQ(message.GetBody(),
                  "A line follows that starts with a full stop:\r\n.hidden\r\nend");
        ASSERT_TRUE(client.RetrieveMessage(1, message));
        EXPECT_EQ(message.GetBody(), "Hello Ann.");
        EXPECT_TRUE(client.Quit());
    }
}

TEST_F(Pop3ClientDovecotTest, WrongPasswordOrUserIsRefusedAtOnce) {
    for (const auto& [user, password] :
         {std::pair<std::string, std::string>{"ann", "wrong"}, {"nobody-here", "secret"}}) {
        const auto start = std::chrono::steady_clock::now();
        CPop3Client client;
        SetLastError(0);
        EXPECT_FALSE(client.Login("127.0.0.1", user, password, server.Port()));
        EXPECT_EQ(GetLastError(), WSAEPROTONOSUPPORT);
        EXPECT_EQ(client.LastReply().rfind("-ERR", 0), 0u) << client.LastReply();
        EXPECT_FALSE(client.IsConnected());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    }
}

} // namespace
} // namespace sentrel
