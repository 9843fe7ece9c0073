#include "alerts/EmailAlert.h"

#include "engine/Connection.h"
#include "engine/EventLog.h"
#include "model/Archive.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"

#include <algorithm>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CEmailAlert, CAlert);

void CEmailAlert::Serialize(CArchive& ar) {
    CAlert::Serialize(ar);
    ar.Serialize(recipients);
    ar.Serialize(maxMessages);
    ar.Serialize(maxSmsChars);
    ar.Serialize(smsSplitting);
    ar.Serialize(multipleMessages);
    ar.Serialize(subjectOnly);
    ar.Serialize(authType);
    ar.Serialize(userName);
    ar.Serialize(password);
    ar.Serialize(fromAddress);
    ar.Serialize(smtpHost);
    ar.Serialize(fromName);
    ar.Serialize(port);
}

namespace {

// The first `count` characters of the text (none for a negative count).
std::string Leading(const std::string& text, std::int32_t count) {
    return text.substr(0, static_cast<std::size_t>(std::max<std::int32_t>(count, 0)));
}

} // namespace

void CEmailAlert::Send(std::string message) {
    RequestConnection();

    CMailMessage mail;
    // A list that stops at a faulty piece still goes to the recipients before it.
    mail.AddRecipients(recipients, RecipientKind::To);
    mail.from = {fromName, fromAddress};
    mail.replyTo = mail.from;

    auto deliver = [&] {
        CSmtpClient client;
        if (!client.Connect(smtpHost, authType, userName, password, port)) {
            Log("Email Alert", "Failed to connect to: " + smtpHost);
            Log("Email Alert", client.FailureReason());
        } else if (!client.SendMail(mail)) {
            Log("Email Alert", "Failed to send email message");
            Log("Email Alert", client.FailureReason());
        }
    };
    auto setPiece = [&](const std::string& piece) {
        mail.subject = subjectOnly ? piece : std::string();
        mail.SetBody(subjectOnly ? std::string() : piece);
    };

    if (!smsSplitting) {
        mail.subject = "Email Alert";
        mail.SetBody(message);
        deliver();
        return;
    }

    // An SMS is one line.
    std::string text = message;
    std::replace(text.begin(), text.end(), '\n', ' ');

    if (multipleMessages == 0) {
        setPiece(Leading(text, maxSmsChars));
        deliver();
        return;
    }

    // Consecutive pieces of maxSmsChars characters, each its own message, until the text
    // is used up or maxMessages have gone; at least one is always sent.
    std::int32_t count = 0;
    do {
        const std::string piece = Leading(text, maxSmsChars);
        if (static_cast<std::int64_t>(piece.size()) == maxSmsChars) {
            text.erase(0, piece.size());
        } else {
            text.clear();
        }
        setPiece(piece);
        deliver();
        ++count;
    } while (count < maxMessages && !text.empty());
}

} // namespace sentrel
