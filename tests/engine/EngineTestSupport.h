#pragma once

// Shared pieces of the engine tests: a store in a temp folder, a fake clock set in local
// time, and watches and alerts that record what the engine does with them.

#include "model/DateTime.h"
#include "model/Fields.h"
#include "model/SentrelDoc.h"
#include "tests/support/TestSupport.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sentrel::test {

// Seconds since 1970 for a local wall-clock time.
inline std::int64_t LocalSeconds(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

// A watch whose answer the test decides; it counts its checks and when they came. While
// `failure` is set, its checks cannot look, for that reason. The engine checks a copy:
// copies share the script and what it records.
class ScriptWatch : public CWatch {
    struct Shared {
        std::function<bool(std::string&)> onCheck = [](std::string&) { return true; };
        std::vector<CDateTime> checkedAt;
        std::string failure;
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();

public:
    ScriptWatch() = default;
    ScriptWatch(const ScriptWatch& other) : CWatch(other), m_shared(other.m_shared) {}

    std::function<bool(std::string&)>& onCheck = m_shared->onCheck;
    std::vector<CDateTime>& checkedAt = m_shared->checkedAt;
    std::string& failure = m_shared->failure;

    std::unique_ptr<CObject> Clone() const override { return std::make_unique<ScriptWatch>(*this); }
    bool Check(std::string& message) override {
        ResetFailure();
        checkedAt.push_back(CDateTime::Now());
        if (!failure.empty()) {
            NoteFailure(failure);
            return false;
        }
        return onCheck(message);
    }
};

// A script watch with state that a check changes: each check adds "+" to the field `seen`
// (written to the store, so a store holding one is not read back).
class StatefulWatch : public ScriptWatch {
public:
    std::string seen;

    std::unique_ptr<CObject> Clone() const override {
        return std::make_unique<StatefulWatch>(*this);
    }
    void VisitFields(IFieldVisitor& fields) override {
        ScriptWatch::VisitFields(fields);
        fields.String("seen", seen);
    }
    bool Check(std::string& message) override {
        seen += "+";
        return ScriptWatch::Check(message);
    }
};

class RecordingAlert : public CAlert {
    struct Shared {
        std::vector<std::string> sent;
        std::function<void()> onSend;
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();

public:
    RecordingAlert() = default;
    RecordingAlert(const RecordingAlert& other) : CAlert(other), m_shared(other.m_shared) {}

    std::vector<std::string>& sent = m_shared->sent;
    std::function<void()>& onSend = m_shared->onSend;

    std::unique_ptr<CObject> Clone() const override {
        return std::make_unique<RecordingAlert>(*this);
    }
    bool Send(std::string message) override {
        sent.push_back(message);
        if (onSend) {
            onSend();
        }
        return true;
    }
};

// A document whose store lives in a temp folder, with helpers to add records.
struct DocFixture {
    TempDir dir;
    CSentrelDoc doc{dir.File("Sentrel.bin")};

    template <class Watch = ScriptWatch> Watch* AddWatch(const std::string& name) {
        auto watch = std::make_unique<Watch>();
        watch->name = name;
        Watch* raw = watch.get();
        doc.watches.push_back(std::move(watch));
        return raw;
    }
    RecordingAlert* AddAlert(const std::string& name) {
        auto alert = std::make_unique<RecordingAlert>();
        alert->name = name;
        RecordingAlert* raw = alert.get();
        doc.alerts.push_back(std::move(alert));
        return raw;
    }
    // An enabled activation due at `next`, repeating every `interval` minutes.
    CActivation* AddActivation(const std::string& name, CWatch* watch, const CDateTime& next,
                               const std::string& interval) {
        auto activation = std::make_unique<CActivation>();
        activation->name = name;
        activation->enabled = true;
        if (watch) {
            activation->watch.push_back(watch);
        }
        activation->nextDate = next.FormatDate();
        activation->nextTime = next.FormatTime();
        activation->interval = interval;
        CActivation* raw = activation.get();
        doc.activations.push_back(std::move(activation));
        return raw;
    }
};

inline CDateTime NextOf(const CActivation& activation) {
    return CDateTime::Parse(activation.nextDate + " " + activation.nextTime);
}

} // namespace sentrel::test
