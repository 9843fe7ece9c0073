#pragma once

// Writing the store off the owner thread: serialising, writing, flushing and renaming run on
// the host's saving thread, so a large store never holds up the window. A save asked for
// while one is under way is one more save after it, shared by everyone who asked meanwhile.

#include "model/SentrelDoc.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace sentrel {

class IEngineHost;

class CStoreSaver {
public:
    using Written = std::function<void(const SaveOutcome&)>;

    CStoreSaver(CSentrelDoc& doc, IEngineHost& host);
    // Waits for the save under way; saves only asked for are dropped, and so are the
    // calls that wait for them.
    ~CStoreSaver();
    CStoreSaver(const CStoreSaver&) = delete;
    CStoreSaver& operator=(const CStoreSaver&) = delete;

    // Everything below is called on the owner thread.

    // Asks for the whole store to be written. `written` is called with the outcome once a
    // save that began after this call has ended. A failed save is also handed to
    // onFailure; the previous store is then as it was.
    void Save(Written written = {});
    // Waits for the save under way, then writes the store on this thread, for itself and
    // for every save asked for meanwhile; returns the outcome (not handed to onFailure).
    SaveOutcome SaveNow();
    // Calls `change` on this thread as soon as no save is reading the document: at once
    // when none is.
    void WhenFree(std::function<void()> change);
    // Returns once no save is reading the document.
    void WaitUntilFree();

    // While a hold lives, the owner thread may change records at any moment (an editor is
    // open on one): the save that was reading them has been waited for, and the saves
    // asked for meanwhile are written at once on the owner thread.
    class Hold {
    public:
        Hold() = default;
        explicit Hold(CStoreSaver* saver);
        ~Hold();
        Hold(Hold&& other) noexcept;
        Hold& operator=(Hold&&) = delete;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        CStoreSaver* m_saver = nullptr;
    };
    [[nodiscard]] Hold HoldDocument() { return Hold(this); }

    // Each save of Save() that failed, after its `written` calls.
    Written onFailure;

private:
    void Begin();
    void Released();
    void Ended(const SaveOutcome& outcome);

    CSentrelDoc& m_doc;
    IEngineHost& m_host;
    // The owner thread's bookkeeping; the saving thread only runs the document's Save.
    bool m_running = false;         // a save is under way on the saving thread
    bool m_pending = false;         // one more was asked for meanwhile
    std::vector<Written> m_current; // waiting for the save under way
    std::vector<Written> m_next;    // waiting for the one after it
    std::vector<std::function<void()>> m_whenFree;
    int m_holds = 0;
    // Whether the saving thread may be reading the document: set here before a save is
    // handed over, cleared there once the save has written its last byte. The document's
    // one owner is the owner thread whenever it is clear (see Engine.cpp).
    std::atomic<bool> m_reading{false};
    // Calls posted back check it: the saver may be gone when they arrive.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace sentrel
