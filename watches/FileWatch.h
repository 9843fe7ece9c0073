#pragma once

#include "model/Watch.h"

#include <cstdint>

namespace sentrel {

// Watches one file: its last-write time, its text, or text it does or does not contain.
class CFileWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Reads the file and tests it by the mode; modes 0 and 1 move their baseline when they
    // fire. A file that cannot be opened or read is logged, with why, and cannot be checked.
    bool Check(std::string& message) override;

    std::string containsText;
    std::string notContainsText;
    std::string fileName;
    std::string message;
    std::int32_t messageSource = 0; // 0: the file's text; other: the message field
    std::int32_t watchMode = 0;     // 0 date, 1 contents, 2 contains, 3 does not contain
    std::string lastContents;       // baseline of mode 1
    std::int64_t lastModified = 0;  // baseline of mode 0, seconds since 1970 UTC
};

// A file's text as the watch sees it: read line by line, each line's terminator (LF or
// CR LF) removed, the lines joined with nothing between them.
std::string JoinLines(const std::string& bytes);

// A last-write time as the store gives it back: its low 32 bits, signed. The baseline is
// kept in this form, so that it always fits the store (a file dated past 2106 would
// otherwise make every save fail) and compares equal to itself after a reload.
std::int64_t StoredTimeStamp(std::int64_t seconds);

enum class FileReadResult { Ok, OpenFailed, ReadFailed };

// The most of a watched file that is read: far more than any text worth watching, little
// enough to hold in memory (and to hand on as a message).
constexpr std::int64_t kMaxWatchedFileBytes = 64 * 1024 * 1024;

// Reads a watched file: its joined text and its last-write time (seconds since 1970 UTC,
// taken from the open file, in its stored form). The watch and its editor both take their state
// this way. A file of more than kMaxWatchedFileBytes, or a device that reads without end,
// is OpenFailed, as it cannot be taken in. On failure `why` (when given) says why in the
// system's words: "Cannot open PATH: No such file or directory".
FileReadResult ReadWatchedFile(const std::string& path, std::string& text, std::int64_t& modified,
                               std::string* why = nullptr);

} // namespace sentrel
