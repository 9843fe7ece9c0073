#include "engine/RunState.h"

#include "model/Watch.h"
#include "platform/WholeFile.h"
#include "services/EventLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace sentrel {

namespace {

constexpr std::string_view kHeader = "sentrel-state 1";
// More than any mailbox's ids; a file larger than this is not ours.
constexpr std::size_t kMaxStateFile = 64u << 20;

std::string Escaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == '%' || byte == 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool Unescaped(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t at = 0; at < field.size(); ++at) {
        const auto byte = static_cast<unsigned char>(field[at]);
        if (byte <= 0x20 || byte == 0x7F) {
            return false;
        }
        if (field[at] != '%') {
            out += field[at];
            continue;
        }
        const int high = at + 2 < field.size() ? HexValue(field[at + 1]) : -1;
        const int low = high >= 0 ? HexValue(field[at + 2]) : -1;
        if (low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto space = line.find(' ');
        fields.push_back(line.substr(0, space));
        if (space == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(space + 1);
    }
}

std::string KeyLine(const std::vector<std::string>& key) {
    std::string line = "watch";
    for (const std::string& field : key) {
        line += ' ';
        line += Escaped(field);
    }
    return line;
}

} // namespace

std::string RunStatePathFor(const std::string& storePath) {
    return FolderOf(storePath) + "/Sentrel.state";
}

std::string RunStateText(const CSentrelDoc& doc) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& watch : doc.watches) {
        const std::vector<std::string> key = watch->LastingKey();
        if (key.empty()) {
            continue;
        }
        text += KeyLine(key) + '\n';
        for (const std::string& line : watch->LastingLines()) {
            text += "line " + Escaped(line) + '\n';
        }
    }
    return text;
}

bool ApplyRunState(CSentrelDoc& doc, const std::string& text, std::string& why) {
    // Entries by the escaped key line, in file order.
    std::map<std::string, std::vector<std::vector<std::string>>> entries;
    std::vector<std::string>* current = nullptr;
    std::size_t lineNumber = 0;
    bool headerSeen = false;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto lineFeed = rest.find('\n');
        if (lineFeed == std::string_view::npos) {
            why = "it ends in the middle of a line";
            return false;
        }
        const std::string_view line = rest.substr(0, lineFeed);
        rest.remove_prefix(lineFeed + 1);
        ++lineNumber;
        const auto damaged = [&](std::string_view what) {
            why = "line " + std::to_string(lineNumber) + " " + std::string(what);
            return false;
        };
        if (!headerSeen) {
            if (line != kHeader) {
                return damaged("is not \"" + std::string(kHeader) + "\"");
            }
            headerSeen = true;
            continue;
        }
        const std::vector<std::string_view> fields = Fields(line);
        std::string value;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            if (!Unescaped(fields[i], value)) {
                return damaged("holds a field that is not written as this file writes them");
            }
        }
        if (fields[0] == "watch" && fields.size() > 1) {
            auto& withKey = entries[std::string(line)];
            withKey.emplace_back();
            current = &withKey.back();
        } else if (fields[0] == "line" && fields.size() == 2 && current) {
            Unescaped(fields[1], value);
            current->push_back(std::move(value));
        } else {
            return damaged("is not an entry");
        }
    }
    if (!headerSeen) {
        why = "it is empty";
        return false;
    }
    std::map<std::string, std::size_t> taken;
    for (const auto& watch : doc.watches) {
        const std::vector<std::string> key = watch->LastingKey();
        if (key.empty()) {
            continue;
        }
        const std::string keyLine = KeyLine(key);
        const auto found = entries.find(keyLine);
        std::size_t& next = taken[keyLine];
        if (found != entries.end() && next < found->second.size()) {
            watch->RestoreLasting(std::move(found->second[next++]));
        }
    }
    return true;
}

std::string LoadRunState(CSentrelDoc& doc) {
    const bool remembers =
        std::any_of(doc.watches.begin(), doc.watches.end(),
                    [](const auto& watch) { return !watch->LastingKey().empty(); });
    if (!remembers) {
        return {};
    }
    const std::string path = RunStatePathFor(doc.StorePath());
    const std::string lead = "Run state " + path + " not read (";
    const std::string costs = "): mail already reported may be reported again";
    int fd = -1;
    struct stat st {};
    std::string reason;
    switch (OpenForReading(path, fd, st, reason)) {
    case OpenResult::Missing:
        return lead + "there is none yet" + costs;
    case OpenResult::Unreadable:
        return lead + reason + costs;
    case OpenResult::Opened:
        break;
    }
    ClosedAtEnd closed(fd);
    if (static_cast<unsigned long long>(st.st_size) > kMaxStateFile) {
        return lead + "it is too large" + costs;
    }
    std::string text;
    try {
        text = ReadWhole(fd);
    } catch (const ReadFailed& failed) {
        return lead + failed.reason + costs;
    }
    std::string why;
    if (!ApplyRunState(doc, text, why)) {
        return lead + "damaged: " + why + costs;
    }
    return {};
}

SaveOutcome SaveWithRunState(CSentrelDoc& doc, const std::function<void()>& released) {
    std::string text = RunStateText(doc);
    const SaveOutcome outcome = doc.Save(released);
    if (!outcome) {
        return outcome;
    }
    const std::string path = RunStatePathFor(doc.StorePath());
    // A store without anything to remember gets no file of it.
    if (text.size() == kHeader.size() + 1 && access(path.c_str(), F_OK) != 0 && errno == ENOENT) {
        return outcome;
    }
    struct WriteFailed {
        int error;
    };
    int error = 0;
    try {
        if (!ReplaceFileAtomically(path, [&text](int fd) {
                if (!WriteAll(fd, text)) {
                    throw WriteFailed{errno};
                }
            })) {
            error = errno;
        }
    } catch (const WriteFailed& failed) {
        error = failed.error;
    }
    if (error != 0) {
        Log("Sentrel", "Could not write the run state " + path + ": " + std::strerror(error));
    }
    return outcome;
}

} // namespace sentrel
