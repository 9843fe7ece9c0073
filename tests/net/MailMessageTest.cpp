#include "net/MailMessage.h"

#include "platform/ErrorCodes.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace sentrel {
namespace {

TEST(MailMessage, RecipientsWithAndWithoutNames) {
    CMailMessage message;
    EXPECT_TRUE(
        message.AddRecipients(" Ann Smith <ann@example.org> ;bob@example.org,", RecipientKind::To));
    ASSERT_EQ(message.to.size(), 2u);
    EXPECT_EQ(message.to[0].name, "Ann Smith");
    EXPECT_EQ(message.to[0].address, "ann@example.org");
    EXPECT_EQ(message.to[1].name, "");
    EXPECT_EQ(message.to[1].address, "bob@example.org");

    // Empty pieces and a bracket pair with nothing inside are skipped.
    EXPECT_TRUE(message.AddRecipients(" ,; Nobody <  >", RecipientKind::Cc));
    EXPECT_TRUE(message.cc.empty());

    // ">" before "<" stops the list; what came before stays.
    SetLastError(0);
    EXPECT_FALSE(message.AddRecipients("a@x.org; wrong> <b@x.org; c@x.org", RecipientKind::Bcc));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    ASSERT_EQ(message.bcc.size(), 1u);
    EXPECT_EQ(message.bcc[0].address, "a@x.org");
    EXPECT_FALSE(message.AddRecipients("Unclosed <c@x.org", RecipientKind::Bcc));
    EXPECT_EQ(message.bcc.size(), 1u);
}

TEST(MailMessage, BodyLinesEndInCrLfAndThoseStartingWithAFullStopAreStuffed) {
    CMailMessage message;
    message.SetBody("one\n.two\r\n.\r\nthree.\n");
    EXPECT_EQ(message.Body(), "one\r\n..two\r\n..\r\nthree.\r\n");
    message.SetBody(".first");
    EXPECT_EQ(message.Body(), "..first");
    message.SetBody("no dots at line starts\r\nhere. either\r\n");
    EXPECT_EQ(message.Body(), "no dots at line starts\r\nhere. either\r\n");
    // A bare CR ends a line too; CR CR LF is two line ends.
    message.SetBody("a\r.b\r\r\n\n.");
    EXPECT_EQ(message.Body(), "a\r\n..b\r\n\r\n\r\n..");
    message.SetBody("");
    EXPECT_EQ(message.Body(), "");
}

TEST(MailMessage, ZoneOffsetsAndEnglishDates) {
    EXPECT_EQ(ZoneText(-60), "+0100");
    EXPECT_EQ(ZoneText(300), "-0500");
    EXPECT_EQ(ZoneText(-330), "+0530");
    EXPECT_EQ(ZoneText(0), "+0000");
    EXPECT_EQ(ZoneText(570), "-0930");

    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(MailDate(1796661331), "Mon, 07 Dec 2026 17:35:31 +0100");
    EXPECT_EQ(MailDate(1782900000), "Wed, 01 Jul 2026 12:00:00 +0200");
    setenv("TZ", "Asia/Kolkata", 1);
    tzset();
    EXPECT_EQ(MailDate(1796661331), "Mon, 07 Dec 2026 22:05:31 +0530");
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

TEST(MailMessage, HeadersWithoutCcOrReplyToAndAOneLineSubject) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    test::FakeClock clock;
    ScopedPlatform platform(PlatformServices{&clock});
    CMailMessage message;
    message.from.address = "me@example.org";
    message.AddRecipients("a@x.org;B <b@x.org>", RecipientKind::To);
    message.AddRecipients("hidden@x.org", RecipientKind::Bcc);
    message.subject = "disk\rBcc: evil@x.org\nfull";
    EXPECT_EQ(message.BuildHeaders(), "From: me@example.org\r\n"
                                      "To: a@x.org,B <b@x.org>\r\n"
                                      "Subject: disk Bcc: evil@x.org full\r\n"
                                      "Date: Mon, 07 Dec 2026 17:35:31 +0100\r\n"
                                      "X-Mailer: Sentrel\r\n"
                                      "MIME-Version: 1.0\r\n"
                                      "Content-type: text/plain; charset=US-ASCII\r\n"
                                      "\r\n");
}

} // namespace
} // namespace sentrel
