#include "engine/Session.h"

#include "engine/Engine.h"
#include "engine/RunState.h"
#include "platform/Platform.h"
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
    m_saver.reset();
    CTraceFile::Instance().SwitchOff();
}

void ReportSaveProblem(const SaveOutcome& outcome) {
    if (!outcome) {
        Platform().messageBox->Show(outcome.problem, "Sentrel", outcome.icon);
    }
}

bool CSentrelSession::Open(StorePolicy policy, std::string* problem) {
    Log(kSource, "Started"); // the trace is not open yet: never written
    const bool interactive = policy == StorePolicy::Interactive;
    const auto damage = m_doc.Load(interactive);
    std::string why;
    const StoreState state = m_doc.GetStoreState();
    if (state == StoreState::Read || (interactive && state != StoreState::Unreadable)) {
        // Told once the trace is open.
        m_runStateNote = LoadRunState(m_doc);
    }
    switch (state) {
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
            // The load has kept the bytes beside the store; the message says where.
            Platform().messageBox->Show(StoreDamageMessage(*damage), "Sentrel",
                                        MessageIcon::Warning);
            return true;
        }
        why = StoreDamageMessage(*damage);
        break;
    case StoreState::Unreadable:
        // Nothing may be saved over that store.
        why = m_doc.UnreadableMessage();
        if (interactive) {
            Platform().messageBox->Show(why, "Sentrel", MessageIcon::Stop);
        }
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
    WaitUntilFree();
    m_doc.traceOn = on;
    Save();
    if (on) {
        trace.SwitchOn();
        Log("TRACE", "Trace Switched on");
        TellRunStateNote();
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
        TellRunStateNote();
    }
}

void CSentrelSession::TellRunStateNote() {
    if (!m_runStateNote.empty()) {
        Log(kSource, m_runStateNote);
        m_runStateNote.clear();
    }
}

void CSentrelSession::Save() {
    if (m_saver) {
        m_saver->Save();
    } else {
        ReportSaveProblem(SaveWithRunState(m_doc));
    }
}

void CSentrelSession::WaitUntilFree() {
    if (m_saver) {
        m_saver->WaitUntilFree();
    }
}

CEngine& CSentrelSession::AttachEngine(IEngineHost& host) {
    if (!m_engine) {
        m_saver = std::make_unique<CStoreSaver>(m_doc, host);
        m_saver->onFailure = ReportSaveProblem;
        m_engine = std::make_unique<CEngine>(m_doc, host, *m_saver);
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
    WaitUntilFree();
    return RemoveFrom(m_doc, m_engine.get(), watch);
}
bool CSentrelSession::Remove(const CAlert* alert) {
    WaitUntilFree();
    return RemoveFrom(m_doc, m_engine.get(), alert);
}
bool CSentrelSession::Remove(const CActivation* activation) {
    WaitUntilFree();
    return RemoveFrom(m_doc, m_engine.get(), activation);
}

void CSentrelSession::Touched(const CObject* record) {
    if (m_engine) {
        m_engine->Touched(record);
    }
}

bool CSentrelSession::Exit() {
    Log(kSource, "Exited");
    const SaveOutcome outcome = m_saver ? m_saver->SaveNow() : SaveWithRunState(m_doc);
    ReportSaveProblem(outcome);
    return outcome.saved;
}

} // namespace sentrel
