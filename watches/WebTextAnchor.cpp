#include "watches/WebTextAnchor.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// How the searches stay fast. An anchor is found by growing a candidate one byte at a time
// until it occurs only once in the page. Done with a fresh search per step, that costs the
// anchor's length times the page's length, which is fine for the short anchors of an
// ordinary page but quadratic on a page of alike rows, where anchors grow to whole stretches
// of the page. So the first steps use plain searches, and when an anchor is still not unique
// after a few bytes, one linear pass over the page (Z-algorithm matching) measures, for
// every page position, how long a head (or tail) of the text matches there; the two longest
// matches decide the answer at once. Searches for long patterns use the same matcher, so no
// search costs more than a pass over the page.

namespace sentrel {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

// Patterns up to this length go to the library's search, whose worst case (pattern length
// times page length) stays small for them.
constexpr std::size_t kShortPattern = 32;

// Growth steps tried with plain searches before switching to a linear pass.
constexpr std::size_t kPlainSteps = 24;

// Byte access to a text read forwards or backwards, so that tails can be matched like heads.
struct Forward {
    const char* data;
    std::size_t size;
    unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(data[i]); }
};

struct Backward {
    const char* data;
    std::size_t size;
    unsigned char operator[](std::size_t i) const {
        return static_cast<unsigned char>(data[size - 1 - i]);
    }
};

// z[i] = length of the longest common prefix of pat and pat[i..]; z[0] = pat.size.
template <class View> std::vector<std::uint32_t> ZArray(const View& pat) {
    const std::size_t m = pat.size;
    std::vector<std::uint32_t> z(m, 0);
    if (m == 0)
        return z;
    z[0] = static_cast<std::uint32_t>(m);
    std::size_t l = 0, r = 0;
    for (std::size_t i = 1; i < m; ++i) {
        std::size_t k = 0;
        if (i < r)
            k = std::min<std::size_t>(r - i, z[i - l]);
        while (i + k < m && pat[k] == pat[i + k])
            ++k;
        z[i] = static_cast<std::uint32_t>(k);
        if (i + k > r) {
            l = i;
            r = i + k;
        }
    }
    return z;
}

// Calls visit(i, len) for i = from, from+1, ... with len = the length of the longest common
// prefix of txt[i..] and pat, until visit returns false or the text ends. Linear in the
// text and pattern lengths.
template <class PatView, class TextView, class Visit>
void MatchLengths(const PatView& pat, const std::vector<std::uint32_t>& z, const TextView& txt,
                  std::size_t from, Visit visit) {
    const std::size_t m = pat.size;
    const std::size_t n = txt.size;
    std::size_t l = from, r = from; // txt[l..r) == pat[0..r-l)
    for (std::size_t i = from; i < n; ++i) {
        std::size_t k;
        if (i < r && z[i - l] < r - i) {
            k = z[i - l];
        } else {
            k = i < r ? r - i : 0;
            while (i + k < n && k < m && txt[i + k] == pat[k])
                ++k;
            l = i;
            r = i + k;
        }
        if (!visit(i, k))
            return;
    }
}

// First occurrence of pat in text at or after from.
std::size_t Find(std::string_view text, std::string_view pat, std::size_t from = 0) {
    if (pat.size() <= kShortPattern || from > text.size())
        return text.find(pat, from);
    if (text.size() - from < pat.size())
        return kNpos;
    const Forward p{pat.data(), pat.size()};
    const auto z = ZArray(p);
    std::size_t found = kNpos;
    MatchLengths(p, z, Forward{text.data(), text.size()}, from, [&](std::size_t i, std::size_t k) {
        if (k == pat.size()) {
            found = i;
            return false;
        }
        return true;
    });
    return found;
}

// The two longest matches of a head of pat over all positions of txt (m1 >= m2). A head of
// length n occurs at least twice exactly when m2 >= n, and at least once when m1 >= n.
template <class PatView, class TextView>
void TwoLongestMatches(const PatView& pat, const TextView& txt, std::size_t& m1, std::size_t& m2) {
    m1 = m2 = 0;
    const auto z = ZArray(pat);
    MatchLengths(pat, z, txt, 0, [&](std::size_t, std::size_t k) {
        if (k > m1) {
            m2 = m1;
            m1 = k;
        } else if (k > m2) {
            m2 = k;
        }
        return true;
    });
}

struct Anchor {
    int code;
    std::string_view text; // a view into the text the anchor was cut from
};

Anchor UniquePrefix(std::string_view s, std::string_view page) {
    if (s.empty())
        return {kAnchorNotUnique, {}};
    // The first occurrence of a longer head never comes before that of a shorter one.
    std::size_t first = 0;
    const std::size_t steps = std::min(s.size(), kPlainSteps);
    for (std::size_t n = 1; n <= steps; ++n) {
        const std::string_view candidate = s.substr(0, n);
        first = page.find(candidate, first);
        if (first == kNpos)
            return {kAnchorNotFound, {}};
        if (page.find(candidate, first + 1) == kNpos)
            return {kAnchorOk, candidate};
    }
    if (s.size() <= kPlainSteps)
        return {kAnchorNotUnique, {}};
    // Matches never exceed the page, so a longer s need not be matched beyond its length.
    const std::size_t m = std::min(s.size(), page.size());
    std::size_t m1, m2;
    TwoLongestMatches(Forward{s.data(), m}, Forward{page.data(), page.size()}, m1, m2);
    const std::size_t n = m2 + 1;
    if (n > s.size())
        return {kAnchorNotUnique, {}};
    if (m1 < n)
        return {kAnchorNotFound, {}};
    return {kAnchorOk, s.substr(0, n)};
}

Anchor UniqueSuffix(std::string_view s, std::string_view page) {
    if (s.empty())
        return {kAnchorOk, s};
    // A longer tail never first occurs more than one byte before a shorter one.
    std::size_t first = 0;
    const std::size_t steps = std::min(s.size(), kPlainSteps);
    for (std::size_t n = 1; n <= steps; ++n) {
        const std::string_view candidate = s.substr(s.size() - n);
        first = page.find(candidate, first > 0 ? first - 1 : 0);
        if (first == kNpos)
            return {kAnchorNotFound, {}};
        if (page.find(candidate, first + 1) == kNpos)
            return {kAnchorOk, candidate};
    }
    if (s.size() <= kPlainSteps)
        return {kAnchorOk, s};
    const std::size_t m = std::min(s.size(), page.size());
    std::size_t m1, m2;
    TwoLongestMatches(Backward{s.data() + (s.size() - m), m}, Backward{page.data(), page.size()},
                      m1, m2);
    const std::size_t n = m2 + 1;
    if (n > s.size())
        return {kAnchorOk, s};
    if (m1 < n)
        return {kAnchorNotFound, {}};
    return {kAnchorOk, s.substr(s.size() - n)};
}

Anchor Left(std::string_view page, std::string_view t) {
    const std::size_t pos = Find(page, t);
    if (pos == kNpos)
        return {kAnchorNotFound, {}};
    return UniqueSuffix(page.substr(0, pos), page);
}

Anchor Right(std::string_view page, std::string_view t) {
    const std::size_t pos = Find(page, t);
    if (pos == kNpos)
        return {kAnchorNotFound, {}};
    return UniquePrefix(page.substr(pos + t.size()), page);
}

Anchor Between(std::string_view left, std::string_view right, std::string_view page) {
    const std::size_t a = Find(page, left);
    if (a == kNpos)
        return {kAnchorNotFound, {}};
    const std::size_t b = Find(page, right);
    if (b == kNpos)
        return {kAnchorNotFound, {}};
    const std::size_t start = a + left.size();
    if (b < start)
        return {kAnchorOk, {}};
    return {kAnchorOk, page.substr(start, b - start)};
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

Anchor Enclosing(std::string_view page, std::string_view t) {
    const std::size_t p = Find(page, t);
    if (p == kNpos || p < 3)
        return {kAnchorNotFound, {}};
    // Opening tag: "<p..." or "<td...", looked for from three bytes before t backwards.
    std::size_t i = p - 3;
    for (;; --i) {
        if (page[i] == '<' &&
            (Lower(page[i + 1]) == 'p' || (Lower(page[i + 1]) == 't' && Lower(page[i + 2]) == 'd')))
            break;
        if (i == 0)
            return {kAnchorNotFound, {}};
    }
    // Closing tag: "</" and the opening tag's first letter, from the last byte of t on.
    // t is not empty here (an empty t is found at 0), so e does not underflow.
    const std::size_t e = p + t.size() - 1;
    if (e + 3 >= page.size())
        return {kAnchorNotFound, {}};
    const char name = Lower(page[i + 1]);
    std::size_t j = e;
    while (j + 3 < page.size() &&
           !(page[j] == '<' && page[j + 1] == '/' && Lower(page[j + 2]) == name))
        ++j;
    if (j + 3 >= page.size())
        return {kAnchorNotFound, {}};
    const std::size_t g = page.find('>', i);
    if (g == kNpos)
        return {kAnchorNotFound, {}};
    // A tag that closes only after the closing tag leaves nothing inside.
    if (g + 1 >= j)
        return {kAnchorOk, {}};
    return {kAnchorOk, page.substr(g + 1, j - (g + 1))};
}

int Deliver(const Anchor& a, std::string& out) {
    if (a.code == kAnchorOk)
        out.assign(a.text);
    else
        out.clear();
    return a.code;
}

} // namespace

int ShortestUniquePrefix(std::string_view s, std::string_view page, std::string& out) {
    return Deliver(UniquePrefix(s, page), out);
}

int ShortestUniqueSuffix(std::string_view s, std::string_view page, std::string& out) {
    return Deliver(UniqueSuffix(s, page), out);
}

int LeftAnchor(std::string_view page, std::string_view t, std::string& out) {
    return Deliver(Left(page, t), out);
}

int RightAnchor(std::string_view page, std::string_view t, std::string& out) {
    return Deliver(Right(page, t), out);
}

int TextBetweenAnchors(std::string_view left, std::string_view right, std::string_view page,
                       std::string& out) {
    return Deliver(Between(left, right, page), out);
}

int EnclosingElementText(std::string_view page, std::string_view t, std::string& out) {
    return Deliver(Enclosing(page, t), out);
}

std::string VisibleText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool inTag = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const char c = s[k];
        if (c == '<') {
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (c == '\r' || c == '\n') {
            out += c;
        } else if (IsSpaceOrTab(c)) {
            // A run of blanks is kept as one space, taken at its last blank.
            const bool last = k + 1 == s.size();
            if (!last && !inTag && !IsSpaceOrTab(s[k + 1]))
                out += ' ';
        } else if (!inTag) {
            out += c;
        }
    }
    return out;
}

int ExtractWatchedText(std::string_view watchedText, std::string_view referencePage,
                       std::string_view newPage, std::string& latestText) {
    latestText.clear();
    if (watchedText.empty())
        return kAnchorNoWatchedText;
    if (referencePage.empty())
        return kAnchorNoReferencePage;
    if (newPage.empty())
        return kAnchorNoNewPage;

    // The user types visible text, while the page source may hold tags inside it: the span
    // runs from the first unique head of the text to the end of its first unique tail.
    std::string_view t = Trim(watchedText);
    const Anchor head = UniquePrefix(t, referencePage);
    if (head.code != kAnchorOk)
        return head.code;
    const Anchor tail = UniqueSuffix(t, referencePage);
    if (tail.code != kAnchorOk)
        return tail.code;
    const std::size_t a = Find(referencePage, head.text);
    const std::size_t b = Find(referencePage, tail.text);
    const std::size_t end = b + tail.text.size();
    t = end <= a ? std::string_view{} : referencePage.substr(a, end - a);

    Anchor left = Left(referencePage, t);
    if (left.code != kAnchorOk)
        return left.code;
    Anchor right = Right(referencePage, t);
    if (right.code != kAnchorOk)
        return right.code;
    Anchor between = Between(left.text, right.text, newPage);
    if (between.code != kAnchorOk) {
        // The anchors are gone from the new page: anchor on the whole paragraph or cell.
        const Anchor element = Enclosing(referencePage, t);
        if (element.code != kAnchorOk)
            return element.code;
        left = Left(referencePage, element.text);
        if (left.code != kAnchorOk)
            return left.code;
        right = Right(referencePage, element.text);
        if (right.code != kAnchorOk)
            return right.code;
        between = Between(left.text, right.text, newPage);
        if (between.code != kAnchorOk)
            return between.code;
    }
    latestText = VisibleText(between.text);
    return kAnchorOk;
}

} // namespace sentrel
