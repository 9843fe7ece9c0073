#include "watches/WebPageWatch.h"

#include "model/Fields.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"
#include "watches/WebTextAnchor.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CWebPageWatch, CWatch, "CWebPageWatch");

bool FetchWatchedPage(const std::string& source, const std::string& url, const std::string& user,
                      const std::string& password, std::string& body, std::string& resultText,
                      std::string* why) {
    const std::string none;
    std::string reason;
    if (Network().webPages->Fetch(url, user.empty() ? none : user, user.empty() ? none : password,
                                  body, resultText, reason)) {
        return true;
    }
    Log(source, "Failed to fetch web page: " + url);
    if (!reason.empty()) {
        Log(source, reason);
    }
    if (why) {
        *why = reason.empty() ? resultText : reason;
    }
    return false;
}

void CWebPageWatch::VisitFields(IFieldVisitor& v) {
    CWatch::VisitFields(v);
    v.String("textToWatch", textToWatch);
    v.String("url", url);
    v.String("changedMessage", changedMessage);
    v.Int("mode", mode);
    v.String("containsText", containsText);
    v.String("containsMessage", containsMessage);
    v.String("absentText", absentText);
    v.String("absentMessage", absentMessage);
    v.String("webPassword", webPassword);
    v.String("webUserName", webUserName);
    v.String("referencePage", referencePage);
    v.String("lastPage", lastPage);
}

bool CWebPageWatch::Check(std::string& message) {
    ResetFailure();
    RequestConnection();
    std::string body;
    std::string resultText;
    std::string why;
    if (!FetchWatchedPage("Web Page Watch", url, webUserName, webPassword, body, resultText,
                          &why)) {
        NoteFailure(why);
        return false;
    }
    switch (mode) {
    case 0:
        if (body == lastPage)
            return false;
        message = changedMessage;
        break;
    case 1:
        if (body.find(containsText) == std::string::npos)
            return false;
        message = containsMessage;
        break;
    case 2:
        if (body.find(absentText) != std::string::npos)
            return false;
        message = absentMessage;
        break;
    case 3: {
        // Any change of the page triggers, with whatever now stands at the watched place.
        if (body == lastPage)
            return false;
        std::string latest;
        if (ExtractWatchedText(textToWatch, referencePage, body, latest) == kAnchorNotFound)
            message = "WebWatch: The new web page is too complex to analyse";
        else
            message = latest;
        break;
    }
    default:
        return false;
    }
    lastPage = std::move(body);
    return true;
}

} // namespace sentrel
