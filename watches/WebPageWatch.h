#pragma once

#include "model/Watch.h"

#include <cstdint>

namespace sentrel {

// Fetches a web page at every check and fires when it changes, holds a text, lacks a
// text, or when a chosen piece of its text changes.
class CWebPageWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

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

} // namespace sentrel
