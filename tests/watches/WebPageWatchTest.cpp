#include "watches/WebPageWatch.h"

#include "services/EventLog.h"
#include "services/NetworkServices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sentrel {
namespace {

using test::FakeClock;
using test::ReadFile;
using test::TempDir;

// Everything the watch does to the outside, in order: connection requests and fetches. It
// serves a web site of one page; an empty page means the fetch fails part-way.
struct Recorder : IConnectionRequester, IWebPageFetcher {
    std::vector<std::string> events;
    std::string page = "<p>Price: <b>10</b> EUR</p><p>in stock</p>";

    void RequestConnection() override { events.push_back("connect"); }
    bool Fetch(const std::string& url, const std::string& user, const std::string& password,
               std::string& body, std::string& resultText, std::string&) override {
        events.push_back("fetch " + url + " [" + user + ":" + password + "]");
        if (page.empty()) {
            body = "<p>Pri"; // a transfer that broke off hands back what it read
            resultText = "Connection failed";
            return false;
        }
        body = page;
        resultText = "Successful";
        return true;
    }
};

class WebPageWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        CTraceFile::Instance().SetPath(dir.File("trace.txt"));
        CTraceFile::Instance().SwitchOn();
    }
    void TearDown() override { CTraceFile::Instance().SwitchOff(); }

    std::string Trace() { return ReadFile(dir.File("trace.txt")); }

    // The watch as its editor leaves it: the page of the moment is its reference and its
    // last page.
    void Edit(std::int32_t mode) {
        watch.name = "Shop";
        watch.url = "http://127.0.0.1/shop";
        watch.mode = mode;
        watch.changedMessage = "changed";
        watch.containsText = "SALE";
        watch.containsMessage = "sale is on";
        watch.absentText = "in stock";
        watch.absentMessage = "sold out";
        watch.textToWatch = "Price: 10";
        watch.referencePage = watch.lastPage = page;
    }

    // Runs one check; the message starts with a marker so an untouched one shows.
    std::string CheckResult() {
        std::string message = "untouched";
        const bool triggered = watch.Check(message);
        return (triggered ? "triggered " : "quiet ") + message;
    }

    Recorder rec;
    FakeClock clock;
    ScopedPlatform platform{{&clock}};
    ScopedNetwork network{{&rec, &rec}};
    TempDir dir;
    std::string& page = rec.page;
    CWebPageWatch watch;
};

TEST_F(WebPageWatchTest, PageChanges) {
    Edit(0);
    EXPECT_EQ(CheckResult(), "quiet untouched"); // unchanged since the editor fetched it
    page = "<p>Price: <b>12</b> EUR</p>";
    EXPECT_EQ(CheckResult(), "triggered changed");
    EXPECT_EQ(CheckResult(), "quiet untouched");
    page = "<p>Price: <b>10</b> EUR</p>";
    EXPECT_EQ(CheckResult(), "triggered changed");
    page = "<p>Price: <b>12</b> EUR</p>";
    EXPECT_EQ(CheckResult(), "triggered changed");
    EXPECT_EQ(watch.lastPage, page);
    EXPECT_EQ(rec.events.front(), "connect");
    EXPECT_EQ(rec.events[1], "fetch http://127.0.0.1/shop [:]");
}

TEST_F(WebPageWatchTest, PageContainsOrLacksText) {
    Edit(1);
    EXPECT_EQ(CheckResult(), "quiet untouched");
    page += "SALE";
    EXPECT_EQ(CheckResult(), "triggered sale is on");
    EXPECT_EQ(CheckResult(), "triggered sale is on"); // again while the text is there
    EXPECT_EQ(watch.lastPage, page);
    watch.containsText.clear(); // the empty text is always found
    page = "x";
    EXPECT_EQ(CheckResult(), "triggered sale is on");

    watch.mode = 2;
    page = "<p>in stock</p>";
    EXPECT_EQ(CheckResult(), "quiet untouched");
    page = "<p>sold</p>";
    EXPECT_EQ(CheckResult(), "triggered sold out");
    EXPECT_EQ(CheckResult(), "triggered sold out");
    watch.absentText.clear(); // the empty text is never absent
    EXPECT_EQ(CheckResult(), "quiet untouched");

    watch.mode = 4;
    EXPECT_EQ(CheckResult(), "quiet untouched");
}

TEST_F(WebPageWatchTest, SpecificTextChanges) {
    Edit(3);
    EXPECT_EQ(CheckResult(), "quiet untouched");
    page = "<p>Price: <b>12.50</b> EUR</p><p>in stock</p>";
    EXPECT_EQ(CheckResult(), "triggered Price: 12.50");
    // A change elsewhere triggers too, with the same text.
    page = "<p>Price: <b>12.50</b> EUR</p><p>in stock!</p>";
    EXPECT_EQ(CheckResult(), "triggered Price: 12.50");
    EXPECT_EQ(CheckResult(), "quiet untouched");
    // Anchors and cell gone: the fixed text.
    page = "<div>Price 13</div>";
    EXPECT_EQ(CheckResult(), "triggered WebWatch: The new web page is too complex to analyse");
    EXPECT_EQ(watch.lastPage, page);
    // Another failure of the anchoring gives an empty message.
    watch.textToWatch = "";
    page = "<div>Price 14</div>";
    EXPECT_EQ(CheckResult(), "triggered ");
    EXPECT_EQ(watch.referencePage, "<p>Price: <b>10</b> EUR</p><p>in stock</p>");
}

TEST_F(WebPageWatchTest, FailedFetchKeepsThePreviousPage) {
    Edit(0);
    const std::string before = page;
    page.clear();
    EXPECT_EQ(CheckResult(), "quiet untouched");
    EXPECT_EQ(watch.lastPage, before);
    EXPECT_NE(Trace().find(" Web Page Watch Failed to fetch web page: http://127.0.0.1/shop\r\n"),
              std::string::npos)
        << Trace();
    page = before; // back as it was before the failure: no change
    EXPECT_EQ(CheckResult(), "quiet untouched");
}

TEST_F(WebPageWatchTest, CredentialsOnlyWithUserName) {
    Edit(0);
    watch.webPassword = "secret";
    CheckResult();
    EXPECT_EQ(rec.events.back(), "fetch http://127.0.0.1/shop [:]");
    watch.webUserName = "ann";
    watch.webPassword = "";
    CheckResult(); // a user name with an empty password still sends credentials
    EXPECT_EQ(rec.events.back(), "fetch http://127.0.0.1/shop [ann:]");
}

} // namespace
} // namespace sentrel
