#include "net/Pop3Client.h"

#include "net/NetLimits.h"
#include "platform/ErrorCodes.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace sentrel {

namespace {

// Replies are read into a first buffer sized from what the server announced; a server
// announcing absurd counts or sizes must not make us reserve gigabytes up front. Larger
// replies still arrive whole: the buffer grows as they come.
constexpr std::size_t kMaxFirstBuffer = 1 << 20;

std::size_t FirstBuffer(unsigned long long wanted) {
    return static_cast<std::size_t>(std::min<unsigned long long>(wanted, kMaxFirstBuffer));
}

// The decimal number starting at `at`, saturating at `limit`; `at` moves past it.
unsigned long long ReadNumber(std::string_view text, std::size_t& at, unsigned long long limit) {
    unsigned long long value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        value = std::min(limit, value * 10 + static_cast<unsigned>(text[at] - '0'));
    }
    return value;
}

// Past the next space or tab at or after `at`, and the blanks that follow it; false when
// no digit comes next.
bool SkipToNumber(std::string_view text, std::size_t& at) {
    while (at < text.size() && !IsSpaceOrTab(text[at])) {
        ++at;
    }
    while (at < text.size() && IsSpaceOrTab(text[at])) {
        ++at;
    }
    return at < text.size() && IsDigit(text[at]);
}

// The text after the status line; empty when the reply is the status line alone.
std::string_view AfterStatusLine(std::string_view text) {
    const auto lineFeed = text.find('\n');
    return lineFeed == std::string_view::npos ? std::string_view() : text.substr(lineFeed + 1);
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// The one test of a good reply.
bool BeginsWithOk(std::string_view text) {
    return StartsWithNoCase(text, "+OK");
}

// Turns a message reply into the message: the status line goes, and a line that begins
// with a full stop loses the first one, which the server put there (byte-stuffing).
void ToMessageText(std::string& text) {
    const auto lineFeed = text.find('\n');
    std::size_t to = 0;
    bool lineStart = true;
    for (std::size_t from = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
         from < text.size(); ++from) {
        const char c = text[from];
        if (!(lineStart && c == '.')) {
            text[to++] = c;
        }
        lineStart = c == '\n';
    }
    text.resize(to);
}

// True when a CAPA listing (after its status line) names the capability.
bool ListsCapability(std::string_view listing, std::string_view name) {
    for (std::string_view rest = AfterStatusLine(listing); !rest.empty();) {
        const auto lineFeed = rest.find('\n');
        std::string_view line = rest.substr(0, lineFeed);
        rest = lineFeed == std::string_view::npos ? std::string_view() : rest.substr(lineFeed + 1);
        line = line.substr(0, line.find_first_of(" \r"));
        if (EqualsNoCase(line, name)) {
            return true;
        }
    }
    return false;
}

bool FitsInCommand(const std::string& credential) {
    return credential.size() <= CPop3Client::kMaxCredentialLength &&
           credential.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

} // namespace

TlsUse Pop3TlsUse(int port) {
    return port == 995 ? TlsUse::Implicit : TlsUse::IfOffered;
}

std::string CPop3Message::GetHeaderBlock() const {
    const auto blank = m_text.find("\r\n\r\n");
    return blank == std::string::npos ? m_text : m_text.substr(0, blank);
}

std::string CPop3Message::GetBody() const {
    const auto blank = m_text.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : m_text.substr(blank + 4);
}

std::string CPop3Message::GetHeaderField(std::string_view name) const {
    // A leading CR LF lets the first field be found like every other one.
    const std::string text = "\r\n" + GetHeaderBlock();
    const std::string key = "\r\n" + std::string(name) + ":";
    const auto at = Upper(text).find(Upper(key));
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t start = at + key.size();
    // The value runs on over continuation lines (those starting with a blank).
    std::size_t end = start;
    for (;;) {
        end = text.find("\r\n", end);
        if (end == std::string::npos) {
            end = text.size();
            break;
        }
        if (end + 2 < text.size() && IsSpaceOrTab(text[end + 2])) {
            end += 2;
            continue;
        }
        break;
    }
    std::string value;
    for (std::size_t i = start; i < end; ++i) {
        if (text[i] == '\r' && i + 1 < end && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        value += text[i] == '\t' ? ' ' : text[i];
    }
    return std::string(Trim(value));
}

CPop3Client::~CPop3Client() {
    if (m_connection.IsConnected()) {
        Quit();
    }
    m_connection.Close();
}

bool CPop3Client::ReceiveUntil(std::string& text, std::size_t capacity, std::string_view terminator,
                               std::size_t growth, std::size_t limit) {
    if (!m_connection.ReceiveUntil(text, capacity, terminator, growth, limit)) {
        EndAfterTimeOut();
        return false;
    }
    return IsGoodReply(text);
}

void CPop3Client::EndAfterTimeOut() {
    // A reply that comes late would be read as the answer to the next command: the
    // session is over, without a farewell that would meet the same late reply.
    if (m_connection.Failure().code == WSAETIMEDOUT) {
        m_connection.Close();
        m_connection.SetConnected(false);
    }
}

bool CPop3Client::IsGoodReply(const std::string& text) {
    if (BeginsWithOk(text)) {
        return true;
    }
    m_connection.SetLastReply(text);
    return m_connection.Fail(WSAEPROTONOSUPPORT, ServerAnswered(text));
}

bool CPop3Client::ReadStatus() {
    std::string text;
    return ReceiveUntil(text, 1000, "\r\n", 4096, kMaxCommandReply);
}

bool CPop3Client::Command(std::string_view text) {
    return m_connection.Send(text);
}

bool CPop3Client::Login(const std::string& host, const std::string& userName,
                        const std::string& password, int port) {
    return Login(host, userName, password, port, Pop3TlsUse(port));
}

bool CPop3Client::UpgradeIfOffered(TlsUse tls) {
    if (m_connection.IsTls()) {
        return true;
    }
    if (!Command("CAPA\r\n")) {
        return false;
    }
    // A listing ends with the line "."; a refusal is its one line.
    bool firstLine = true;
    const auto endsReply = [&firstLine](std::string_view line) {
        const bool last = firstLine ? !BeginsWithOk(line) : line == ".";
        firstLine = false;
        return last;
    };
    std::string listing;
    if (!m_connection.ReceiveUntil(listing, 1000, "\r\n", 4096, kMaxCommandReply, endsReply)) {
        return false;
    }
    if (!BeginsWithOk(listing) || !ListsCapability(listing, "STLS")) {
        if (tls != TlsUse::Required) {
            return true;
        }
        return m_connection.Fail(WSAEPROTONOSUPPORT,
                                 "The server does not offer STLS, which is required");
    }
    return Command("STLS\r\n") && ReadStatus() && m_connection.StartTls();
}

bool CPop3Client::MaySendPassword() {
    return PasswordMayGo(m_connection, m_isLocal);
}

bool CPop3Client::Login(const std::string& host, const std::string& userName,
                        const std::string& password, int port, TlsUse tls) {
    if (!FitsInCommand(userName) || !FitsInCommand(password)) {
        return m_connection.Fail(ERROR_INVALID_DATA,
                                 "The user name or password is too long or holds a line break");
    }
    if (!m_connection.Open(host, port)) {
        return false;
    }
    if (tls == TlsUse::Implicit && !m_connection.StartTls()) {
        return false;
    }
    if (ReadStatus() && UpgradeIfOffered(tls) && MaySendPassword() &&
        Command("USER " + userName + "\r\n") && ReadStatus() &&
        Command("PASS " + password + "\r\n") && ReadStatus()) {
        return true;
    }
    // The cause of the failure, not that of the farewell, is what the caller gets to see.
    NetFailure cause = m_connection.Failure();
    Quit();
    m_connection.Restore(std::move(cause));
    return false;
}

bool CPop3Client::Stat(int& count, unsigned& totalSize) {
    return Command("STAT\r\n") && ReadStatReply(count, totalSize);
}

bool CPop3Client::ReadStatReply(int& count, unsigned& totalSize) {
    std::string text;
    if (!ReceiveUntil(text, 100, "\r\n", 4096, kMaxCommandReply)) {
        return false;
    }
    // Here the status must be in capitals.
    std::size_t at = 0;
    if (text.starts_with("+OK") && SkipToNumber(text, at)) {
        const int parsedCount = static_cast<int>(ReadNumber(text, at, INT_MAX));
        if (SkipToNumber(text, at)) {
            count = m_messageCount = parsedCount;
            totalSize = static_cast<unsigned>(ReadNumber(text, at, UINT_MAX));
            return true;
        }
    }
    m_connection.SetLastReply(text);
    return m_connection.Fail(WSAEPROTONOSUPPORT, ServerAnswered(text));
}

bool CPop3Client::CountForTables(int& count) {
    if (m_statDone) {
        count = m_messageCount;
        return true;
    }
    unsigned totalSize = 0;
    if (!Stat(count, totalSize)) {
        return false;
    }
    m_statDone = true;
    return true;
}

bool CPop3Client::ReceiveMultiLine(std::string& text, std::size_t capacity, std::size_t growth) {
    // A listing ends with the line "."; a refusal is its status line alone.
    bool firstLine = true;
    const auto endsReply = [&firstLine](std::string_view line) {
        const bool last = firstLine ? !BeginsWithOk(line) : line == ".";
        firstLine = false;
        return last;
    };
    if (!m_connection.ReceiveUntil(text, capacity, "\r\n", growth, kMaxMessageReply, endsReply)) {
        EndAfterTimeOut();
        return false;
    }
    if (!IsGoodReply(text)) {
        return false;
    }
    // Without its final CR LF "." as well: the text ends where the last line does.
    if (text.ends_with("\r\n.")) {
        text.resize(text.size() - 3);
    }
    return true;
}

bool CPop3Client::ReceiveTable(int count, std::string& text) {
    // About fourteen characters a line: a number, a blank, a size or a unique id.
    const unsigned long long expected = count > 0 ? static_cast<unsigned long long>(count) : 0;
    return ReceiveMultiLine(text, FirstBuffer(14 * expected + 100), 4096);
}

bool CPop3Client::ReadListReply(int count) {
    std::string text;
    if (!ReceiveTable(count, text)) {
        return false;
    }
    m_sizes.clear();
    m_sizes.reserve(std::min<std::size_t>(FirstBuffer(count > 0 ? count : 0), text.size()));
    // Each line is a message number and its size; the number after a blank is the size.
    const std::string_view lines = AfterStatusLine(text);
    for (std::size_t at = 0; at < lines.size(); ++at) {
        if (IsSpaceOrTab(lines[at]) && at + 1 < lines.size() && IsDigit(lines[at + 1])) {
            ++at;
            m_sizes.push_back(static_cast<unsigned>(ReadNumber(lines, at, UINT_MAX)));
            --at;
        }
    }
    return true;
}

bool CPop3Client::ReadUidlReply(int count) {
    std::string text;
    if (!ReceiveTable(count, text)) {
        return false;
    }
    m_uids.clear();
    std::string_view rest = AfterStatusLine(text);
    for (int line = 0; line < count && !rest.empty(); ++line) {
        const auto lineFeed = rest.find('\n');
        const std::string_view current = rest.substr(0, lineFeed);
        rest = lineFeed == std::string_view::npos ? std::string_view() : rest.substr(lineFeed + 1);
        // Two words: the message number, then the id.
        std::size_t at = 0;
        while (at < current.size() && IsWhiteSpace(current[at])) {
            ++at;
        }
        while (at < current.size() && !IsWhiteSpace(current[at])) {
            ++at;
        }
        while (at < current.size() && IsWhiteSpace(current[at])) {
            ++at;
        }
        const std::size_t start = at;
        while (at < current.size() && !IsWhiteSpace(current[at])) {
            ++at;
        }
        m_uids.emplace_back(current.substr(start, at - start));
    }
    return true;
}

bool CPop3Client::LoadSizes() {
    int count = 0;
    m_sizesLoaded = CountForTables(count) && Command("LIST\r\n") && ReadListReply(count);
    return m_sizesLoaded;
}

bool CPop3Client::LoadUids() {
    int count = 0;
    m_uidsLoaded = CountForTables(count) && Command("UIDL\r\n") && ReadUidlReply(count);
    return m_uidsLoaded;
}

bool CPop3Client::GetMessageSize(int n, unsigned& size) {
    if (!m_sizesLoaded) {
        LoadSizes(); // an empty table answers for a failed load
    }
    if (n < 1 || static_cast<std::size_t>(n) > m_sizes.size()) {
        return false;
    }
    size = m_sizes[static_cast<std::size_t>(n - 1)];
    return true;
}

bool CPop3Client::GetMessageUid(int n, std::string& uid) {
    const bool wasLoaded = m_uidsLoaded;
    const bool loaded = wasLoaded || LoadUids();
    if (n < 1 || static_cast<std::size_t>(n) > m_uids.size()) {
        return false;
    }
    uid = m_uids[static_cast<std::size_t>(n - 1)];
    return loaded;
}

bool CPop3Client::ReadMessageReply(CPop3Message& holder, unsigned size) {
    std::string text;
    if (!ReceiveMultiLine(text, FirstBuffer(static_cast<unsigned long long>(size) + 100), 32000)) {
        return false;
    }
    ToMessageText(text);
    holder.SetText(std::move(text));
    return true;
}

bool CPop3Client::Retrieve(int n, bool headersOnly, CPop3Message& holder) {
    unsigned size = 0;
    if (!GetMessageSize(n, size)) {
        if (m_sizesLoaded) { // a list that could not be loaded has left its own cause
            m_connection.Fail(WSAEINVAL,
                              "Message " + std::to_string(n) + " is not in the mailbox's list");
        }
        return false;
    }
    const std::string number = std::to_string(n);
    return Command(headersOnly ? "TOP " + number + " 0\r\n" : "RETR " + number + "\r\n") &&
           ReadMessageReply(holder, size);
}

bool CPop3Client::RetrieveHeaders(int n, CPop3Message& holder) {
    return Retrieve(n, true, holder);
}

bool CPop3Client::RetrieveMessage(int n, CPop3Message& holder) {
    return Retrieve(n, false, holder);
}

bool CPop3Client::Quit() {
    bool result = false;
    if (m_connection.IsConnected()) {
        Command("QUIT\r\n");
        result = ReadStatus();
        m_connection.SetConnected(false);
        m_sizesLoaded = false;
        m_statDone = false;
        m_uidsLoaded = false;
    }
    m_connection.Close();
    return result;
}

} // namespace sentrel
