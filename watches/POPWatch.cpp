#include "watches/POPWatch.h"

#include "model/Fields.h"
#include "net/Pop3Client.h"
#include "net/SocketConnection.h"
#include "platform/Text.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <algorithm>
#include <cstdio>
#include <locale.h>
#include <wctype.h>

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CPOPWatch, CWatch, "CPOPWatch");

bool IsAllUpperCase(std::string_view text) {
    // Unicode's case mappings, whatever the user's locale; built into the C library.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        // Not UTF-8: older mail programs write Latin-1.
        const char32_t c = NextCodePoint(text, at).value_or(byte);
        const auto wide = static_cast<wint_t>(c);
        const bool lower = utf8 != static_cast<locale_t>(0)
                               ? towupper_l(wide, utf8) != wide || iswlower_l(wide, utf8)
                               : c >= U'a' && c <= U'z';
        if (lower) {
            return false;
        }
    }
    return true;
}

namespace {

struct NewMail {
    std::string uid;
    int number;
};

// A server's reply may echo what it was sent: the password never goes on with it.
std::string Masked(std::string text, const std::string& password) {
    if (!password.empty()) {
        for (auto at = text.find(password); at != std::string::npos;
             at = text.find(password, at + 3)) {
            text.replace(at, password.size(), "***");
        }
    }
    return text;
}

} // namespace

std::unique_ptr<CObject> CPOPWatch::Clone() const {
    std::unique_ptr<CObject> copy = CWatch::Clone();
    static_cast<CPOPWatch&>(*copy).seenUids = seenUids;
    return copy;
}

void CPOPWatch::TakeRunState(const CWatch& checked) {
    seenUids = static_cast<const CPOPWatch&>(checked).seenUids;
}

void CPOPWatch::VisitFields(IFieldVisitor& v) {
    CWatch::VisitFields(v);
    v.String("popServer", popServer);
    v.String("popUserName", popUserName);
    v.String("popPassword", popPassword);
    v.Int("oneIncludeContent", oneIncludeContent);
    v.Int("oneIncludeFrom", oneIncludeFrom);
    v.Int("manyIncludeContent", manyIncludeContent);
    v.Int("manyIncludeCount", manyIncludeCount);
    v.Int("manyIncludeFrom", manyIncludeFrom);
    v.Int("manyIncludeSubject", manyIncludeSubject);
    v.String("manyText", manyText);
    v.Int("oneIncludeSubject", oneIncludeSubject);
    v.String("oneText", oneText);
    v.UInt("maxSizeKb", maxSizeKb);
    v.Int("skipIfOverSize", skipIfOverSize);
    v.Int("skipUppercaseSubject", skipUppercaseSubject);
}

bool CPOPWatch::Check(std::string& message) {
    ResetFailure();
    RequestConnection();
    const auto server = ParseHostAndPort(popServer, 110);
    CPop3Client client;
    if (!server || !client.Login(server->host, popUserName, popPassword, server->port)) {
        const std::string why = server ? Masked(client.FailureReason(), popPassword)
                                       : "Not a server or port: " + popServer;
        Log("POP watch", "Failed to connect to: " + popServer);
        Log("POP watch", why);
        NoteFailure(why);
        return false;
    }
    int count = 0;
    unsigned totalSize = 0;
    if (!client.Stat(count, totalSize)) {
        // Without a count there is nothing to look at.
        const std::string why =
            "Failed to read the mailbox: " + Masked(client.FailureReason(), popPassword);
        Log("POP watch", why);
        NoteFailure(why);
        client.Quit();
        return false;
    }

    // Every message not seen before is considered once, whether or not it is reported.
    std::vector<NewMail> fresh;
    for (int n = 1; n <= count; ++n) {
        std::string uid;
        const bool known = client.GetMessageUid(n, uid);
        if (std::find(seenUids.begin(), seenUids.end(), uid) == seenUids.end()) {
            fresh.push_back({uid, n});
            seenUids.push_back(uid);
        }
        if (!known) {
            // Past the end of the id table every later number gives the same empty id,
            // which is now seen: stop here rather than walk a count the server may have
            // made up.
            break;
        }
    }

    // The header block, then the whole message. The watch goes on with what it got; the
    // trace says why the first retrieval that failed did.
    bool failureLogged = false;
    auto retrieve = [&](int number, CPop3Message& mail) {
        const bool headers = client.RetrieveHeaders(number, mail);
        const bool whole = client.RetrieveMessage(number, mail);
        if (!(headers && whole) && !failureLogged) {
            Log("POP watch",
                "Failed to read message " + std::to_string(number) + ": " + client.FailureReason());
            failureLogged = true;
        }
    };

    // A fresh holder for every retrieval: a failed one leaves it empty, never holding
    // the message before.
    std::erase_if(fresh, [&](const NewMail& entry) {
        CPop3Message mail;
        retrieve(entry.number, mail);
        const std::string subject = mail.GetHeaderField("Subject");
        unsigned size = 0;
        client.GetMessageSize(entry.number, size);
        return (skipUppercaseSubject && !subject.empty() && IsAllUpperCase(subject)) ||
               (skipIfOverSize && size / 1024 > maxSizeKb);
    });

    bool triggered = false;
    if (fresh.size() == 1) {
        CPop3Message mail;
        retrieve(fresh.front().number, mail);
        message = oneText;
        if (oneIncludeFrom) {
            message += "\n" + mail.GetHeaderField("From");
        }
        if (oneIncludeSubject) {
            message += "\n" + mail.GetHeaderField("Subject");
        }
        if (oneIncludeContent) {
            message += "\n" + mail.GetBody();
        }
        triggered = true;
    } else if (fresh.size() > 1) {
        message.clear();
        if (manyIncludeCount) {
            char countText[32];
            std::snprintf(countText, sizeof countText, "%d emails", static_cast<int>(fresh.size()));
            message = countText;
        }
        message += manyText;
        for (const NewMail& entry : fresh) {
            CPop3Message mail;
            retrieve(entry.number, mail);
            if (manyIncludeFrom) {
                message += "\n" + mail.GetHeaderField("From");
            }
            if (manyIncludeSubject) {
                message += "\n" + mail.GetHeaderField("Subject");
            }
            if (manyIncludeContent) {
                message += "\n" + mail.GetBody();
            }
        }
        triggered = true;
    }
    client.Quit();
    return triggered;
}

} // namespace sentrel
