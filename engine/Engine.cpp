#include "engine/Engine.h"

#include "engine/Schedule.h"
#include "model/SentrelDoc.h"
#include "platform/Platform.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"

#include <exception>

namespace sentrel {

namespace {

const char kSource[] = "Sentrel";

// Runs a watch's check or an alert's send. Whatever it throws (memory exhausted by an
// endless reply, say) ends only that step: it is logged as "Failed to <what>: <why>" and
// counts as not triggered, and the engine goes on with the rest of the pass.
template <class Step> bool Guarded(const std::string& what, Step&& step) {
    try {
        return step();
    } catch (const std::exception& error) {
        Log(kSource, "Failed to " + what + ": " + error.what());
    } catch (...) {
        Log(kSource, "Failed to " + what + ": unknown error");
    }
    return false;
}

} // namespace

// The engine's dial-up policy is what network watches and alerts reach through
// RequestConnection.
struct CEngine::State : IConnectionRequester {
    State(CEngine& engine, CSentrelDoc& doc, ITimerHost& host)
        : engine(engine), doc(doc), host(host) {}
    void RequestConnection() override { engine.RequestConnection(); }

    CEngine& engine;
    CSentrelDoc& doc;
    ITimerHost& host;
    bool running = false;
    bool dialled = false;
    bool busy = false;
    IConnectionRequester* previousRequester = nullptr;
};

CEngine::CEngine(CSentrelDoc& doc, ITimerHost& host)
    : m_state(std::make_unique<State>(*this, doc, host)) {
    NetworkServices services;
    services.connection = m_state.get();
    m_state->previousRequester = InstallNetwork(services).connection;
}

// The host stops its own timers; it may already be half torn down here. Only the
// requester is put back: whatever else was installed meanwhile stays.
CEngine::~CEngine() {
    NetworkServices services;
    services.connection = m_state->previousRequester;
    InstallNetwork(services);
}

void CEngine::Start() {
    Log(kSource, "Activations started");
    m_state->running = true;
    m_state->host.SetTimer(kEngineTimer, kEnginePeriodMs);
}

void CEngine::Stop() {
    Log(kSource, "Activations stopped");
    m_state->running = false;
    m_state->host.KillTimer(kEngineTimer);
}

void CEngine::RequestConnection() {
    IConnection& connection = *Platform().connection;
    if (connection.IsConnected()) {
        m_state->host.KillTimer(kHangUpTimer);
    } else {
        Log(kSource, "Connecting to Internet");
        connection.DialUnattended(); // a failed dial shows up in the caller's own failure
        Log(kSource, "Connected to Internet");
        m_state->dialled = true;
    }
    m_state->host.SetTimer(kHangUpTimer, kHangUpPeriodMs);
}

void CEngine::OnTimer(int id) {
    if (id == kHangUpTimer) {
        // Only a connection we dialled is ours to hang up; otherwise the timer keeps
        // ticking harmlessly.
        if (m_state->dialled) {
            m_state->host.KillTimer(kHangUpTimer);
            Log(kSource, "Disconnecting from Internet");
            Platform().connection->HangUp();
            m_state->dialled = false;
        }
    } else if (id == kEngineTimer) {
        if (m_state->running && !m_state->busy) {
            RunPass();
        }
    }
}

void CEngine::RunPass() {
    State& s = *m_state;
    s.busy = true;
    s.host.KillTimer(kEngineTimer);
    // By index: the list is re-read at every step, so a record added while a watch or an
    // alert waits does not invalidate the walk.
    for (std::size_t i = 0; i < s.doc.activations.size(); ++i) {
        CActivation& activation = *s.doc.activations[i];
        if (!activation.enabled || !IsDue(activation, s.doc)) {
            continue;
        }
        CWatch* watch = activation.GetWatch();
        if (!watch) {
            continue; // nothing to check
        }
        std::string message;
        if (!Guarded("check " + activation.name + ":" + watch->name,
                     [&] { return watch->Check(message); })) {
            continue;
        }
        Log(activation.name + ":" + watch->name, "Triggered");
        if (!PassesFilter(activation, message)) {
            continue;
        }
        // A copy: the list may change while an alert waits on the network.
        const std::vector<CAlert*> alerts = activation.alerts;
        for (CAlert* alert : alerts) {
            Log(activation.name + ":" + alert->name, "Triggered");
            Guarded("send " + activation.name + ":" + alert->name, [&] {
                alert->Send(message);
                return true;
            });
        }
    }
    s.host.SetTimer(kEngineTimer, kEnginePeriodMs);
    s.busy = false;
}

bool CEngine::IsRunning() const {
    return m_state->running;
}
bool CEngine::IsDialled() const {
    return m_state->dialled;
}
bool CEngine::IsBusy() const {
    return m_state->busy;
}

} // namespace sentrel
