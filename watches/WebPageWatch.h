#pragma once

#include "model/Watch.h"

#include <cstdint>
#include <string>

namespace sentrel {

// Fetches a web page at every check and fires when it changes, holds a text, lacks a
// text, or when a chosen piece of its text changes.
class CWebPageWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Fetches url and triggers by mode; the page is kept in lastPage when it triggers. A
    // page that cannot be fetched cannot be checked.
    bool Check(std::string& message) override;

    std::string textToWatch;
    std::string url;
    std::string changedMessage;
    std::int32_t mode = 0; // 0 changes, 1 contains, 2 does not contain, 3 specific text
    std::string containsText;
    std::string containsMessage;
    std::string absentText;
    std::string absentMessage;
    std::string webPassword;
    std::string webUserName;
    std::string referencePage; // the page as fetched by the editor
    std::string lastPage;      // the page as of the last change Check saw
};

// Fetches a page as the watch does: with the credentials only when a user name is given.
// A failure is logged under `source` ("Failed to fetch web page: " and the address, then
// why) and leaves the fetcher's result text, and `why` (when given) the why that was
// logged; `body` may then hold part of a page.
bool FetchWatchedPage(const std::string& source, const std::string& url, const std::string& user,
                      const std::string& password, std::string& body, std::string& resultText,
                      std::string* why = nullptr);

} // namespace sentrel
