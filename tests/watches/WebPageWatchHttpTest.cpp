// The web page watch against a real HTTP server (nginx on 127.0.0.1 and ::1, over http
// and https), in the process and through sentrelctl check-watch.

#include "model/SentrelDoc.h"
#include "services/EventLog.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestSupport.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace sentrel {
namespace {

std::string Shop(const std::string& gadgetPrice, const std::string& footer = "Open daily",
                 const std::string& label = "Price: ") {
    return "<html><body><h1>Shop</h1>\n<table>\n"
           "<tr><td>Widget</td><td class=\"price\">" +
           label + "<b>5.49</b> EUR</td></tr>\n" + "<tr><td>Gadget</td><td class=\"price\">" +
           label + "<b>" + gadgetPrice + "</b> EUR</td></tr>\n" +
           "<tr><td>Gizmo</td><td class=\"price\">" + label +
           "<b>7.25</b> EUR</td></tr>\n"
           "</table>\n<p>" +
           footer + "</p></body></html>\n";
}

class WebPageWatchHttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(nginx.AddUser("ann", "s3cret", &error)) << error;
        ASSERT_TRUE(nginx.AddUser("bob", "", &error)) << error;
        nginx.AddServerConfig("location /private/ { " + nginx.AuthBasic("Shop") + " }");
        nginx.AddFile("/shop.html", Shop("19.99"));
        nginx.AddFile("/private/shop.html", Shop("19.99"));
        ASSERT_TRUE(nginx.Start(&error)) << error;
    }

    // The watch as its editor leaves it on OK: its fields, and the page as fetched now for
    // its reference and its last page. False, with the fetcher's text, when the page cannot
    // be fetched.
    bool Edit(CWebPageWatch& edited, std::int32_t mode, const std::string& path,
              std::string* resultText = nullptr) {
        edited.name = "Gadget price";
        edited.url = nginx.Url(path);
        edited.mode = mode;
        edited.changedMessage = "the shop changed";
        edited.textToWatch = "19.99";
        std::string page;
        std::string text;
        if (!FetchWatchedPage("test", edited.url, edited.webUserName, edited.webPassword, page,
                              text)) {
            if (resultText) {
                *resultText = text;
            }
            return false;
        }
        edited.referencePage = edited.lastPage = page;
        return true;
    }

    std::string CheckResult() {
        std::string message;
        return watch.Check(message) ? "triggered " + message : "quiet";
    }

    test::NginxServer nginx;
    CWebPageWatch watch;
};

TEST_F(WebPageWatchHttpTest, PageChangesBetweenChecks) {
    ASSERT_TRUE(Edit(watch, 0, "/shop.html"));
    EXPECT_EQ(watch.referencePage, Shop("19.99"));
    EXPECT_EQ(CheckResult(), "quiet");
    nginx.AddFile("/shop.html", Shop("19.99", "Closed on Sunday"));
    EXPECT_EQ(CheckResult(), "triggered the shop changed");
    EXPECT_EQ(CheckResult(), "quiet");
    EXPECT_EQ(watch.lastPage, Shop("19.99", "Closed on Sunday"));
}

TEST_F(WebPageWatchHttpTest, PriceInATableCell) {
    ASSERT_TRUE(Edit(watch, 3, "/shop.html"));
    nginx.AddFile("/shop.html", Shop("17.49"));
    EXPECT_EQ(CheckResult(), "triggered 17.49");
    EXPECT_EQ(CheckResult(), "quiet");
    nginx.AddFile("/shop.html", Shop("17.49", "Closed on Sunday"));
    EXPECT_EQ(CheckResult(), "triggered 17.49");
    // The text just before the price is gone: the whole cell is taken.
    nginx.AddFile("/shop.html", Shop("16.00", "Closed on Sunday", "Now only "));
    EXPECT_EQ(CheckResult(), "triggered Now only 16.00 EUR");
    // A missing page: nothing triggers and the last page stays.
    watch.url = nginx.Url("/gone.html");
    EXPECT_EQ(CheckResult(), "quiet");
    EXPECT_EQ(watch.lastPage, Shop("16.00", "Closed on Sunday", "Now only "));
    EXPECT_EQ(watch.referencePage, Shop("19.99"));
}

TEST_F(WebPageWatchHttpTest, BasicAuthentication) {
    watch.containsText = "Gadget";
    watch.containsMessage = "gadgets in the shop";
    std::string resultText;
    EXPECT_FALSE(Edit(watch, 1, "/private/shop.html", &resultText));
    EXPECT_EQ(resultText, "Connection failed"); // 401

    watch.webUserName = "ann";
    watch.webPassword = "s3cret";
    ASSERT_TRUE(Edit(watch, 1, "/private/shop.html"));
    EXPECT_EQ(watch.referencePage, Shop("19.99"));
    EXPECT_EQ(CheckResult(), "triggered gadgets in the shop");
    watch.webPassword = "wrong";
    EXPECT_EQ(CheckResult(), "quiet");

    // A user name with an empty password still sends credentials (the location answers
    // 401 without them).
    watch.webUserName = "bob";
    watch.webPassword = "";
    EXPECT_EQ(CheckResult(), "triggered gadgets in the shop");
}

TEST_F(WebPageWatchHttpTest, SentrelctlReportsTheNewTextAtTheWatchedPlace) {
    test::TempDir dir;
    RegisterWatchKinds();
    {
        CSentrelDoc doc(dir.File("Sentrel.bin"));
        auto created = std::make_unique<CWebPageWatch>();
        ASSERT_TRUE(Edit(*created, 3, "/shop.html"));
        doc.watches.push_back(std::move(created));
        ASSERT_TRUE(doc.Save());
    }
    const std::vector<std::string> command = {SENTRELCTL_PATH, "check-watch",
                                              dir.File("Sentrel.bin"), "Gadget price"};
    std::string output;
    ASSERT_TRUE(test::RunAndCapture(command, output));
    EXPECT_EQ(output, "not triggered\n");

    nginx.AddFile("/shop.html", Shop("17.49"));
    ASSERT_TRUE(test::RunAndCapture(command, output));
    EXPECT_EQ(output, "triggered\n17.49\n");
    // The store keeps the page it saw last.
    ASSERT_TRUE(test::RunAndCapture(command, output));
    EXPECT_EQ(output, "not triggered\n");
}

// Each certificate a server may present, with the trust the user gave: the page is fetched,
// or the watch cannot check, and it and the trace say why in words the user can act on.
TEST(WebPageWatchHttpsTest, SentrelctlReportsEachCertificateProblem) {
    ::unsetenv("SSL_CERT_FILE");
    ::unsetenv("SSL_CERT_DIR");
    const test::TestCertificates& certificates = test::Certificates();
    const std::string trustFile = certificates.TrustFileSetting();
    const std::string trustDir = "SSL_CERT_DIR=" + certificates.caDir;
    const std::string noTrust = "SSL_CERT_FILE=";
    const std::string untrusted = "The server's certificate is not trusted";
    struct Case {
        const char* what;
        const test::TestCertificate& certificate;
        std::string host;
        std::string trust;
        std::string reason; // empty: fetched
    };
    const Case cases[] = {
        {"valid", certificates.valid, "127.0.0.1", trustFile, ""},
        {"valid, on ::1, CA folder", certificates.valid, "[::1]", trustDir, ""},
        {"valid, CA not given", certificates.valid, "127.0.0.1", noTrust, untrusted},
        {"expired", certificates.expired, "127.0.0.1", trustFile,
         "The server's certificate for 127.0.0.1 has expired"},
        {"other name", certificates.otherName, "127.0.0.1", trustFile,
         "The server's certificate name does not match 127.0.0.1"},
        {"untrusted CA", certificates.untrusted, "127.0.0.1", trustFile, untrusted},
    };
    RegisterWatchKinds();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::NginxServer nginx;
        nginx.UseTls(c.certificate);
        nginx.AddFile("/index.html", "<p>hello</p>");
        std::string error;
        ASSERT_TRUE(nginx.Start(&error)) << error;

        test::TempDir dir;
        const std::string store = dir.File("Sentrel.bin");
        {
            CSentrelDoc doc(store);
            doc.traceOn = true;
            auto watch = std::make_unique<CWebPageWatch>();
            watch->name = "greeting";
            watch->url = nginx.TlsUrl("/index.html", c.host);
            watch->mode = 1;
            watch->containsText = "hello";
            watch->containsMessage = "the page says hello";
            doc.watches.push_back(std::move(watch));
            ASSERT_TRUE(doc.Save());
        }
        const test::ProgramResult result =
            test::RunProgram({SENTRELCTL_PATH, "check-watch", store, "greeting"}, {c.trust});
        const std::string& output = result.out;
        EXPECT_EQ(result.exitCode, c.reason.empty() ? 0 : 1) << result.err;
        const std::string trace = std::filesystem::exists(TracePathFor(store))
                                      ? test::ReadFile(TracePathFor(store))
                                      : std::string();
        if (c.reason.empty()) {
            EXPECT_EQ(output, "triggered\nthe page says hello\n");
            EXPECT_EQ(trace, "");
        } else {
            EXPECT_EQ(output, "cannot check: " + c.reason + "\n");
            EXPECT_NE(trace.find("Web Page Watch Failed to fetch web page: " +
                                 nginx.TlsUrl("/index.html", c.host) + "\r\n"),
                      std::string::npos)
                << trace;
            EXPECT_NE(trace.find("Web Page Watch " + c.reason + "\r\n"), std::string::npos)
                << trace;
        }
    }
}

} // namespace
} // namespace sentrel
