#pragma once

// POP3 client: a read-only subset of RFC 1939 (USER, PASS, STAT, LIST, UIDL, TOP, RETR,
// QUIT), with CAPA (RFC 2449) and STLS (RFC 2595) or TLS from the start (RFC 8314). It
// never deletes a message and never sends any other command. One object serves one
// connection; the LIST and UIDL tables are loaded once per connection, on first use, and
// describe the mailbox as it was then. It says QUIT when destroyed.

#include "net/LocalNetwork.h"
#include "net/SocketConnection.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sentrel {

// The text of one message (or its header block) as TOP or RETR returned it: without the
// status line and the final ".", and with the full stop the server put before lines that
// begin with one taken off again.
class CPop3Message {
public:
    const std::string& Text() const { return m_text; }
    void SetText(std::string text) { m_text = std::move(text); }

    // The value of a header field, found by its name in any letter case; continuation
    // lines are unfolded and the value trimmed. Empty when the field is absent.
    std::string GetHeaderField(std::string_view name) const;
    // The text before the first empty line; all of it when there is none.
    std::string GetHeaderBlock() const;
    // The text after the first empty line; empty when there is none.
    std::string GetBody() const;

private:
    std::string m_text;
};

// Port 995 speaks TLS from the start; any other port upgrades with STLS when the server
// offers it.
TlsUse Pop3TlsUse(int port);

class CPop3Client {
public:
    // Longest user name or password a command can carry.
    static constexpr std::size_t kMaxCredentialLength = 120;

    explicit CPop3Client(unsigned timeoutMs = 2000) : m_connection(timeoutMs) {}
    ~CPop3Client();
    CPop3Client(const CPop3Client&) = delete;
    CPop3Client& operator=(const CPop3Client&) = delete;

    // Connects, reads the greeting, takes TLS as the port says (Pop3TlsUse) and
    // authenticates with USER and PASS, never in clear to a peer outside the local
    // network (SetLocalTest). A user name or password that is too long or
    // holds a line break fails with ERROR_INVALID_DATA before anything is sent. After a
    // failure past the TCP connect it quits by itself.
    bool Login(const std::string& host, const std::string& userName, const std::string& password,
               int port);
    // The same with the use of TLS given.
    bool Login(const std::string& host, const std::string& userName, const std::string& password,
               int port, TlsUse tls);
    // STAT: the number of messages (also kept by the client) and their total size.
    bool Stat(int& count, unsigned& totalSize);
    // The size of message n (from 1) as LIST gave it.
    bool GetMessageSize(int n, unsigned& size);
    // The unique id of message n as UIDL gave it.
    bool GetMessageUid(int n, std::string& uid);
    // TOP n 0: the header block of message n.
    bool RetrieveHeaders(int n, CPop3Message& holder);
    // RETR n: the whole of message n.
    bool RetrieveMessage(int n, CPop3Message& holder);
    // QUIT (when connected) and close. False when not connected or QUIT was refused.
    bool Quit();

    // Which peers may be sent the password without TLS (IsLocalAddress by default). To
    // any other, a session without TLS fails before the user name goes out, with
    // WSAEACCES and kNoEncryptionReason.
    void SetLocalTest(LocalAddressTest test) { m_isLocal = test; }

    // Why the last operation failed; the last reply is the text of the last refusal.
    const NetFailure& Failure() const { return m_connection.Failure(); }
    const std::string& LastReply() const { return m_connection.LastReply(); }
    const std::string& FailureReason() const { return m_connection.FailureReason(); }
    bool IsConnected() const { return m_connection.IsConnected(); }
    bool IsTls() const { return m_connection.IsTls(); }
    int MessageCount() const { return m_messageCount; }

private:
    // Reads until the terminator; good when the text begins with "+OK" in any case, else
    // the text becomes the last reply and it fails with WSAEPROTONOSUPPORT. A time-out
    // ends the session.
    bool ReceiveUntil(std::string& text, std::size_t capacity, std::string_view terminator,
                      std::size_t growth, std::size_t limit);
    // Good when the reply begins with "+OK"; else the last reply and WSAEPROTONOSUPPORT.
    bool IsGoodReply(const std::string& text);
    // After a time-out the session is over: the connection is closed.
    void EndAfterTimeOut();
    // A multi-line reply up to its line "."; a status line that is not "+OK" ends it at
    // once. The text comes without the final CR LF ".".
    bool ReceiveMultiLine(std::string& text, std::size_t capacity, std::size_t growth);
    // A one-line reply.
    bool ReadStatus();
    bool ReadStatReply(int& count, unsigned& totalSize);
    bool ReadListReply(int count);
    bool ReadUidlReply(int count);
    bool ReadMessageReply(CPop3Message& holder, unsigned size);
    bool Command(std::string_view text);
    // CAPA, and STLS when the server lists it (or when `tls` requires it). A server that
    // does not know CAPA is served in plain text.
    bool UpgradeIfOffered(TlsUse tls);
    // The count that LIST and UIDL size their buffers by: STAT's, asked once.
    bool CountForTables(int& count);
    // The LIST or UIDL table of `count` lines, up to its closing dot.
    bool ReceiveTable(int count, std::string& text);
    bool LoadSizes();
    bool LoadUids();
    bool Retrieve(int n, bool headersOnly, CPop3Message& holder);

    // True when the session is encrypted or its peer is local; else fails.
    bool MaySendPassword();

    CSocketConnection m_connection;
    LocalAddressTest m_isLocal = IsLocalAddress;
    int m_messageCount = 0;
    bool m_sizesLoaded = false;
    bool m_statDone = false;
    bool m_uidsLoaded = false;
    std::vector<unsigned> m_sizes;
    std::vector<std::string> m_uids;
};

} // namespace sentrel
