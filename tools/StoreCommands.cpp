#include "tools/StoreCommands.h"

#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/SentrelDoc.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WebPageWatch.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace sentrel::tools {

using Json = nlohmann::ordered_json;

namespace {

// Code points of 0x80..0x9F in Windows-1252. The five bytes it leaves undefined keep
// their C1 control code points.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when there is none.
std::size_t Utf8SequenceAt(const std::string& s, std::size_t i) {
    const auto byte = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0)
            low = 0xA0; // no overlong forms
        if (b0 == 0xED)
            high = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0)
            low = 0x90;
        if (b0 == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

Json DateTimeToJson(const CDateTime& value) {
    return Json{{"status", static_cast<std::int32_t>(value.GetStatus())},
                {"day", value.GetDayNumber()}};
}

Json Text(const std::string& bytes) {
    return TextFromStore(bytes);
}

void AddWatchFields(Json& j, const CWatch& watch) {
    if (const auto* w = dynamic_cast<const CDateTimeWatch*>(&watch)) {
        j["dailyTime"] = DateTimeToJson(w->dailyTime);
        j["dailyOn"] = w->dailyOn;
        j["onceOn"] = w->onceOn;
        j["onceDate"] = DateTimeToJson(w->onceDate);
        j["onceTime"] = DateTimeToJson(w->onceTime);
        j["onFriday"] = w->onFriday;
        j["onMonday"] = w->onMonday;
        j["onSaturday"] = w->onSaturday;
        j["onSunday"] = w->onSunday;
        j["onThursday"] = w->onThursday;
        j["onTuesday"] = w->onTuesday;
        j["onWednesday"] = w->onWednesday;
        j["message"] = Text(w->message);
        j["lastCheck"] = DateTimeToJson(w->lastCheck);
    } else if (const auto* w = dynamic_cast<const CFileWatch*>(&watch)) {
        j["containsText"] = Text(w->containsText);
        j["notContainsText"] = Text(w->notContainsText);
        j["fileName"] = Text(w->fileName);
        j["message"] = Text(w->message);
        j["messageSource"] = w->messageSource;
        j["watchMode"] = w->watchMode;
        j["lastContents"] = Text(w->lastContents);
        j["lastModified"] = w->lastModified;
    } else if (const auto* w = dynamic_cast<const CPINGWatch*>(&watch)) {
        j["hostName"] = Text(w->hostName);
        j["packetSizeText"] = Text(w->packetSizeText);
        j["timeToLiveText"] = Text(w->timeToLiveText);
        j["timeoutText"] = Text(w->timeoutText);
        j["failureMessage"] = Text(w->failureMessage);
    } else if (const auto* w = dynamic_cast<const CPOPWatch*>(&watch)) {
        j["popPassword"] = Text(w->popPassword);
        j["popUserName"] = Text(w->popUserName);
        j["popServer"] = Text(w->popServer);
        j["oneIncludeContent"] = w->oneIncludeContent;
        j["oneIncludeFrom"] = w->oneIncludeFrom;
        j["manyIncludeContent"] = w->manyIncludeContent;
        j["manyIncludeCount"] = w->manyIncludeCount;
        j["manyIncludeFrom"] = w->manyIncludeFrom;
        j["manyIncludeSubject"] = w->manyIncludeSubject;
        j["manyText"] = Text(w->manyText);
        j["oneIncludeSubject"] = w->oneIncludeSubject;
        j["oneText"] = Text(w->oneText);
        j["maxSizeKb"] = w->maxSizeKb;
        j["skipIfOverSize"] = w->skipIfOverSize;
        j["skipUppercaseSubject"] = w->skipUppercaseSubject;
    } else if (const auto* w = dynamic_cast<const CWebPageWatch*>(&watch)) {
        j["textToWatch"] = Text(w->textToWatch);
        j["url"] = Text(w->url);
        j["changedMessage"] = Text(w->changedMessage);
        j["mode"] = w->mode;
        j["containsText"] = Text(w->containsText);
        j["containsMessage"] = Text(w->containsMessage);
        j["absentText"] = Text(w->absentText);
        j["absentMessage"] = Text(w->absentMessage);
        j["webPassword"] = Text(w->webPassword);
        j["webUserName"] = Text(w->webUserName);
        j["referencePage"] = Text(w->referencePage);
        j["lastPage"] = Text(w->lastPage);
    }
}

void AddAlertFields(Json& j, const CAlert& alert) {
    if (const auto* a = dynamic_cast<const CClickatellAlert*>(&alert)) {
        j["from"] = Text(a->from);
        j["to"] = Text(a->to);
        j["maxMessages"] = a->maxMessages;
        j["sendMultiple"] = a->sendMultiple;
        j["msgType"] = Text(a->msgType);
        j["apiUser"] = Text(a->apiUser);
        j["apiPassword"] = Text(a->apiPassword);
        j["apiId"] = Text(a->apiId);
    } else if (const auto* a = dynamic_cast<const CEmailAlert*>(&alert)) {
        j["recipients"] = Text(a->recipients);
        j["maxMessages"] = a->maxMessages;
        j["maxSmsChars"] = a->maxSmsChars;
        j["smsSplitting"] = a->smsSplitting;
        j["multipleMessages"] = a->multipleMessages;
        j["subjectOnly"] = a->subjectOnly;
        j["authType"] = a->authType;
        j["userName"] = Text(a->userName);
        j["password"] = Text(a->password);
        j["fromAddress"] = Text(a->fromAddress);
        j["smtpHost"] = Text(a->smtpHost);
        j["fromName"] = Text(a->fromName);
        j["port"] = a->port;
    } else if (const auto* a = dynamic_cast<const CRunProgramAlert*>(&alert)) {
        j["arguments"] = Text(a->arguments);
        j["program"] = Text(a->program);
    } else if (const auto* a = dynamic_cast<const CSoundAlert*>(&alert)) {
        j["soundFile"] = Text(a->soundFile);
    }
    // CMessageAlert and the bare CAlert hold only the name.
}

Json WatchToJson(const CWatch& watch) {
    Json j{{"class", watch.GetRuntimeClass().name}, {"name", Text(watch.name)}};
    AddWatchFields(j, watch);
    return j;
}

Json AlertToJson(const CAlert& alert) {
    Json j{{"class", alert.GetRuntimeClass().name}, {"name", Text(alert.name)}};
    AddAlertFields(j, alert);
    return j;
}

// Where each watch and alert sits in the document's lists.
struct ListIndexes {
    explicit ListIndexes(const CSentrelDoc& doc) {
        for (std::size_t i = 0; i < doc.alerts.size(); ++i) {
            alerts.emplace(doc.alerts[i].get(), i);
        }
        for (std::size_t i = 0; i < doc.watches.size(); ++i) {
            watches.emplace(doc.watches[i].get(), i);
        }
    }
    std::unordered_map<const CAlert*, std::size_t> alerts;
    std::unordered_map<const CWatch*, std::size_t> watches;
};

// The index of a record in the document's list; a record that the store holds only inside
// an activation has no index and is shown in full in its place.
template <class T>
Json Reference(const std::unordered_map<const T*, std::size_t>& indexes, const T* record,
               Json (*full)(const T&)) {
    const auto it = indexes.find(record);
    return it != indexes.end() ? Json(it->second) : full(*record);
}

Json ActivationToJson(const ListIndexes& indexes, const CActivation& activation) {
    Json alerts = Json::array();
    for (const CAlert* alert : activation.alerts) {
        alerts.push_back(Reference(indexes.alerts, alert, &AlertToJson));
    }
    Json watch = Json::array();
    for (const CWatch* w : activation.watch) {
        watch.push_back(Reference(indexes.watches, w, &WatchToJson));
    }
    return Json{
        {"class", activation.GetRuntimeClass().name},
        {"name", Text(activation.name)},
        {"alerts", alerts},
        {"watch", watch},
        {"containsFilterOn", activation.containsFilterOn},
        {"excludesFilterOn", activation.excludesFilterOn},
        {"enabled", activation.enabled},
        {"containsWords", Text(activation.containsWords)},
        {"excludesWords", Text(activation.excludesWords)},
        {"nextDate", Text(activation.nextDate)},
        {"endTime", Text(activation.endTime)},
        {"interval", Text(activation.interval)},
        {"startTime", Text(activation.startTime)},
        {"nextTime", Text(activation.nextTime)},
        {"windowOn", activation.windowOn},
    };
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Counts(const CSentrelDoc& doc) {
    return Counted(doc.alerts.size(), "alert", "alerts") + ", " +
           Counted(doc.watches.size(), "watch", "watches") + ", " +
           Counted(doc.activations.size(), "activation", "activations");
}

// Loads the store named by the first argument, without a message box. A missing file is
// a usage error; one that cannot be read ends the command with the program's message;
// the damage of one that does not decode is printed the way the program words it.
std::optional<StoreDamage> LoadForCommand(CSentrelDoc& doc) {
    const auto damage = doc.Load(false);
    if (doc.GetStoreState() == StoreState::Missing) {
        throw UsageError("cannot open " + doc.StorePath() + ": " + std::strerror(ENOENT));
    }
    if (doc.GetStoreState() == StoreState::Unreadable) {
        throw std::runtime_error(doc.UnreadableMessage());
    }
    if (damage) {
        std::cerr << StoreDamageMessage(*damage) << "\n";
    }
    return damage;
}

int Dump(const std::vector<std::string>& args) {
    CSentrelDoc doc(args[0]);
    const auto damage = LoadForCommand(doc);
    std::cout << DocumentToJson(doc).dump(2) << "\n";
    return damage ? 1 : 0;
}

int Check(const std::vector<std::string>& args) {
    CSentrelDoc doc(args[0]);
    if (LoadForCommand(doc)) {
        std::cout << "read before the error: " << Counts(doc) << "\n";
        return 1;
    }
    std::cout << Counts(doc) << ", trace " << (doc.traceOn ? "on" : "off") << "\n";
    return 0;
}

int Resave(const std::vector<std::string>& args) {
    CSentrelDoc doc(args[0]);
    const auto damage = LoadForCommand(doc);
    doc.SetStorePath(args[1]);
    if (!doc.Save()) {
        return 1; // the save has said so through the message box
    }
    return damage ? 1 : 0;
}

constexpr std::array<Command, 3> kCommands = {{
    {"dump", "STORE", "print the store as JSON", 1, 1, &Dump},
    {"check", "STORE", "check that the whole store decodes; print its counts", 1, 1, &Check},
    {"resave", "STORE OUT", "load STORE and write it to OUT as the program saves", 2, 2, &Resave},
}};

} // namespace

std::string TextFromStore(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceAt(bytes, i);
        if (length > 0) {
            out.append(bytes, i, length);
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[i++]);
        AppendUtf8(out, byte >= 0xA0 ? char32_t{byte} : kCp1252High[byte - 0x80]);
    }
    return out;
}

Json DocumentToJson(const CSentrelDoc& doc) {
    Json alerts = Json::array();
    for (const auto& alert : doc.alerts) {
        alerts.push_back(AlertToJson(*alert));
    }
    Json watches = Json::array();
    for (const auto& watch : doc.watches) {
        watches.push_back(WatchToJson(*watch));
    }
    const ListIndexes indexes(doc);
    Json activations = Json::array();
    for (const auto& activation : doc.activations) {
        activations.push_back(ActivationToJson(indexes, *activation));
    }
    return Json{{"trace", doc.traceOn},
                {"alerts", alerts},
                {"watches", watches},
                {"activations", activations}};
}

std::span<const Command> StoreCommands() {
    return kCommands;
}

} // namespace sentrel::tools
