#include "watches/WebTextAnchor.h"

#include "LiteralAnchor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace sentrel {
namespace {

struct Result {
    int code;
    std::string text;
    bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Result& r) {
    return os << r.code << " \"" << r.text << "\"";
}

Result Prefix(const std::string& s, const std::string& page) {
    Result r;
    r.code = ShortestUniquePrefix(s, page, r.text);
    return r;
}
Result Suffix(const std::string& s, const std::string& page) {
    Result r;
    r.code = ShortestUniqueSuffix(s, page, r.text);
    return r;
}
Result Left(const std::string& page, const std::string& t) {
    Result r;
    r.code = LeftAnchor(page, t, r.text);
    return r;
}
Result Right(const std::string& page, const std::string& t) {
    Result r;
    r.code = RightAnchor(page, t, r.text);
    return r;
}
Result Between(const std::string& l, const std::string& r, const std::string& page) {
    Result res;
    res.code = TextBetweenAnchors(l, r, page, res.text);
    return res;
}
Result Element(const std::string& page, const std::string& t) {
    Result r;
    r.code = EnclosingElementText(page, t, r.text);
    return r;
}
Result Extract(const std::string& watched, const std::string& ref, const std::string& page) {
    Result r;
    r.text = "stale";
    r.code = ExtractWatchedText(watched, ref, page, r.text);
    return r;
}

TEST(WebTextAnchorTest, UniqueHeadsAndTails) {
    const std::string page = "abcabd xyz abcabd!";
    EXPECT_EQ(Prefix("abd x", page), (Result{0, "abd "}));
    EXPECT_EQ(Prefix("", page), (Result{512, ""}));
    EXPECT_EQ(Prefix("abcabd", page), (Result{512, ""})); // the whole text repeats
    EXPECT_EQ(Prefix("abq", page), (Result{514, ""}));    // "ab" repeats, "abq" is absent
    EXPECT_EQ(Prefix("!", page), (Result{0, "!"}));
    // Overlapping occurrences count as a second one.
    EXPECT_EQ(Prefix("aaab", "aaaab"), (Result{0, "aaab"}));

    EXPECT_EQ(Suffix("", page), (Result{0, ""}));
    EXPECT_EQ(Suffix("abcabd", page), (Result{0, "abcabd"})); // whole text, though it repeats
    EXPECT_EQ(Suffix("qabd ", page), (Result{0, "d "}));
    EXPECT_EQ(Suffix("qbd", page), (Result{514, ""}));
    EXPECT_EQ(Suffix("qq", page), (Result{514, ""}));
}

TEST(WebTextAnchorTest, AnchorsAroundText) {
    const std::string page = "<p>one</p><p>two</p><p>one</p>";
    // Nothing precedes: empty left anchor. Tails of "<p>one</p><p>" up to "/p><p>" repeat.
    EXPECT_EQ(Left(page, "<p>one"), (Result{0, ""}));
    EXPECT_EQ(Left(page, "two"), (Result{0, "e</p><p>"}));
    EXPECT_EQ(Right(page, "two"), (Result{0, "</p><p>o"}));
    // Nothing follows the text, or what follows occurs twice.
    EXPECT_EQ(Right("abc", "bc"), (Result{512, ""}));
    EXPECT_EQ(Right("ABxAB", "x"), (Result{512, ""}));
    // A text that is not in the page has no anchors.
    EXPECT_EQ(Left(page, "three"), (Result{514, ""}));
    EXPECT_EQ(Right(page, "three"), (Result{514, ""}));
}

TEST(WebTextAnchorTest, TextBetweenAnchors) {
    EXPECT_EQ(Between("<b>", "</b>", "x<b>42</b>y"), (Result{0, "42"}));
    EXPECT_EQ(Between("", "</b>", "x<b>42</b>y"), (Result{0, "x<b>42"}));
    // The right anchor is searched from the start, not after the left one.
    EXPECT_EQ(Between("L", "R", "R..L..R"), (Result{0, ""}));
    EXPECT_EQ(Between("L", "R", "xLRx"), (Result{0, ""}));
    EXPECT_EQ(Between("L", "Q", "xLRx"), (Result{514, ""}));
    EXPECT_EQ(Between("Q", "R", "xLRx"), (Result{514, ""}));
}

TEST(WebTextAnchorTest, EnclosingElement) {
    EXPECT_EQ(Element("<table><tr><td class=a>Gold 12</td></tr>", "12"), (Result{0, "Gold 12"}));
    EXPECT_EQ(Element("<P>Hi there</P>!", "there"), (Result{0, "Hi there"}));
    // Any tag starting with p opens, any end tag with the same first letter closes.
    EXPECT_EQ(Element("<pre>a b</pX>!", "b"), (Result{0, "a b"}));
    EXPECT_EQ(Element("<TD>cell</tr>!", "ell"), (Result{0, "cell"}));
    // The text too close to the start, no opening tag, no closing tag.
    EXPECT_EQ(Element("ab<p>x</p>", "ab"), (Result{514, ""}));
    EXPECT_EQ(Element("<b>bold</b>!", "old"), (Result{514, ""}));
    EXPECT_EQ(Element("<p>word</b>!", "word"), (Result{514, ""}));
    EXPECT_EQ(Element("<p>nothing", "thing"), (Result{514, ""}));
    EXPECT_EQ(Element("<p>x</p>", "q"), (Result{514, ""}));
    // The closing tag must leave a byte after its third character.
    EXPECT_EQ(Element("<p>x</p", "x"), (Result{514, ""}));
    EXPECT_EQ(Element("<p>x</p>", "x"), (Result{0, "x"}));
    // An opening tag whose ">" comes only after the closing tag encloses nothing.
    EXPECT_EQ(Element("<p xx</p> >", "xx"), (Result{0, ""}));
    EXPECT_EQ(Element("<p yy</p> no end", "yy"), (Result{0, ""}));
    EXPECT_EQ(Element("<p yy</p", "y"), (Result{514, ""}));
}

TEST(WebTextAnchorTest, VisibleText) {
    EXPECT_EQ(VisibleText("a \t b"), "a b");
    EXPECT_EQ(VisibleText("a\t\tb  "), "a b");
    EXPECT_EQ(VisibleText("<b\r\nclass=x>12</b> EUR\r\n"), "\r\n12 EUR\r\n");
    EXPECT_EQ(VisibleText("x <b>y</b>"), "x y");
    EXPECT_EQ(VisibleText("<a href='x y'>link</a>"), "link");
    EXPECT_EQ(VisibleText("a>b<c"), "ab");
    EXPECT_EQ(VisibleText(""), "");
}

TEST(WebTextAnchorTest, PriceSplitByBoldTag) {
    const std::string ref =
        "<html><body><p>Total price: <b>42</b> EUR</p><p>Other</p></body></html>";
    const std::string span = "Total price: <b>42";
    EXPECT_EQ(Left(ref, span), (Result{0, "y><p>"}));
    EXPECT_EQ(Right(ref, span), (Result{0, "</b>"})); // "</b" is also in "</body>"
    std::string changed = ref;
    changed.replace(changed.find("42"), 2, "45.50");
    EXPECT_EQ(Extract("  Total price: 42\r\n", ref, changed), (Result{0, "Total price: 45.50"}));
    EXPECT_EQ(Extract("Total price: 42", ref, ref), (Result{0, "Total price: 42"}));
}

TEST(WebTextAnchorTest, WatchedTextThatCannotBeAnchored) {
    const std::string ref = "<p>price 10 and price 10</p>";
    EXPECT_EQ(Extract("price 10", ref, ref), (Result{512, ""}));
    EXPECT_EQ(Extract("10</p>", ref, ref), (Result{512, ""})); // nothing follows it
    EXPECT_EQ(Extract("Zebra", ref, ref), (Result{514, ""}));  // first byte not in the page
    EXPECT_EQ(Extract(" \t ", ref, ref), (Result{512, ""}));   // blanks only
    EXPECT_EQ(Extract("", ref, ref), (Result{515, ""}));
    EXPECT_EQ(Extract("price", "", ref), (Result{516, ""}));
    EXPECT_EQ(Extract("price", ref, ""), (Result{517, ""}));
    EXPECT_EQ(Extract("", "", ""), (Result{515, ""}));
}

TEST(WebTextAnchorTest, TextAtTheStartAndAnchorsInReverse) {
    const std::string ref = "Hello world<p>end</p>";
    EXPECT_EQ(Extract("Hello", ref, "Howdy world<p>end</p>"), (Result{0, "Howdy"}));
    // Left anchor "X", right anchor "Y": the right one now comes first.
    EXPECT_EQ(Extract("b", "aXbYc", "..Y..X.."), (Result{0, ""}));
}

TEST(WebTextAnchorTest, CellWhoseNeighboursVanished) {
    const std::string ref = "<table><tr><td>Gold</td><td>Price 100</td></tr></table>";
    // First anchors: " " and "</td></"; the space is gone from the new page.
    const std::string changed = "<table><tr><td>Gold</td><td>Price:120</td></tr></table>";
    EXPECT_EQ(Extract("100", ref, changed), (Result{0, "Price:120"}));
    // Cell anchors gone as well.
    EXPECT_EQ(Extract("100", ref, "<div>Price:120</div>"), (Result{514, ""}));
    // No enclosing cell at all.
    EXPECT_EQ(Extract("100", "<b>Price 100</b> ok", "<b>Price:120</b> ok"), (Result{514, ""}));
}

// ---- differential test against the step-by-step version ----

class PageGenerator {
public:
    explicit PageGenerator(unsigned seed) : m_rng(seed) {}

    std::size_t Below(std::size_t n) { return n == 0 ? 0 : m_rng() % n; }

    std::string Random(std::size_t n, const std::string& alphabet) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += alphabet[Below(alphabet.size())];
        return s;
    }

    std::string Tagged(std::size_t cells) {
        static const std::vector<std::string> tags = {"<p>", "</p>", "<td>",     "</td>",
                                                      "<b>", "</b>", "<TD x=1>", "<pre>"};
        std::string s;
        for (std::size_t i = 0; i < cells; ++i) {
            s += tags[Below(tags.size())];
            s += Random(1 + Below(8), "ab 1\t2.\r\n");
        }
        return s;
    }

    // A table of alike rows: the anchors have to reach far to become unique.
    std::string Rows(std::size_t rows) {
        const std::string row = "<tr><td>" + Random(1 + Below(4), "ab") + "</td></tr>\n";
        std::string s = "<html>" + Random(Below(6), "xyz<>");
        const std::size_t odd = Below(rows + 1);
        for (std::size_t i = 0; i < rows; ++i)
            s += i == odd ? "<tr><td>" + Random(1 + Below(4), "ab9") + "</td></tr>\n" : row;
        return s + Random(Below(6), "xyz<>") + "</html>";
    }

    std::string Page() {
        switch (Below(4)) {
        case 0:
            return Random(1 + Below(60), "ab");
        case 1:
            return Random(1 + Below(300), "abc <>/pdt");
        case 2:
            return Tagged(1 + Below(40));
        default:
            return Rows(Below(60));
        }
    }

    // A changed copy: a few bytes replaced, a piece cut or doubled.
    std::string Change(std::string page) {
        const std::size_t edits = Below(4);
        for (std::size_t e = 0; e < edits && !page.empty(); ++e) {
            const std::size_t at = Below(page.size());
            switch (Below(3)) {
            case 0:
                page[at] = "ab9<>"[Below(5)];
                break;
            case 1:
                page.erase(at, 1 + Below(10));
                break;
            default:
                page.insert(at, page.substr(at, 1 + Below(30)));
                break;
            }
        }
        return page;
    }

    std::string Watched(const std::string& page) {
        if (page.empty())
            return Random(1 + Below(5), "ab");
        const std::size_t at = Below(page.size());
        const std::size_t len = 1 + Below(Below(4) == 0 ? page.size() : 12);
        switch (Below(7)) {
        case 0:
            return page.substr(0, len); // at the start
        case 1:
            return page.substr(page.size() - std::min(len, page.size())); // at the end
        case 2:
            return Random(1 + Below(6), "abz"); // maybe absent
        case 3:
            return " \t" + page.substr(at, len) + "\r\n"; // with blanks
        case 4:
            return VisibleText(page.substr(at, len)); // as typed
        default:
            return page.substr(at, len);
        }
    }

private:
    std::mt19937 m_rng;
};

Result LiteralExtract(const std::string& w, const std::string& ref, const std::string& page) {
    Result r;
    r.code = literal::ExtractWatchedText(w, ref, page, r.text);
    return r;
}

TEST(WebTextAnchorTest, SameResultsAsStepByStepVersion) {
    PageGenerator gen(20261207);
    int succeeded = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string ref = gen.Page();
        const std::string page = gen.Below(3) == 0 ? ref : gen.Change(ref);
        const std::string watched = gen.Watched(ref);
        const Result fast = Extract(watched, ref, page);
        ASSERT_EQ(fast, LiteralExtract(watched, ref, page))
            << "round " << round << "\nwatched: " << watched << "\nref: " << ref
            << "\npage: " << page;
        succeeded += fast.code == 0;

        // The helpers one by one, on heads, tails and pieces of the page.
        const std::string piece = gen.Watched(ref);
        const std::string other = gen.Watched(ref);
        Result expected;
        expected.code = literal::ShortestUniquePrefix(piece, ref, expected.text);
        ASSERT_EQ(Prefix(piece, ref), expected) << "round " << round;
        expected.code = literal::ShortestUniqueSuffix(piece, ref, expected.text);
        ASSERT_EQ(Suffix(piece, ref), expected) << "round " << round;
        expected.code = literal::LeftAnchor(ref, piece, expected.text);
        ASSERT_EQ(Left(ref, piece), expected) << "round " << round;
        expected.code = literal::RightAnchor(ref, piece, expected.text);
        ASSERT_EQ(Right(ref, piece), expected) << "round " << round;
        expected.code = literal::EnclosingElementText(ref, piece, expected.text);
        ASSERT_EQ(Element(ref, piece), expected) << "round " << round;
        expected.code = literal::TextBetweenAnchors(piece, other, ref, expected.text);
        ASSERT_EQ(Between(piece, other, ref), expected) << "round " << round;
        ASSERT_EQ(VisibleText(ref), literal::VisibleText(ref));
    }
    // The generator must exercise the success path, not only the failures.
    EXPECT_GT(succeeded, 300);
}

TEST(WebTextAnchorTest, LongAnchorsInAlikeRows) {
    // A watched cell in the middle of many identical rows: both anchors reach out to the
    // ends of the table, far beyond the plain-search steps.
    std::string rows;
    for (int i = 0; i < 200; ++i)
        rows += "<tr><td>Item</td><td>9.99</td></tr>\n";
    const std::string ref = "<html><table>\n" + rows + "<tr><td>Item</td><td>7.77</td></tr>\n" +
                            rows + "</table></html>";
    std::string changed = ref;
    changed.replace(changed.find("7.77"), 4, "8.88");
    const Result fast = Extract("7.77", ref, changed);
    EXPECT_EQ(fast, (Result{0, "8.88"}));
    EXPECT_EQ(fast, LiteralExtract("7.77", ref, changed));
    Result left;
    left.code = literal::LeftAnchor(ref, "7.77", left.text);
    ASSERT_EQ(left.code, 0);
    EXPECT_GT(left.text.size(), rows.size() / 2);
    EXPECT_EQ(Left(ref, "7.77"), left);
    // The whole rest of the page occurs twice: not unique.
    EXPECT_EQ(Right(rows + rows, rows), (Result{512, ""}));
    EXPECT_EQ(Prefix(rows + "xy", rows + rows + "x"), (Result{0, rows + "x"}));
    EXPECT_EQ(Suffix("yq" + rows, "q" + rows + "x" + rows), (Result{0, "q" + rows}));
}

} // namespace
} // namespace sentrel
