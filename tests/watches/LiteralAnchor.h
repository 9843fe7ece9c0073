#pragma once

// The text anchoring written step by step, with a fresh search for every byte an anchor
// grows by. Slow on long anchors, and therefore simple: the tests and the benchmark hold the
// fast implementation against it.

#include <string>

namespace sentrel::literal {

inline int ShortestUniquePrefix(const std::string& s, const std::string& page, std::string& out) {
    out.clear();
    std::string previous;
    for (std::size_t n = 1;; ++n) {
        if (previous == s)
            return 512;
        const std::string candidate = s.substr(0, n);
        const std::size_t p = page.find(candidate);
        if (p == std::string::npos)
            return 514;
        if (page.find(candidate, p + 1) == std::string::npos) {
            out = candidate;
            return 0;
        }
        previous = candidate;
    }
}

inline int ShortestUniqueSuffix(const std::string& s, const std::string& page, std::string& out) {
    out.clear();
    std::string previous;
    for (std::size_t n = 1;; ++n) {
        if (previous == s) {
            out = s;
            return 0;
        }
        const std::string candidate = n >= s.size() ? s : s.substr(s.size() - n);
        const std::size_t p = page.find(candidate);
        if (p == std::string::npos)
            return 514;
        if (page.find(candidate, p + 1) == std::string::npos) {
            out = candidate;
            return 0;
        }
        previous = candidate;
    }
}

inline int LeftAnchor(const std::string& page, const std::string& t, std::string& out) {
    const std::size_t pos = page.find(t);
    if (pos == std::string::npos) {
        out.clear();
        return 514;
    }
    return ShortestUniqueSuffix(page.substr(0, pos), page, out);
}

inline int RightAnchor(const std::string& page, const std::string& t, std::string& out) {
    const std::size_t pos = page.find(t);
    if (pos == std::string::npos) {
        out.clear();
        return 514;
    }
    return ShortestUniquePrefix(page.substr(page.size() - (page.size() - pos - t.size())), page,
                                out);
}

inline int TextBetweenAnchors(const std::string& left, const std::string& right,
                              const std::string& page, std::string& out) {
    out.clear();
    const std::size_t a = page.find(left);
    if (a == std::string::npos)
        return 514;
    const std::size_t b = page.find(right);
    if (b == std::string::npos)
        return 514;
    if (b >= a + left.size())
        out = page.substr(a + left.size(), b - (a + left.size()));
    return 0;
}

inline char LowerCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline int EnclosingElementText(const std::string& page, const std::string& t, std::string& out) {
    out.clear();
    const long len = static_cast<long>(page.size());
    const std::size_t found = page.find(t);
    if (found == std::string::npos)
        return 514;
    const long p = static_cast<long>(found);
    if (p < 3)
        return 514;
    long i = p - 3;
    for (; i >= 0; --i) {
        if (page[i] == '<' && (LowerCase(page[i + 1]) == 'p' ||
                               (LowerCase(page[i + 1]) == 't' && LowerCase(page[i + 2]) == 'd')))
            break;
    }
    if (i < 0)
        return 514;
    const long e = p + static_cast<long>(t.size()) - 1;
    if (e >= len - 3)
        return 514;
    long j = e;
    for (; j < len - 3; ++j) {
        if (page[j] == '<' && page[j + 1] == '/' &&
            LowerCase(page[j + 2]) == LowerCase(page[i + 1]))
            break;
    }
    if (j >= len - 3)
        return 514;
    const std::size_t g = page.find('>', static_cast<std::size_t>(i));
    if (g == std::string::npos)
        return 514;
    const long from = static_cast<long>(g) + 1;
    if (from < j)
        out = page.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(j - from));
    return 0;
}

inline std::string VisibleText(const std::string& s) {
    std::string out;
    bool inTag = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const char c = s[k];
        const bool blank = c == ' ' || c == '\t';
        if (c == '<') {
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (c == '\r' || c == '\n') {
            out += c;
        } else if (blank) {
            const bool nextBlank = k + 1 < s.size() && (s[k + 1] == ' ' || s[k + 1] == '\t');
            if (!(k + 1 == s.size() || inTag || nextBlank))
                out += ' ';
        } else if (!inTag) {
            out += c;
        }
    }
    return out;
}

inline int ExtractWatchedText(const std::string& watchedText, const std::string& referencePage,
                              const std::string& newPage, std::string& latestText) {
    latestText.clear();
    if (watchedText.empty())
        return 515;
    if (referencePage.empty())
        return 516;
    if (newPage.empty())
        return 517;
    const char* white = " \t\r\n\v\f";
    std::string t = watchedText;
    t.erase(0, t.find_first_not_of(white) == std::string::npos ? t.size()
                                                               : t.find_first_not_of(white));
    t.erase(t.find_last_not_of(white) + 1);

    std::string head, tail;
    int r = ShortestUniquePrefix(t, referencePage, head);
    if (r != 0)
        return r;
    r = ShortestUniqueSuffix(t, referencePage, tail);
    if (r != 0)
        return r;
    const std::size_t a = referencePage.find(head);
    const std::size_t b = referencePage.find(tail);
    t = b + tail.size() <= a ? std::string() : referencePage.substr(a, b + tail.size() - a);

    std::string left, right, between;
    r = LeftAnchor(referencePage, t, left);
    if (r != 0)
        return r;
    r = RightAnchor(referencePage, t, right);
    if (r != 0)
        return r;
    if (TextBetweenAnchors(left, right, newPage, between) != 0) {
        std::string element;
        r = EnclosingElementText(referencePage, t, element);
        if (r != 0)
            return r;
        r = LeftAnchor(referencePage, element, left);
        if (r != 0)
            return r;
        r = RightAnchor(referencePage, element, right);
        if (r != 0)
            return r;
        r = TextBetweenAnchors(left, right, newPage, between);
        if (r != 0)
            return r;
    }
    latestText = VisibleText(between);
    return 0;
}

} // namespace sentrel::literal
