#pragma once

#include "model/Watch.h"

#include <cstdint>

namespace sentrel {

// Watches one file: its last-write time, its text, or text it does or does not contain.
class CFileWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void Serialize(CArchive& ar) override;

    std::string containsText;
    std::string notContainsText;
    std::string fileName;
    std::string message;
    std::int32_t messageSource = 0; // 0: the file's text; other: the message field
    std::int32_t watchMode = 0;     // 0 date, 1 contents, 2 contains, 3 does not contain
    std::string lastContents;       // baseline of mode 1
    std::int64_t lastModified = 0;  // baseline of mode 0, seconds since 1970 UTC
};

} // namespace sentrel
