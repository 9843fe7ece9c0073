#pragma once

// SMTP client: a subset of RFC 5321 (EHLO/HELO, MAIL, RCPT, DATA, QUIT) with STARTTLS
// (RFC 3207) or TLS from the start (RFC 8314), AUTH LOGIN, a clear-text "AUTH LOGIN
// PLAIN" dialogue and AUTH CRAM-MD5 (RFC 2195). One object serves one connection and
// delivers its messages; it says QUIT when destroyed.

#include "net/LocalNetwork.h"
#include "net/SocketConnection.h"

#include <string>
#include <string_view>

namespace sentrel {

class CMailMessage;

enum SmtpAuthType {
    SmtpAuthNone = 0,
    SmtpAuthCramMd5 = 1,
    SmtpAuthLogin = 2,
    SmtpAuthLoginPlain = 3
};

// Port 465 speaks TLS from the start; port 587 must upgrade with STARTTLS before the
// password or the mail goes out; any other port upgrades when the server offers it.
TlsUse SmtpTlsUse(int port);

// True when an EHLO reply lists the extension (a keyword, in any case).
bool EhloOffers(std::string_view reply, std::string_view keyword);

// True when a reply line (without its CR LF) ends the reply: any line but a continuation
// line, whose code is followed by "-".
bool IsLastSmtpReplyLine(std::string_view line);

class CSmtpClient {
public:
    explicit CSmtpClient(unsigned timeoutMs = 60000) : m_connection(timeoutMs) {}
    ~CSmtpClient();
    CSmtpClient(const CSmtpClient&) = delete;
    CSmtpClient& operator=(const CSmtpClient&) = delete;

    // Connects, reads the greeting, says EHLO (HELO when the server refuses EHLO), takes
    // TLS as the port says (SmtpTlsUse), and authenticates. On a failure after the TCP
    // connect it quits by itself. A LOGIN PLAIN user name or password holding a line
    // break would reach the server as a command of its own: it is refused with
    // ERROR_INVALID_DATA before connecting.
    bool Connect(const std::string& host, int authType, const std::string& userName,
                 const std::string& password, int port);
    // The same with the use of TLS given.
    bool Connect(const std::string& host, int authType, const std::string& userName,
                 const std::string& password, int port, TlsUse tls);
    // Which peers may be sent a password without TLS (IsLocalAddress by default). To any
    // other, AUTH LOGIN and LOGIN PLAIN on a session without TLS fail before the AUTH
    // command, with WSAEACCES and kNoEncryptionReason; CRAM-MD5 sends no password.
    void SetLocalTest(LocalAddressTest test) { m_isLocal = test; }

    // The envelope and the message text. A refused command fails with ERROR_BAD_COMMAND.
    // A line break in an address or a name would forge a command or a header: such a
    // message is refused with ERROR_INVALID_DATA before anything of it is sent.
    bool SendMail(const CMailMessage& message);
    // QUIT (when connected) and close. False when not connected or QUIT was refused.
    bool Quit();

    // Reads one reply and succeeds when its code is the expected one; otherwise fails
    // with WSAEPROTONOSUPPORT. The text goes to LastReply.
    bool ReadReply(int expectedCode);

    // Why the last operation failed; the last reply is the text of the last reply read.
    const NetFailure& Failure() const { return m_connection.Failure(); }
    const std::string& LastReply() const { return m_connection.LastReply(); }
    const std::string& FailureReason() const { return m_connection.FailureReason(); }
    // The code of the last reply; 0 before the first.
    int ReplyCode() const;
    bool IsConnected() const { return m_connection.IsConnected(); }
    bool IsTls() const { return m_connection.IsTls(); }

private:
    bool Command(const std::string& text, int expectedCode);
    // EHLO (or HELO), and the upgrade to TLS that `tls` asks for.
    bool Introduce(const std::string& hostName, TlsUse tls);
    bool Refuse(std::string reason);
    bool AuthLogin(const std::string& userName, const std::string& password);
    bool AuthLoginPlain(const std::string& userName, const std::string& password);
    bool AuthCramMd5(const std::string& userName, const std::string& password);
    // The last reply without its code and the blank after it.
    std::string Challenge() const;

    // True when the session is encrypted or its peer is local; else fails.
    bool MaySendPassword();

    CSocketConnection m_connection;
    LocalAddressTest m_isLocal = IsLocalAddress;
};

} // namespace sentrel
