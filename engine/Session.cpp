#include "engine/Session.h"

#include "engine/Engine.h"
#include "services/EventLog.h"

#include <cerrno>
#include <cstring>

namespace sentrel {

namespace {

const char kSource[] = "Sentrel";

} // namespace

CSentrelSession::CSentrelSession(std::string storePath) : m_doc(std::move(storePath)) {}

// The engine refers to the document: it goes first. The trace closes with the session.
CSentrelSession::~CSentrelSession() {
    m_engine.reset();
    CTraceFile::Instance().SwitchOff();
}

bool CSentrelSession::Open(StorePolicy policy, std::string* problem) {
    Log(kSource, "Started"); // the trace is not open yet: never written
    const bool interactive = policy == StorePolicy::Interactive;
    const auto damage = m_doc.Load(interactive);
    std::string why;
    switch (m_doc.GetStoreState()) {
    case StoreState::Read:
        return true;
    case StoreState::Missing:
        if (interactive) {
            return true; // a first start
        }
        why = "cannot read " + m_doc.StorePath() + ": " + std::strerror(ENOENT);
        break;
    case StoreState::Damaged:
        if (interactive) {
            return true; // the load has kept the bytes and told the user
        }
        why = StoreDamageMessage(*damage);
        break;
    case StoreState::Unreadable:
        // Interactively the load has said why; nothing may be saved over that store.
        why = m_doc.UnreadableMessage();
        break;
    }
    if (problem) {
        *problem = why;
    }
    return false;
}

void CSentrelSession::ApplyTraceSwitch(bool on) {
    CTraceFile& trace = CTraceFile::Instance();
    if (!trace.IsOpen()) {
        trace.SetPath(TracePathFor(m_doc.StorePath()));
    }
    m_doc.traceOn = on;
    m_doc.Save();
    if (on) {
        trace.SwitchOn();
        Log("TRACE", "Trace Switched on");
    } else {
        // Still written: the file is open until the switch goes off.
        Log("TRACE", "Trace Switched off");
        trace.SwitchOff();
    }
}

void CSentrelSession::FollowTraceQuietly() {
    if (m_doc.traceOn) {
        CTraceFile::Instance().SetPath(TracePathFor(m_doc.StorePath()));
        CTraceFile::Instance().SwitchOn();
    }
}

CEngine& CSentrelSession::AttachEngine(IEngineHost& host) {
    if (!m_engine) {
        m_engine = std::make_unique<CEngine>(m_doc, host);
    }
    return *m_engine;
}

namespace {

template <class Record> bool RemoveFrom(CSentrelDoc& doc, CEngine* engine, const Record* record) {
    if (engine) {
        engine->Forget(record);
    }
    return doc.Remove(record);
}

} // namespace

bool CSentrelSession::Remove(const CWatch* watch) {
    return RemoveFrom(m_doc, m_engine.get(), watch);
}
bool CSentrelSession::Remove(const CAlert* alert) {
    return RemoveFrom(m_doc, m_engine.get(), alert);
}
bool CSentrelSession::Remove(const CActivation* activation) {
    return RemoveFrom(m_doc, m_engine.get(), activation);
}

void CSentrelSession::Touched(const CObject* record) {
    if (m_engine) {
        m_engine->Touched(record);
    }
}

bool CSentrelSession::Exit() {
    Log(kSource, "Exited");
    return m_doc.Save();
}

} // namespace sentrel
