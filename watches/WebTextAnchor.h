#pragma once

// Finds a piece of visible text again in a web page that has changed, without parsing
// HTML. From the reference page (the page as it was when the watch was set up) it takes
// the shortest text just before the watched text and the shortest text just after it that
// each occur only once in that page; in the new page it takes what lies between those two
// anchors and strips the tags. When the anchors are gone it widens the watched text to its
// enclosing paragraph or table cell and tries once more.
//
// All searches are exact byte searches for the first occurrence; positions and lengths
// count bytes; an empty text is found at position 0. On every failure the output string
// is left empty.

#include <string>
#include <string_view>

namespace sentrel {

// Result codes of the anchoring functions.
constexpr int kAnchorOk = 0;
constexpr int kAnchorNotUnique = 512;     // the text (or what follows it) repeats in the page
constexpr int kAnchorNotFound = 514;      // an anchor or the enclosing element is missing
constexpr int kAnchorNoWatchedText = 515; // the watched text is empty
constexpr int kAnchorNoReferencePage = 516;
constexpr int kAnchorNoNewPage = 517;

// The visible text now standing in newPage where watchedText stood in referencePage.
int ExtractWatchedText(std::string_view watchedText, std::string_view referencePage,
                       std::string_view newPage, std::string& latestText);

// The shortest head of s that occurs exactly once in page. 512 when even the whole of s
// occurs more than once (or s is empty); 514 when a head does not occur at all.
int ShortestUniquePrefix(std::string_view s, std::string_view page, std::string& out);

// The shortest tail of s that occurs exactly once in page; the whole of s when no shorter
// tail is unique (even if s itself repeats), the empty string for an empty s. 514 when a
// tail does not occur at all.
int ShortestUniqueSuffix(std::string_view s, std::string_view page, std::string& out);

// The anchor before the first occurrence of t: the shortest unique tail of what precedes
// it (empty when t starts the page). 514 when t does not occur in page.
int LeftAnchor(std::string_view page, std::string_view t, std::string& out);

// The anchor after the first occurrence of t: the shortest unique head of what follows it.
// 512 when nothing follows t or what follows repeats; 514 when t does not occur in page.
int RightAnchor(std::string_view page, std::string_view t, std::string& out);

// What lies between the first occurrence of left and the first occurrence of right (both
// searched from the start of page); empty when right comes first. 514 when either is
// missing.
int TextBetweenAnchors(std::string_view left, std::string_view right, std::string_view page,
                       std::string& out);

// The content of the paragraph or table cell around the first occurrence of t. 514 when t,
// the opening tag or the closing tag cannot be found.
int EnclosingElementText(std::string_view page, std::string_view t, std::string& out);

// s without its tags: runs of spaces and tabs become one space, a trailing blank goes,
// line breaks stay (even inside a tag).
std::string VisibleText(std::string_view s);

} // namespace sentrel
