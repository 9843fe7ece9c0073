#include "alerts/EmailAlert.h"

#include "alerts/SmsPieces.h"
#include "model/Fields.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <algorithm>
#include <string_view>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CEmailAlert, CAlert, "CEmailAlert");

void CEmailAlert::VisitFields(IFieldVisitor& v) {
    CAlert::VisitFields(v);
    v.String("recipients", recipients);
    v.Int("maxMessages", maxMessages);
    v.Int("maxSmsChars", maxSmsChars);
    v.Int("smsSplitting", smsSplitting);
    v.Int("multipleMessages", multipleMessages);
    v.Int("subjectOnly", subjectOnly);
    v.Int("authType", authType);
    v.String("userName", userName);
    v.String("password", password);
    v.String("fromAddress", fromAddress);
    v.String("smtpHost", smtpHost);
    v.String("fromName", fromName);
    v.Int("port", port);
}

bool CEmailAlert::Send(std::string message) {
    ResetFailure();
    RequestConnection();

    CMailMessage mail;
    // A list that stops at a faulty piece still goes to the recipients before it.
    mail.AddRecipients(recipients, RecipientKind::To);
    mail.from = {fromName, fromAddress};
    mail.replyTo = mail.from;

    // Once per send: a login that went out without encryption (CRAM-MD5, or a server in
    // the local network).
    bool loginTraced = false;
    const auto traceLogin = [&](const CSmtpClient& client) {
        if (authType != SmtpAuthNone && !client.IsTls() && !loginTraced) {
            Log("Email Alert", "The login to " + smtpHost + " was not encrypted");
            loginTraced = true;
        }
    };
    auto deliver = [&] {
        CSmtpClient client;
        client.SetLocalTest(Network().isLocalAddress);
        std::string failure;
        if (!client.Connect(smtpHost, authType, userName, password, port)) {
            failure = "Failed to connect to: " + smtpHost;
        } else {
            traceLogin(client);
            if (!client.SendMail(mail)) {
                failure = "Failed to send email message";
            }
        }
        if (!failure.empty()) {
            // The fixed line first, then the server's or the network's own words.
            const std::string reason = client.FailureReason();
            Log("Email Alert", failure);
            if (!reason.empty()) {
                Log("Email Alert", reason);
            }
            NoteFailure(reason.empty() ? failure : failure + ": " + reason);
        }
    };
    auto setPiece = [&](std::string_view piece) {
        mail.subject = subjectOnly ? std::string(piece) : std::string();
        mail.SetBody(subjectOnly ? std::string() : std::string(piece));
    };

    if (!smsSplitting) {
        mail.subject = "Email Alert";
        mail.SetBody(message);
        deliver();
        return Delivered();
    }

    // An SMS is one line.
    std::replace(message.begin(), message.end(), '\n', ' ');

    // The first piece of at most maxSmsChars bytes (truncate mode), or consecutive pieces,
    // each its own message, until the text is used up or maxMessages have gone; at least
    // one is always sent. A piece ends early rather than inside a character; a piece size
    // of 0 makes one empty piece.
    std::string_view rest = message;
    std::int32_t count = 0;
    for (;;) {
        const std::size_t length = FirstPieceLength(rest, maxSmsChars, PieceMeasure::Bytes);
        setPiece(rest.substr(0, length));
        deliver();
        rest.remove_prefix(length);
        ++count;
        if (multipleMessages == 0 || count >= maxMessages || rest.empty() || length == 0) {
            return Delivered();
        }
    }
}

} // namespace sentrel
