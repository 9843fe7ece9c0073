#pragma once

#include "model/Watch.h"

#include <cstdint>
#include <string>

namespace sentrel {

// What the user typed into the web page watch's editor.
struct WebPageWatchValues {
    std::string name;
    std::string url;
    std::string webUserName;
    std::string webPassword;
    std::int32_t mode = 0;
    std::string changedMessage;
    std::string containsText;
    std::string containsMessage;
    std::string absentText;
    std::string absentMessage;
    std::string textToWatch;
};

// Fetches a web page at every check and fires when it changes, holds a text, lacks a
// text, or when a chosen piece of its text changes.
class CWebPageWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Fetches url and triggers by mode; the page is kept in lastPage when it triggers.
    bool Check(std::string& message) override;

    // The values the editor opens with.
    WebPageWatchValues EditorValues() const;

    // The editor's OK: checks the values, fetches the page (which becomes referencePage and
    // lastPage even when a later check fails) and, when all is well, stores the values.
    // Problems are shown in message boxes; returns true when the editor may close.
    bool ApplyEditorValues(const WebPageWatchValues& typed);

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
