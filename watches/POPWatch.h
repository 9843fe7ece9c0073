#pragma once

#include "model/Watch.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace sentrel {

// Fires when a POP3 mailbox holds mail that it has not reported before.
class CPOPWatch : public CWatch {
    SENTREL_DECLARE_RECORD()

public:
    void VisitFields(IFieldVisitor& v) override;

    // Logs in to the mailbox and triggers when it holds mail not reported before in this
    // run and not dropped by the filters; the message is built from the one-mail or the
    // many-mail text. A mailbox that cannot be reached, logged in to or counted is logged
    // and cannot be checked.
    bool Check(std::string& message) override;
    // A copy knows the mail already reported, and hands back what it saw.
    std::unique_ptr<CObject> Clone() const override;
    void TakeRunState(const CWatch& checked) override;
    // The ids reported, for the mailbox they came from: the server and the user name.
    std::vector<std::string> LastingKey() const override;
    std::vector<std::string> LastingLines() const override;
    void RestoreLasting(std::vector<std::string> lines) override;

    std::string popPassword;
    std::string popUserName;
    // The server's name or address, and its port when it is not 110: "host:port",
    // "[IPv6 address]:port" (ParseHostAndPort).
    std::string popServer;
    std::int32_t oneIncludeContent = 0;
    std::int32_t oneIncludeFrom = 0;
    std::int32_t manyIncludeContent = 0;
    std::int32_t manyIncludeCount = 0;
    std::int32_t manyIncludeFrom = 0;
    std::int32_t manyIncludeSubject = 0;
    std::string manyText;
    std::int32_t oneIncludeSubject = 0;
    std::string oneText;
    std::uint32_t maxSizeKb = 0;
    std::int32_t skipIfOverSize = 0;
    std::int32_t skipUppercaseSubject = 0;
    // Unique ids of every message already considered and still on the server; never in
    // the store, kept from run to run beside it (LastingLines).
    std::vector<std::string> seenUids;

private:
    // The mailbox (LastingKey) that seenUids are of: another server or user name starts
    // afresh.
    std::vector<std::string> m_seenFor;
};

// True when the text equals its own upper-case form: no character of it has a lower-case
// mapping (digits and punctuation count as upper case). The text is UTF-8; bytes that are
// not are read as Latin-1.
bool IsAllUpperCase(std::string_view text);

} // namespace sentrel
