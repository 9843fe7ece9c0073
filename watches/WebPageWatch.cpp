#include "watches/WebPageWatch.h"

#include "model/Fields.h"
#include "platform/Platform.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"
#include "watches/WebTextAnchor.h"

namespace sentrel {

SENTREL_IMPLEMENT_RECORD(CWebPageWatch, CWatch, "CWebPageWatch");

namespace {

constexpr const char* kCaption = "Sentrel";

// Fetches with the credentials only when a user name is set. `reason` says why a fetch
// failed, for the trace.
bool FetchPage(const std::string& url, const std::string& user, const std::string& password,
               std::string& body, std::string& resultText, std::string& reason) {
    const std::string none;
    const std::string& u = user.empty() ? none : user;
    const std::string& p = user.empty() ? none : password;
    return Network().webPages->Fetch(url, u, p, body, resultText, reason);
}

void LogFailedFetch(const std::string& source, const std::string& url, const std::string& reason) {
    Log(source, "Failed to fetch web page: " + url);
    if (!reason.empty()) {
        Log(source, reason);
    }
}

void Warn(const std::string& text) {
    Platform().messageBox->Show(text, kCaption, MessageIcon::None);
}

} // namespace

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
    RequestConnection();
    std::string body;
    std::string resultText;
    std::string reason;
    if (!FetchPage(url, webUserName, webPassword, body, resultText, reason)) {
        LogFailedFetch("Web Page Watch", url, reason);
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

WebPageWatchValues CWebPageWatch::EditorValues() const {
    WebPageWatchValues v;
    v.name = name;
    v.url = url;
    v.webUserName = webUserName;
    v.webPassword = webPassword;
    v.mode = mode;
    v.changedMessage = changedMessage;
    v.containsText = containsText;
    v.containsMessage = containsMessage;
    v.absentText = absentText;
    v.absentMessage = absentMessage;
    v.textToWatch = textToWatch;
    return v;
}

bool CWebPageWatch::ApplyEditorValues(const WebPageWatchValues& typed) {
    if (typed.name.empty()) {
        Warn("Enter a Name for this Watch");
        return false;
    }
    if (typed.url.empty()) {
        Warn("Enter a web address");
        return false;
    }

    IAlertPopup& popup = *Platform().alertPopup;
    const int wait = popup.Open("Fetching web page... Please wait...");
    RequestConnection();
    // A failed fetch may hand back part of a page: the reference page is replaced only by
    // a whole one.
    std::string body;
    std::string resultText;
    std::string reason;
    if (!FetchPage(typed.url, typed.webUserName, typed.webPassword, body, resultText, reason)) {
        LogFailedFetch("Web Page Watch Dialog", typed.url, reason);
        popup.Close(wait);
        Warn("Unable to fetch web page.\n" + resultText);
        return false;
    }
    popup.Close(wait);
    referencePage = std::move(body);
    lastPage = referencePage;

    if (typed.mode == 3) {
        std::string latest;
        switch (ExtractWatchedText(typed.textToWatch, referencePage, lastPage, latest)) {
        case kAnchorNotUnique:
            Warn("The text to watch is not unique in the web page");
            return false;
        case kAnchorNotFound:
            Warn("The text and/or web page is too complex to analyse");
            return false;
        case kAnchorNoWatchedText:
            Warn("Please enter text to watch");
            return false;
        default:
            break;
        }
    }

    name = typed.name;
    textToWatch = typed.textToWatch;
    url = typed.url;
    changedMessage = typed.changedMessage;
    mode = typed.mode;
    webUserName = typed.webUserName;
    webPassword = typed.webPassword;
    containsText = typed.containsText;
    containsMessage = typed.containsMessage;
    absentText = typed.absentText;
    absentMessage = typed.absentMessage;
    return true;
}

} // namespace sentrel
