#include "net/SmtpClient.h"

#include "net/Base64Coder.h"
#include "net/Encoders.h"
#include "net/MailMessage.h"
#include "net/NetLimits.h"
#include "platform/ErrorCodes.h"
#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace sentrel {

TlsUse SmtpTlsUse(int port) {
    return port == 465 ? TlsUse::Implicit : port == 587 ? TlsUse::Required : TlsUse::IfOffered;
}

bool EhloOffers(std::string_view reply, std::string_view keyword) {
    // The first line greets; each later one names an extension after its code.
    for (auto at = reply.find('\n'); at != std::string_view::npos;) {
        const std::string_view rest = reply.substr(at + 1);
        at = reply.find('\n', at + 1);
        std::string_view line = rest.substr(0, rest.find_first_of("\r\n"));
        if (line.size() < 4) {
            continue;
        }
        line.remove_prefix(4);
        const std::string_view word = line.substr(0, line.find(' '));
        if (EqualsNoCase(word, keyword)) {
            return true;
        }
    }
    return false;
}

bool IsLastSmtpReplyLine(std::string_view line) {
    return line.size() < 4 || line[3] != '-';
}

namespace {

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Which field of the message, if any, holds a line break.
std::string_view FieldWithLineBreak(const CMailMessage& message) {
    if (HasLineBreak(message.from.address)) {
        return "the sender address";
    }
    if (HasLineBreak(message.from.name)) {
        return "the sender's name";
    }
    if (HasLineBreak(message.replyTo.address) || HasLineBreak(message.replyTo.name)) {
        return "the reply address";
    }
    for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
        for (const auto& recipient : *list) {
            if (HasLineBreak(recipient.address) || HasLineBreak(recipient.name)) {
                return "a recipient";
            }
        }
    }
    return {};
}

} // namespace

CSmtpClient::~CSmtpClient() {
    if (m_connection.IsConnected()) {
        Quit();
    }
    m_connection.Close();
}

bool CSmtpClient::ReadReply(int expectedCode) {
    std::string text;
    if (!m_connection.ReceiveUntil(text, 256, "\r\n", 4096, kMaxCommandReply,
                                   IsLastSmtpReplyLine)) {
        return false;
    }
    m_connection.SetLastReply(std::move(text));
    if (ReplyCode() != expectedCode) {
        return m_connection.Fail(WSAEPROTONOSUPPORT, ServerAnswered(LastReply()));
    }
    return true;
}

int CSmtpClient::ReplyCode() const {
    return std::atoi(LastReply().substr(0, 3).c_str());
}

bool CSmtpClient::Command(const std::string& text, int expectedCode) {
    return m_connection.Send(text) && ReadReply(expectedCode);
}

std::string CSmtpClient::Challenge() const {
    const std::string& reply = m_connection.LastReply();
    return reply.size() > 4 ? reply.substr(4) : std::string();
}

bool CSmtpClient::Refuse(std::string reason) {
    return m_connection.Fail(ERROR_INVALID_DATA, std::move(reason));
}

bool CSmtpClient::Connect(const std::string& host, int authType, const std::string& userName,
                          const std::string& password, int port) {
    return Connect(host, authType, userName, password, port, SmtpTlsUse(port));
}

bool CSmtpClient::Introduce(const std::string& hostName, TlsUse tls) {
    if (!Command("EHLO " + hostName + "\r\n", 250)) {
        // A server that does not know EHLO refuses it (5xx) and still knows HELO; it has
        // no extensions then, STARTTLS among them.
        const bool refused = Failure().code == WSAEPROTONOSUPPORT && ReplyCode() / 100 == 5;
        if (!refused || !m_connection.IsConnected() || tls == TlsUse::Required) {
            return false;
        }
        return Command("HELO " + hostName + "\r\n", 250);
    }
    if (m_connection.IsTls()) {
        return true;
    }
    if (!EhloOffers(m_connection.LastReply(), "STARTTLS")) {
        if (tls == TlsUse::Required) {
            return m_connection.Fail(
                WSAEPROTONOSUPPORT, "The server does not offer STARTTLS, which this port requires");
        }
        return true;
    }
    // What the server said before TLS may have been forged: ask again inside it.
    return Command("STARTTLS\r\n", 220) && m_connection.StartTls() &&
           Command("EHLO " + hostName + "\r\n", 250);
}

bool CSmtpClient::Connect(const std::string& host, int authType, const std::string& userName,
                          const std::string& password, int port, TlsUse tls) {
    // Only LOGIN PLAIN sends them in clear; the other methods encode them.
    if (authType == SmtpAuthLoginPlain && HasLineBreak(userName)) {
        return Refuse("Line break in the user name");
    }
    if (authType == SmtpAuthLoginPlain && HasLineBreak(password)) {
        return Refuse("Line break in the password");
    }
    if (!m_connection.Open(host, port)) {
        return false;
    }
    if (tls == TlsUse::Implicit && !m_connection.StartTls()) {
        return false;
    }
    bool ok = ReadReply(220);
    if (ok) {
        char hostName[100] = {};
        if (gethostname(hostName, sizeof hostName - 1) != 0) {
            hostName[0] = '\0';
        }
        ok = Introduce(hostName, tls);
    }
    if (ok) {
        switch (authType) {
        case SmtpAuthNone:
            break;
        case SmtpAuthCramMd5:
            ok = AuthCramMd5(userName, password);
            break;
        case SmtpAuthLogin:
            ok = MaySendPassword() && AuthLogin(userName, password);
            break;
        case SmtpAuthLoginPlain:
            ok = MaySendPassword() && AuthLoginPlain(userName, password);
            break;
        default:
            ok = m_connection.Fail(WSAEINVAL,
                                   "Unknown authentication type " + std::to_string(authType));
            break;
        }
    }
    if (!ok) {
        // Quit reads the server's answer to QUIT; the cause of the failure is what the
        // caller gets to see.
        NetFailure cause = Failure();
        Quit();
        m_connection.Restore(std::move(cause));
        return false;
    }
    return true;
}

bool CSmtpClient::MaySendPassword() {
    return PasswordMayGo(m_connection, m_isLocal);
}

bool CSmtpClient::AuthLogin(const std::string& userName, const std::string& password) {
    // Texts, both ways, count up to their first zero byte (decoding pads with zeros).
    if (!Command("AUTH LOGIN\r\n", 334)) {
        return false;
    }
    if (std::strcmp(CBase64Coder::Decode(Challenge().c_str()).c_str(), "Username:") != 0) {
        return m_connection.Fail(WSAEPROTONOSUPPORT, "The server did not ask for the user name");
    }
    if (!Command(CBase64Coder::Encode(userName.c_str()) + "\r\n", 334)) {
        return false;
    }
    if (std::strcmp(CBase64Coder::Decode(Challenge().c_str()).c_str(), "Password:") != 0) {
        return m_connection.Fail(WSAEPROTONOSUPPORT, "The server did not ask for the password");
    }
    return Command(CBase64Coder::Encode(password.c_str()) + "\r\n", 235);
}

bool CSmtpClient::AuthLoginPlain(const std::string& userName, const std::string& password) {
    if (!Command("AUTH LOGIN PLAIN\r\n", 334)) {
        return false;
    }
    if (Challenge() == "Username:" && !m_connection.Send(userName + "\r\n")) {
        return false;
    }
    if (!ReadReply(334)) {
        return false;
    }
    if (Challenge() == "Password:") {
        return Command(password + "\r\n", 235);
    }
    // Some other prompt: nothing is sent, and the next commands' replies decide.
    return true;
}

bool CSmtpClient::AuthCramMd5(const std::string& userName, const std::string& password) {
    if (!Command("AUTH CRAM-MD5\r\n", 334)) {
        return false;
    }
    const std::string decoded = CBase64Coder::Decode(Challenge().c_str());
    const char* challenge = decoded.c_str();
    const std::string key(password.c_str());
    unsigned char digest[16];
    HmacMd5(reinterpret_cast<const unsigned char*>(challenge), std::strlen(challenge),
            reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest);
    std::string response = userName + " ";
    char hex[3];
    for (unsigned char byte : digest) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        response += hex;
    }
    return Command(CBase64Coder::Encode(response.c_str()) + "\r\n", 235);
}

bool CSmtpClient::SendMail(const CMailMessage& message) {
    // A refusal, not a broken connection, is a bad command.
    auto refused = [this] {
        if (Failure().code == WSAEPROTONOSUPPORT) {
            m_connection.Fail(ERROR_BAD_COMMAND, FailureReason());
        }
        return false;
    };
    if (const std::string_view field = FieldWithLineBreak(message); !field.empty()) {
        return Refuse("Line break in " + std::string(field));
    }
    if (!Command("MAIL FROM:<" + message.from.address + ">\r\n", 250)) {
        return refused();
    }
    for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
        for (const auto& recipient : *list) {
            if (!Command("RCPT TO:<" + recipient.address + ">\r\n", 250)) {
                return refused();
            }
        }
    }
    if (!Command("DATA\r\n", 354)) {
        return refused();
    }
    if (!m_connection.Send(message.BuildHeaders()) || !m_connection.Send(message.Body())) {
        return false;
    }
    if (!Command("\r\n.\r\n", 250)) {
        return refused();
    }
    return true;
}

bool CSmtpClient::Quit() {
    bool result = false;
    if (m_connection.IsConnected()) {
        m_connection.Send("QUIT\r\n");
        result = ReadReply(221);
        if (!result) {
            m_connection.Fail(ERROR_BAD_COMMAND, FailureReason());
        }
        m_connection.SetConnected(false);
    }
    m_connection.Close();
    return result;
}

} // namespace sentrel
