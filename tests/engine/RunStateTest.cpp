// What the watches remember from run to run, in the file beside the store.

#include "engine/RunState.h"

#include "engine/Session.h"
#include "model/Watch.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sentrel {
namespace {

// Remembers `lines` for the mailbox `server`.
class RememberingWatch : public CWatch {
public:
    RememberingWatch(std::string s, std::vector<std::string> l)
        : server(std::move(s)), lines(std::move(l)) {}
    std::vector<std::string> LastingKey() const override { return {"test", server, "ann"}; }
    std::vector<std::string> LastingLines() const override { return lines; }
    void RestoreLasting(std::vector<std::string> restored) override { lines = std::move(restored); }

    std::string server;
    std::vector<std::string> lines;
};

RememberingWatch& Add(CSentrelDoc& doc, std::string server, std::vector<std::string> lines = {}) {
    auto watch = std::make_unique<RememberingWatch>(std::move(server), std::move(lines));
    RememberingWatch& added = *watch;
    doc.watches.push_back(std::move(watch));
    return added;
}

std::vector<std::string> LinesOf(const CSentrelDoc& doc, std::size_t at) {
    return static_cast<const RememberingWatch&>(*doc.watches.at(at)).lines;
}

TEST(RunState, EachWatchGetsWhatWasKeptForItsKey) {
    CSentrelDoc before;
    // Bytes a line could not hold as they are: blanks, line breaks, '%', not UTF-8.
    Add(before, "mail one.example:110", {"u1", "a b%c\r\n\xff", ""});
    Add(before, "pop.two.example", {"t1"});
    Add(before, "mail one.example:110", {"second of its key"});
    before.watches.push_back(std::make_unique<CWatch>()); // keeps nothing
    const std::string text = RunStateText(before);
    EXPECT_EQ(text, "sentrel-state 1\n"
                    "watch test mail%20one.example:110 ann\n"
                    "line u1\nline a%20b%25c%0D%0A\xff\nline \n"
                    "watch test pop.two.example ann\nline t1\n"
                    "watch test mail%20one.example:110 ann\nline second%20of%20its%20key\n");

    // The first watch was deleted, the second's server changed: the others keep theirs, in
    // the order of their key.
    CSentrelDoc after;
    Add(after, "mail one.example:110");
    Add(after, "pop.three.example");
    Add(after, "mail one.example:110");
    std::string why;
    ASSERT_TRUE(ApplyRunState(after, text, why)) << why;
    EXPECT_EQ(LinesOf(after, 0), (std::vector<std::string>{"u1", "a b%c\r\n\xff", ""}));
    EXPECT_EQ(LinesOf(after, 1), std::vector<std::string>());
    EXPECT_EQ(LinesOf(after, 2), std::vector<std::string>{"second of its key"});
}

TEST(RunState, ADamagedFileRestoresNothing) {
    const struct {
        const char* text;
        const char* why;
    } cases[] = {
        {"", "it is empty"},
        {"sentrel-state 2\n", "line 1 is not \"sentrel-state 1\""},
        {"sentrel-state 1\nline u1\n", "line 2 is not an entry"},
        {"sentrel-state 1\nwatch test a ann\nline u%4\n",
         "line 3 holds a field that is not written as this file writes them"},
        {"sentrel-state 1\nwatch test a ann\nline u1", "it ends in the middle of a line"},
    };
    for (const auto& c : cases) {
        CSentrelDoc doc;
        Add(doc, "a", {"untouched"});
        std::string why;
        EXPECT_FALSE(ApplyRunState(doc, c.text, why)) << c.text;
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(LinesOf(doc, 0), std::vector<std::string>{"untouched"});
    }
}

TEST(RunState, WrittenBesideTheStoreAtEverySaveForTheOwnerOnly) {
    test::TempDir dir;
    {
        CSentrelSession session(dir.File("Sentrel.bin"));
        ASSERT_TRUE(session.Open(StorePolicy::Interactive));
        Add(session.Doc(), "a", {"u1", "u2"});
        ASSERT_TRUE(session.Exit());
    }
    const std::string store = test::ReadFile(dir.File("Sentrel.bin"));
    EXPECT_EQ(test::ReadFile(dir.File("Sentrel.state")),
              "sentrel-state 1\nwatch test a ann\nline u1\nline u2\n");
    struct stat st {};
    ASSERT_EQ(stat(dir.File("Sentrel.state").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The store's own bytes do not depend on what is remembered.
    CSentrelDoc doc(dir.File("Sentrel.bin"));
    Add(doc, "a");
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(test::ReadFile(dir.File("Sentrel.bin")), store);
}

} // namespace
} // namespace sentrel
