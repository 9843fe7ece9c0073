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

// Everything the watch does to the outside, in order: fetches, popups, message boxes,
// connection requests. It serves a web site of one page; an empty page means the fetch
// fails part-way.
struct Recorder : IMessageBox, IAlertPopup, IConnectionRequester, IWebPageFetcher {
    std::vector<std::string> events;
    std::string page = "<p>Price: <b>10</b> EUR</p><p>in stock</p>";

    void Show(const std::string& text, const std::string& caption, MessageIcon) override {
        events.push_back("box " + caption + ": " + text);
    }
    int Open(const std::string& text) override {
        events.push_back("open " + text);
        return 7;
    }
    void Close(int handle) override { events.push_back("close " + std::to_string(handle)); }
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

    // Sets up the watch as the editor would, then forgets what that recorded.
    void Edit(const WebPageWatchValues& v) {
        ASSERT_TRUE(watch.ApplyEditorValues(v));
        rec.events.clear();
    }

    WebPageWatchValues Values(std::int32_t mode) {
        WebPageWatchValues v;
        v.name = "Shop";
        v.url = "http://127.0.0.1/shop";
        v.mode = mode;
        v.changedMessage = "changed";
        v.containsText = "SALE";
        v.containsMessage = "sale is on";
        v.absentText = "in stock";
        v.absentMessage = "sold out";
        v.textToWatch = "Price: 10";
        return v;
    }

    // Runs one check; the message starts with a marker so an untouched one shows.
    std::string CheckResult() {
        std::string message = "untouched";
        const bool triggered = watch.Check(message);
        return (triggered ? "triggered " : "quiet ") + message;
    }

    Recorder rec;
    FakeClock clock;
    ScopedPlatform platform{{&clock, &rec, &rec}};
    ScopedNetwork network{{&rec, &rec}};
    TempDir dir;
    std::string& page = rec.page;
    CWebPageWatch watch;
};

TEST_F(WebPageWatchTest, PageChanges) {
    Edit(Values(0));
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
    Edit(Values(1));
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
    Edit(Values(3));
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
    Edit(Values(0));
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
    WebPageWatchValues v = Values(0);
    v.webPassword = "secret";
    Edit(v);
    CheckResult();
    EXPECT_EQ(rec.events.back(), "fetch http://127.0.0.1/shop [:]");
    v.webUserName = "ann";
    v.webPassword = "";
    Edit(v);
    CheckResult(); // a user name with an empty password still sends credentials
    EXPECT_EQ(rec.events.back(), "fetch http://127.0.0.1/shop [ann:]");
    // The editor fetches with what was typed, not with what is stored.
    rec.events.clear();
    v.webPassword = "pw";
    ASSERT_TRUE(watch.ApplyEditorValues(v));
    EXPECT_EQ(rec.events,
              (std::vector<std::string>{"open Fetching web page... Please wait...", "connect",
                                        "fetch http://127.0.0.1/shop [ann:pw]", "close 7"}));
}

TEST_F(WebPageWatchTest, EditorNeedsNameAndAddress) {
    WebPageWatchValues v = Values(0);
    v.name.clear();
    v.url.clear();
    EXPECT_FALSE(watch.ApplyEditorValues(v));
    v.name = "Shop";
    EXPECT_FALSE(watch.ApplyEditorValues(v));
    EXPECT_EQ(rec.events, (std::vector<std::string>{"box Sentrel: Enter a Name for this Watch",
                                                    "box Sentrel: Enter a web address"}));
    EXPECT_EQ(watch.name, "");
    EXPECT_EQ(watch.referencePage, "");
}

TEST_F(WebPageWatchTest, EditorFetchFails) {
    watch.referencePage = "old reference";
    watch.lastPage = "old last";
    page.clear();
    EXPECT_FALSE(watch.ApplyEditorValues(Values(0)));
    EXPECT_EQ(rec.events, (std::vector<std::string>{
                              "open Fetching web page... Please wait...", "connect",
                              "fetch http://127.0.0.1/shop [:]", "close 7",
                              "box Sentrel: Unable to fetch web page.\nConnection failed"}));
    EXPECT_NE(
        Trace().find(" Web Page Watch Dialog Failed to fetch web page: http://127.0.0.1/shop\r\n"),
        std::string::npos)
        << Trace();
    EXPECT_EQ(watch.referencePage, "old reference");
    EXPECT_EQ(watch.lastPage, "old last");
    EXPECT_EQ(watch.name, "");
}

TEST_F(WebPageWatchTest, EditorStoresEverything) {
    WebPageWatchValues v = Values(2);
    v.webUserName = "ann";
    v.webPassword = "pw";
    ASSERT_TRUE(watch.ApplyEditorValues(v));
    EXPECT_EQ(rec.events.back(), "close 7");
    EXPECT_EQ(watch.referencePage, page);
    EXPECT_EQ(watch.lastPage, page);
    const WebPageWatchValues stored = watch.EditorValues();
    EXPECT_EQ(stored.name, "Shop");
    EXPECT_EQ(stored.url, v.url);
    EXPECT_EQ(stored.webUserName, "ann");
    EXPECT_EQ(stored.webPassword, "pw");
    EXPECT_EQ(stored.mode, 2);
    EXPECT_EQ(stored.changedMessage, "changed");
    EXPECT_EQ(stored.containsText, "SALE");
    EXPECT_EQ(stored.containsMessage, "sale is on");
    EXPECT_EQ(stored.absentText, "in stock");
    EXPECT_EQ(stored.absentMessage, "sold out");
    EXPECT_EQ(stored.textToWatch, "Price: 10");
}

TEST_F(WebPageWatchTest, EditorValidatesTheTextToWatch) {
    page = "<p>Price: 10</p><p>Price: 10</p>";
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"Price: 10", "The text to watch is not unique in the web page"},
        {"  \t", "The text to watch is not unique in the web page"},
        {"Cost", "The text and/or web page is too complex to analyse"},
        {"", "Please enter text to watch"},
    };
    for (const Case& c : cases) {
        WebPageWatchValues v = Values(3);
        v.textToWatch = c.text;
        rec.events.clear();
        EXPECT_FALSE(watch.ApplyEditorValues(v));
        EXPECT_EQ(rec.events.back(), "box Sentrel: " + c.message);
        EXPECT_EQ(watch.name, "");
        // The fetched page is kept even though the editor stays open.
        EXPECT_EQ(watch.referencePage, page);
        EXPECT_EQ(watch.lastPage, page);
    }
    // In the other modes the text to watch is not looked at.
    WebPageWatchValues v = Values(0);
    v.textToWatch = "";
    EXPECT_TRUE(watch.ApplyEditorValues(v));
    // A text that occurs once is accepted.
    page = "<p>Price: 10</p><p>other</p>";
    v = Values(3);
    EXPECT_TRUE(watch.ApplyEditorValues(v));
}

} // namespace
} // namespace sentrel
