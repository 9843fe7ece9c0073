#include "engine/Engine.h"

#include "engine/Schedule.h"
#include "engine/StoreSaver.h"
#include "model/SentrelDoc.h"
#include "platform/Platform.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <exception>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sentrel {

namespace {

const char kSource[] = "Sentrel";

// Runs a watch's check or an alert's send. Whatever it throws (memory exhausted by an
// endless reply, say) ends only that step: it is logged as "Failed to <what>: <why>" and
// counts as not triggered (`why`, when given, keeps the why), and the engine goes on with
// the rest of the pass.
template <class Step>
bool Guarded(const std::string& what, Step&& step, std::string* why = nullptr) {
    std::string failure;
    try {
        return step();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "unknown error";
    }
    Log(kSource, "Failed to " + what + ": " + failure);
    if (why) {
        *why = std::move(failure);
    }
    return false;
}

// The copy a step works on, shared by the worker's job and its completion.
template <class Record> std::shared_ptr<Record> CopyOf(const Record& record) {
    std::unique_ptr<CObject> copy = record.Clone();
    if (auto* typed = dynamic_cast<Record*>(copy.get())) {
        copy.release();
        return std::shared_ptr<Record>(typed);
    }
    return nullptr;
}

struct CheckResult {
    bool triggered = false;
    std::string message;
    std::string failure; // why it could not look; empty when it could, or when it triggered
};

// One check of `copy` (on the worker). A watch that triggered has looked, whatever else
// went wrong on the way; one that did not may say why it could not look.
CheckResult RunCheck(CWatch& copy, const std::string& step) {
    CheckResult result;
    result.triggered = Guarded(
        "check " + step, [&] { return copy.Check(result.message); }, &result.failure);
    if (result.triggered) {
        result.failure.clear();
    } else if (result.failure.empty()) {
        result.failure = copy.FailureText();
    }
    return result;
}

CheckOutcome OutcomeOf(const CheckResult& result) {
    return result.triggered          ? CheckOutcome::Triggered
           : !result.failure.empty() ? CheckOutcome::CannotCheck
                                     : CheckOutcome::NotTriggered;
}

// What every check, scheduled or asked for, leaves in the run state.
void NoteCheck(ActivationRunState& state, const CheckResult& result) {
    state.outcome = OutcomeOf(result);
    state.lastCheck = CDateTime::Now();
    state.reason = result.failure;
    if (result.triggered) {
        state.lastTrigger = state.lastCheck;
    }
}

} // namespace

// Who touches what. The document and every record in it belong to the owner thread (the
// UI thread in the program, the run loop in sentrelctl): the due tests, the filter, the
// logging order and every write of a record happen there. Two other threads read or copy
// what the owner thread gives them, and never write the document:
// - A check or a send runs on the host's worker thread, on a copy of its watch or alert
//   made through the record's field list; nothing on the worker ever sees the document.
//   The watch's new state comes back on the owner thread when the check returns, and its
//   stored fields are written into the watch only if the watch still exists and no editor
//   was open on it meanwhile: an edit always wins over what a check began to see before
//   it. (What a kind keeps for the run only, such as the mail a mailbox watch has
//   reported, no editor shows: it comes back whenever the watch still exists.) A record
//   deleted while its step runs is forgotten by the pass before it goes (Forget), so
//   nothing is used after it is deleted.
// - A save (CStoreSaver) reads the records themselves on the host's saving thread, from
//   when it is handed over until it has written its last byte. Meanwhile the owner thread
//   only reads them: the engine makes its own changes (the due tests, a check's result,
//   the moments a stopped pass puts back) once the saver is free (WhenFree), and the
//   session and the window wait for it before theirs (WaitUntilFree, HoldDocument).
// The run state of the activations is the engine's own, outside the document: the owner
// thread alone reads and writes it, and no save ever reads it.
// The dial-up state alone is shared with the worker: dialMutex guards it.
struct CEngine::State : IConnectionRequester {
    State(CEngine& engine, CSentrelDoc& doc, IEngineHost& host, CStoreSaver& saver)
        : engine(engine), doc(doc), host(host), saver(saver) {}
    void RequestConnection() override { engine.RequestConnection(); }

    void FindDue();
    void NextActivation();
    void Checked(const CWatch& copy, const CheckResult& result);
    std::optional<std::string> NoteScheduledCheck(const CActivation& activation,
                                                  const std::string& watchName,
                                                  const CheckResult& result);
    void Fire();
    void NextAlert();
    void BeginStep(const std::string& name);
    void EndStep();
    void EndPass();
    void HangUpIfDialled();
    void Progress() {
        if (engine.onProgress) {
            engine.onProgress();
        }
    }
    // `call` on the owner thread once the saver is free, unless the engine is gone by then.
    void WhenFree(std::function<void()> call) {
        saver.WhenFree([alive = std::weak_ptr<int>(lifetime), call = std::move(call)] {
            if (!alive.expired()) {
                call();
            }
        });
    }

    CEngine& engine;
    CSentrelDoc& doc;
    IEngineHost& host;
    CStoreSaver& saver;
    bool running = false;
    bool busy = false;
    // The hang-up timer fell due while a step ran: it acts when the step ends, as a timer
    // message that waited behind a blocking check would.
    bool hangUpLate = false;
    IConnectionRequester* previousRequester = nullptr;
    // Completions queued on the host check it: the engine may be gone when they arrive.
    std::shared_ptr<int> lifetime = std::make_shared<int>(0);

    std::mutex dialMutex; // guards dialled, which the worker reaches through RequestConnection
    bool dialled = false;

    // Each activation's run state, by its record: Forget drops it before the record goes, so
    // a record made later at the same address starts afresh. Only the owner thread uses it.
    std::unordered_map<const CObject*, ActivationRunState> runStates;
    // The activations that a CheckNow under way is for; Forget nulls one that goes.
    std::vector<std::shared_ptr<const CActivation*>> probes;

    // The pass under way. Its record pointers are nulled by Forget before the record goes.
    struct Pass {
        // An activation found due, with its next moment before and after the due test.
        struct Due {
            CActivation* activation = nullptr;
            std::string nextDate, nextTime;
            std::string movedDate, movedTime;
        };
        std::vector<Due> due; // in document order
        std::size_t next = 0; // index in `due` of the next activation to check
        CActivation* activation = nullptr;
        CWatch* watch = nullptr; // while its check runs
        bool watchTouched = false;
        std::vector<CAlert*> alerts; // the activation's alerts when it fired
        std::size_t nextAlert = 0;
        std::string message; // what the alerts are sent
        // "activation:watch" of the check, and its message, still to fire once the
        // notice that went before it has been sent.
        std::string checkStep;
        std::optional<std::string> triggered;
        std::string waitingFor; // the step on the worker, if any
        // Stop (or the program's end) came during the pass: it ends once the activation
        // under way is finished. Its check's result is applied and, if it fired, its alerts
        // are sent, so nothing the watch saw is lost. The due activations after it get
        // back the next moment they had before this pass (unless something changed it
        // meanwhile), so they lose nothing either: they are due again at the next pass,
        // and the next save point writes them back.
        bool stopped = false;
    } pass;
};

// All due tests first, then one save: the moments they advanced are on disk before any
// check or send of this pass, so a crash never fires them twice.
void CEngine::State::FindDue() {
    if (!pass.stopped) {
        for (const auto& owned : doc.activations) {
            CActivation* activation = owned.get();
            if (!activation->enabled) {
                continue;
            }
            Pass::Due due{activation, activation->nextDate, activation->nextTime, {}, {}};
            if (IsDue(*activation)) {
                due.movedDate = activation->nextDate;
                due.movedTime = activation->nextTime;
                pass.due.push_back(std::move(due));
            }
        }
    }
    if (pass.due.empty()) {
        EndPass();
        return;
    }
    saver.Save([this, alive = std::weak_ptr<int>(lifetime)](const SaveOutcome&) {
        if (!alive.expired()) {
            NextActivation(); // a failed save has been reported; the pass goes on
        }
    });
}

void CEngine::State::NextActivation() {
    pass.activation = nullptr;
    while (!pass.stopped && pass.next < pass.due.size()) {
        CActivation* activation = pass.due[pass.next++].activation;
        if (!activation) {
            continue; // deleted meanwhile
        }
        pass.activation = activation;
        CWatch* watch = activation->GetWatch();
        std::shared_ptr<CWatch> copy = watch ? CopyOf(*watch) : nullptr;
        if (!copy) {
            continue; // nothing to check
        }
        pass.watch = watch;
        pass.watchTouched = false;
        const std::string step = activation->name + ":" + watch->name;
        auto result = std::make_shared<CheckResult>();
        BeginStep(step);
        host.RunOnWorker([copy, result, step] { *result = RunCheck(*copy, step); },
                         [this, alive = std::weak_ptr<int>(lifetime), copy, result] {
                             if (!alive.expired()) {
                                 WhenFree([this, copy, result] { Checked(*copy, *result); });
                             }
                         });
        return;
    }
    EndPass();
}

void CEngine::State::Checked(const CWatch& copy, const CheckResult& result) {
    if (pass.watch && !pass.watchTouched) {
        pass.watch->CopyFieldsFrom(copy);
    }
    if (pass.watch) {
        pass.watch->TakeRunState(copy); // no editor shows it: an edit leaves it alone
    }
    pass.watch = nullptr;
    EndStep();
    if (!pass.activation) {
        NextActivation();
        return;
    }
    pass.checkStep = pass.activation->name + ":" + copy.name;
    pass.triggered.reset();
    if (result.triggered) {
        pass.triggered = result.message;
    }
    if (std::optional<std::string> notice =
            NoteScheduledCheck(*pass.activation, copy.name, result)) {
        // Not the watch's message: the word filter is not for it.
        pass.message = std::move(*notice);
        pass.alerts = pass.activation->alerts;
        pass.nextAlert = 0;
        NextAlert();
        return;
    }
    Fire();
}

// Counts the failures in a row and says what the alerts are to be told, if anything.
std::optional<std::string> CEngine::State::NoteScheduledCheck(const CActivation& activation,
                                                              const std::string& watchName,
                                                              const CheckResult& result) {
    ActivationRunState& state = runStates[&activation];
    const CheckOutcome before = state.outcome;
    NoteCheck(state, result);
    std::optional<std::string> notice;
    if (state.outcome == CheckOutcome::CannotCheck) {
        if (++state.failuresInRow >= kFailuresTold && !state.told) {
            state.told = true;
            Log(pass.checkStep, "Cannot check");
            notice = "Sentrel cannot check " + watchName + ": " + state.reason;
        }
    } else {
        state.failuresInRow = 0;
        if (std::exchange(state.told, false)) {
            Log(pass.checkStep, "Can check again");
            notice = "Sentrel can check " + watchName + " again";
        }
    }
    if (engine.onChecked) {
        engine.onChecked(activation, before);
    }
    return notice;
}

// The watch's message, if it triggered, through the activation's filter to its alerts.
void CEngine::State::Fire() {
    if (!pass.activation || !pass.triggered) {
        NextActivation();
        return;
    }
    std::string message = std::move(*pass.triggered);
    pass.triggered.reset();
    Log(pass.checkStep, "Triggered");
    if (!PassesFilter(*pass.activation, message)) {
        NextActivation();
        return;
    }
    pass.message = std::move(message);
    pass.alerts = pass.activation->alerts;
    pass.nextAlert = 0;
    NextAlert();
}

// An alert's Send stores nothing: nothing comes back from its copy.
void CEngine::State::NextAlert() {
    while (pass.activation && pass.nextAlert < pass.alerts.size()) {
        CAlert* alert = pass.alerts[pass.nextAlert++];
        std::shared_ptr<CAlert> copy = alert ? CopyOf(*alert) : nullptr;
        if (!copy) {
            continue; // deleted meanwhile
        }
        const std::string step = pass.activation->name + ":" + alert->name;
        Log(step, "Triggered");
        BeginStep(step);
        host.RunOnWorker(
            [copy, step, message = pass.message] {
                Guarded("send " + step, [&] {
                    copy->Send(message);
                    return true;
                });
            },
            [this, alive = std::weak_ptr<int>(lifetime)] {
                if (!alive.expired()) {
                    EndStep();
                    NextAlert();
                }
            });
        return;
    }
    Fire();
}

void CEngine::State::BeginStep(const std::string& name) {
    pass.waitingFor = name;
    Progress();
}

void CEngine::State::EndStep() {
    pass.waitingFor.clear();
    if (std::exchange(hangUpLate, false)) {
        HangUpIfDialled();
    }
    Progress();
}

void CEngine::State::EndPass() {
    WhenFree([this] {
        for (std::size_t i = pass.stopped ? pass.next : pass.due.size(); i < pass.due.size(); ++i) {
            const Pass::Due& due = pass.due[i];
            CActivation* activation = due.activation;
            if (activation && activation->nextDate == due.movedDate &&
                activation->nextTime == due.movedTime) {
                activation->nextDate = due.nextDate;
                activation->nextTime = due.nextTime;
            }
        }
        pass = {};
        host.SetTimer(kEngineTimer, kEnginePeriodMs);
        busy = false;
        Progress();
    });
}

void CEngine::State::HangUpIfDialled() {
    std::lock_guard lock(dialMutex);
    // Only a connection we dialled is ours to hang up; otherwise the timer keeps ticking
    // harmlessly.
    if (dialled) {
        host.KillTimer(kHangUpTimer);
        Log(kSource, "Disconnecting from Internet");
        Platform().connection->HangUp();
        dialled = false;
    }
}

CEngine::CEngine(CSentrelDoc& doc, IEngineHost& host, CStoreSaver& saver)
    : m_state(std::make_unique<State>(*this, doc, host, saver)) {
    NetworkServices services;
    services.connection = m_state.get();
    m_state->previousRequester = InstallNetwork(services).connection;
}

// The host stops its own timers; it may already be half torn down here. Only the
// requester is put back: whatever else was installed meanwhile stays.
CEngine::~CEngine() {
    m_state->host.DrainWorker();
    m_state->lifetime.reset();
    NetworkServices services;
    services.connection = m_state->previousRequester;
    InstallNetwork(services);
}

void CEngine::Start() {
    Log(kSource, "Activations started");
    m_state->running = true;
    m_state->pass.stopped = false;
    m_state->host.SetTimer(kEngineTimer, kEnginePeriodMs);
}

void CEngine::Stop() {
    Log(kSource, "Activations stopped");
    Halt();
}

void CEngine::Halt() {
    m_state->running = false;
    m_state->pass.stopped = m_state->busy;
    m_state->host.KillTimer(kEngineTimer);
}

void CEngine::RequestConnection() {
    State& s = *m_state;
    const bool connected = Platform().connection->IsConnected();
    if (!connected) {
        std::lock_guard lock(s.dialMutex);
        Log(kSource, "Connecting to Internet");
        Platform()
            .connection->DialUnattended(); // a failed dial shows up in the caller's own failure
        Log(kSource, "Connected to Internet");
        s.dialled = true;
    }
    // The timer belongs to the owner thread; restarting it restarts its minute.
    s.host.PostToOwner([&s, alive = std::weak_ptr<int>(s.lifetime), connected] {
        if (alive.expired()) {
            return;
        }
        if (connected) {
            s.host.KillTimer(kHangUpTimer);
        }
        s.host.SetTimer(kHangUpTimer, kHangUpPeriodMs);
    });
}

void CEngine::OnTimer(int id) {
    State& s = *m_state;
    if (id == kHangUpTimer) {
        if (!s.pass.waitingFor.empty()) {
            s.hangUpLate = true;
        } else {
            s.HangUpIfDialled();
        }
    } else if (id == kEngineTimer) {
        if (s.running && !s.busy) {
            RunPass();
        }
    }
}

void CEngine::RunPass() {
    State& s = *m_state;
    if (s.busy) {
        return;
    }
    s.busy = true;
    s.host.KillTimer(kEngineTimer);
    s.pass = {};
    s.WhenFree([&s] { s.FindDue(); });
}

void CEngine::CheckNow(const CActivation& activation,
                       std::function<void(const CheckReport&)> done) {
    State& s = *m_state;
    CWatch* watch = activation.GetWatch();
    std::shared_ptr<CWatch> copy = watch ? CopyOf(*watch) : nullptr;
    if (!copy) {
        done({CheckOutcome::CannotCheck, {}, "The activation has no watch"});
        return;
    }
    auto probe = std::make_shared<const CActivation*>(&activation);
    s.probes.push_back(probe);
    const std::string step = activation.name + ":" + watch->name;
    auto result = std::make_shared<CheckResult>();
    // Only the run state is written, and no save reads that: no need to wait for one.
    s.host.RunOnWorker(
        [copy, result, step] { *result = RunCheck(*copy, step); },
        [this, alive = std::weak_ptr<int>(s.lifetime), probe, result, done = std::move(done)] {
            if (alive.expired()) {
                return;
            }
            State& s = *m_state;
            std::erase(s.probes, probe);
            if (const CActivation* checked = *probe) {
                ActivationRunState& state = s.runStates[checked];
                const CheckOutcome before = state.outcome;
                NoteCheck(state, *result);
                if (onChecked) {
                    onChecked(*checked, before);
                }
            }
            done({OutcomeOf(*result), result->message, result->failure});
        });
}

const ActivationRunState& CEngine::RunStateOf(const CActivation& activation) const {
    static const ActivationRunState unchecked;
    const auto found = m_state->runStates.find(&activation);
    return found != m_state->runStates.end() ? found->second : unchecked;
}

void CEngine::Forget(const CObject* record) {
    State::Pass& pass = m_state->pass;
    if (!record) {
        return;
    }
    m_state->runStates.erase(record);
    for (const auto& probe : m_state->probes) {
        if (*probe == record) {
            *probe = nullptr;
        }
    }
    if (!m_state->busy) {
        return;
    }
    for (State::Pass::Due& due : pass.due) {
        if (due.activation == record) {
            due.activation = nullptr;
        }
    }
    if (pass.activation == record) {
        pass.activation = nullptr;
    }
    if (pass.watch == record) {
        pass.watch = nullptr;
    }
    for (CAlert*& alert : pass.alerts) {
        if (alert == record) {
            alert = nullptr;
        }
    }
}

void CEngine::Touched(const CObject* record) {
    if (m_state->busy && record && m_state->pass.watch == record) {
        m_state->pass.watchTouched = true;
    }
}

bool CEngine::IsRunning() const {
    return m_state->running;
}
bool CEngine::IsDialled() const {
    std::lock_guard lock(m_state->dialMutex);
    return m_state->dialled;
}
bool CEngine::IsBusy() const {
    return m_state->busy;
}
std::string CEngine::WaitingFor() const {
    return m_state->pass.waitingFor;
}

} // namespace sentrel
