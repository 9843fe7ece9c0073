#pragma once

// One e-mail message: envelope addresses, subject and a dot-stuffed body, and the header
// block it is sent with.

#include <string>
#include <vector>

namespace sentrel {

struct CMailAddress {
    std::string name; // display name, may be empty
    std::string address;

    // "name <address>", or the address alone when there is no name.
    std::string Render() const;
};

enum class RecipientKind { To = 0, Cc = 1, Bcc = 2 };

class CMailMessage {
public:
    // Adds the addresses of a list cut at "," and ";". A piece may be "name <address>" or
    // an address alone; pieces without an address are skipped. A piece whose ">" does not
    // follow its "<" stops the list with ERROR_INVALID_DATA; pieces before it stay added.
    bool AddRecipients(const std::string& list, RecipientKind kind);

    // Stores the text with every line end as CR LF (a bare LF or CR included: servers may
    // refuse bare ones) and a second full stop in front of every line that starts with
    // one, so no line of it can end the message.
    void SetBody(const std::string& text);
    const std::string& Body() const { return m_body; }

    // From, To, (Cc,) Subject, Date, X-Mailer, (Reply-To,) the MIME lines and the empty
    // line that ends the block, each line ending CR LF. Line breaks in the subject become
    // blanks.
    std::string BuildHeaders() const;

    CMailAddress from;
    std::string subject;
    std::string mailer = "Sentrel";
    CMailAddress replyTo;
    std::vector<CMailAddress> to;
    std::vector<CMailAddress> cc;
    std::vector<CMailAddress> bcc; // envelope only

private:
    std::string m_body;
};

// The zone of a Date header for a bias in minutes (UTC minus local time): -60 gives
// "+0100", 300 gives "-0500".
std::string ZoneText(long biasMinutes);

// The Date header's text for a moment in seconds since 1970, in local time with English
// names: "Sun, 06 Dec 2026 21:55:31 +0100".
std::string MailDate(long long seconds);

} // namespace sentrel
