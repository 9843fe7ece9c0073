#pragma once

// One run on a store, by the program or by sentrelctl: the document, the trace switch and
// the engine, with the start-up and exit steps they all share. Qt-free: the program's main
// window is a view of a session, and the command line drives one without any window.

#include "engine/StoreSaver.h"
#include "model/SentrelDoc.h"

#include <memory>
#include <string>

namespace sentrel {

class CEngine;
class IEngineHost;

// How a store that was not read whole is met at start-up.
enum class StorePolicy {
    // The program: a missing store is a first start; a damaged one is kept beside itself
    // and the user told, and the records read before the fault are used; an unreadable one
    // is reported and ends the start (nothing may be saved over it).
    Interactive,
    // The command line: only a store read whole is worked on; anything else is refused
    // with the reason, and nothing is written anywhere.
    Strict,
};

class CSentrelSession {
public:
    explicit CSentrelSession(std::string storePath);
    ~CSentrelSession();
    CSentrelSession(const CSentrelSession&) = delete;
    CSentrelSession& operator=(const CSentrelSession&) = delete;

    // "Started" (never written: the trace is not open yet), then the store is loaded as
    // `policy` says, and what the watches remember from the last run (engine/RunState.h).
    // False when the session must not go on; with the strict policy
    // `problem` then says why, while the interactive one tells the user (a damaged store,
    // a store that cannot be read) in a message box.
    bool Open(StorePolicy policy, std::string* problem = nullptr);

    CSentrelDoc& Doc() { return m_doc; }
    const CSentrelDoc& Doc() const { return m_doc; }

    // A save point: the whole store is written, and the run state beside it, off this thread once
    // an engine is attached (a failure is then told in a message box on this thread when the save
    // has ended).
    void Save();

    // What ticking or clearing "Log trace to trace.txt" does, and what start-up does with
    // the stored switch: the document's switch is set and the store saved; switching on
    // opens "trace.txt" beside the store and writes "Trace Switched on" first, switching
    // off writes "Trace Switched off" last and closes the file.
    void ApplyTraceSwitch(bool on);
    // Follows the stored switch without its own lines and without a save: a single check
    // or send from the command line writes only its own events (and a run state that
    // could not be read).
    void FollowTraceQuietly();

    // The engine, on `host` (its timers, its worker and saving threads and the way back to
    // this thread), from now until the session ends; its dial-up policy serves
    // RequestConnection meanwhile. From now on the store is written on the saving thread.
    // Attached once.
    CEngine& AttachEngine(IEngineHost& host);
    CEngine* Engine() { return m_engine.get(); }

    // Removes a record from the document, as a Delete does; a pass under way forgets it
    // first. False when it is not there.
    bool Remove(const CWatch* watch);
    bool Remove(const CAlert* alert);
    bool Remove(const CActivation* activation);
    // After an editor was open on a record (accepted or not: the web page editor keeps
    // the page it fetched either way), so that a check under way does not undo the edit.
    void Touched(const CObject* record);
    // Taken while an editor is open or a record is added: see CStoreSaver::Hold.
    [[nodiscard]] CStoreSaver::Hold HoldDocument() { return CStoreSaver::Hold(m_saver.get()); }

    // "Exited", then, once a save under way has ended, the save at exit on this thread;
    // false when the store could not be written (the user has been told).
    bool Exit();

private:
    void WaitUntilFree();
    // The trace line of a run state that could not be read, written once the trace is on.
    void TellRunStateNote();

    CSentrelDoc m_doc;
    std::string m_runStateNote;
    std::unique_ptr<CStoreSaver> m_saver;
    std::unique_ptr<CEngine> m_engine; // refers to the saver: goes first
};

// Tells the user why a save did not write the store: the message box it has always been.
void ReportSaveProblem(const SaveOutcome& outcome);

} // namespace sentrel
