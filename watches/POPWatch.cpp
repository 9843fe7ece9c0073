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
    CPop3Message mail; // as far as it was read
    bool headersRead = false;
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
    static_cast<CPOPWatch&>(*copy).TakeRunState(*this);
    return copy;
}

void CPOPWatch::TakeRunState(const CWatch& checked) {
    const auto& other = static_cast<const CPOPWatch&>(checked);
    seenUids = other.seenUids;
    m_seenFor = other.m_seenFor;
}

std::vector<std::string> CPOPWatch::LastingKey() const {
    return {"pop3", popServer, popUserName};
}

std::vector<std::string> CPOPWatch::LastingLines() const {
    // Ids seen in a mailbox that the watch no longer names are not this mailbox's.
    return m_seenFor == LastingKey() ? seenUids : std::vector<std::string>();
}

void CPOPWatch::RestoreLasting(std::vector<std::string> lines) {
    seenUids = std::move(lines);
    m_seenFor = LastingKey();
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
    if (m_seenFor != LastingKey()) {
        // Another mailbox than the one the ids were seen in.
        seenUids.clear();
        m_seenFor = LastingKey();
    }
    CPop3Client client;
    client.SetLocalTest(Network().isLocalAddress);
    if (!server || !client.Login(server->host, popUserName, popPassword, server->port)) {
        const std::string why = server ? Masked(client.FailureReason(), popPassword)
                                       : "Not a server or port: " + popServer;
        Log("POP watch", "Failed to connect to: " + popServer);
        Log("POP watch", why);
        NoteFailure(why);
        return false;
    }
    if (!client.IsTls()) {
        Log("POP watch", "The login to " + popServer + " was not encrypted");
    }
    // The check ends in cannot check, with what the server or the connection said.
    const auto fail = [&](const std::string& what) {
        const std::string why = what + Masked(client.FailureReason(), popPassword);
        Log("POP watch", why);
        NoteFailure(why);
        client.Quit();
        return false;
    };
    int count = 0;
    unsigned totalSize = 0;
    if (!client.Stat(count, totalSize)) {
        return fail("Failed to read the mailbox: "); // without a count there is nothing to see
    }

    // The server's ids, all of them: a list cut short would make old mail look new.
    std::vector<std::string> onServer;
    for (int n = 1; n <= count; ++n) {
        std::string uid;
        if (!client.GetMessageUid(n, uid)) {
            if (!client.IsConnected() || n == 1) {
                return fail("Failed to read the mailbox's message ids: ");
            }
            // Past the end of the id table every later number gives the same empty id:
            // it counts once, and the look-up stops rather than walk a count the server
            // may have made up.
            onServer.emplace_back();
            break;
        }
        onServer.push_back(std::move(uid));
    }
    // Every message not seen before is considered once, whether or not it is reported.
    std::vector<NewMail> fresh;
    for (std::size_t at = 0; at < onServer.size(); ++at) {
        const std::string& uid = onServer[at];
        const bool known = std::find(seenUids.begin(), seenUids.end(), uid) != seenUids.end() ||
                           std::any_of(fresh.begin(), fresh.end(),
                                       [&uid](const NewMail& entry) { return entry.uid == uid; });
        if (!known) {
            fresh.push_back({uid, static_cast<int>(at) + 1, {}});
        }
    }

    // Each message is read once, and only as far as the filters and the report need it:
    // the header block for the subject filter, then the whole message only when the
    // report shows bodies. The watch goes on with what it got; the trace says why the
    // first retrieval that failed did.
    bool failureLogged = false;
    auto noteRetrieval = [&](bool ok, int number) {
        if (!ok && !failureLogged) {
            Log("POP watch",
                "Failed to read message " + std::to_string(number) + ": " + client.FailureReason());
            failureLogged = true;
        }
    };
    // A fresh holder for every message: a failed retrieval leaves it empty, never holding
    // the message before.
    for (NewMail& entry : fresh) {
        if (skipUppercaseSubject) {
            noteRetrieval(client.RetrieveHeaders(entry.number, entry.mail), entry.number);
            entry.headersRead = true;
        }
    }
    std::vector<std::string> considered;
    std::erase_if(fresh, [&](const NewMail& entry) {
        considered.push_back(entry.uid);
        const std::string subject = entry.mail.GetHeaderField("Subject");
        unsigned size = 0;
        if (skipIfOverSize) {
            client.GetMessageSize(entry.number, size);
        }
        return (skipUppercaseSubject && !subject.empty() && IsAllUpperCase(subject)) ||
               (skipIfOverSize && size / 1024 > maxSizeKb);
    });

    const bool one = fresh.size() == 1;
    const bool wantBody = one ? oneIncludeContent != 0 : manyIncludeContent != 0;
    const bool wantHeaders =
        one ? oneIncludeFrom || oneIncludeSubject : manyIncludeFrom || manyIncludeSubject;
    for (NewMail& entry : fresh) {
        if (wantBody) {
            noteRetrieval(client.RetrieveMessage(entry.number, entry.mail), entry.number);
        } else if (wantHeaders && !entry.headersRead) {
            noteRetrieval(client.RetrieveHeaders(entry.number, entry.mail), entry.number);
        }
    }
    if (!client.IsConnected()) {
        // The session broke off (a time-out, a server that went away): what was read may
        // be cut short, so nothing is reported and the mail stays new.
        return fail("The mailbox broke off the session: ");
    }

    // Ids no longer on the server are forgotten; the mail just considered is remembered.
    std::erase_if(seenUids, [&onServer](const std::string& uid) {
        return std::find(onServer.begin(), onServer.end(), uid) == onServer.end();
    });
    seenUids.insert(seenUids.end(), considered.begin(), considered.end());

    bool triggered = false;
    if (fresh.size() == 1) {
        const CPop3Message& mail = fresh.front().mail;
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
            if (manyIncludeFrom) {
                message += "\n" + entry.mail.GetHeaderField("From");
            }
            if (manyIncludeSubject) {
                message += "\n" + entry.mail.GetHeaderField("Subject");
            }
            if (manyIncludeContent) {
                message += "\n" + entry.mail.GetBody();
            }
        }
        triggered = true;
    }
    client.Quit();
    return triggered;
}

} // namespace sentrel
