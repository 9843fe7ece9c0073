#include "engine/StoreSaver.h"

#include "engine/Engine.h"
#include "engine/RunState.h"

#include <optional>
#include <utility>

namespace sentrel {

CStoreSaver::CStoreSaver(CSentrelDoc& doc, IEngineHost& host) : m_doc(doc), m_host(host) {}

// The saving thread reaches this object until its save returns: the drain comes first.
CStoreSaver::~CStoreSaver() {
    m_host.DrainSaves();
    m_lifetime.reset();
}

void CStoreSaver::Save(Written written) {
    if (m_holds > 0) {
        const SaveOutcome outcome = SaveNow();
        if (written) {
            written(outcome);
        }
        if (!outcome && onFailure) {
            onFailure(outcome);
        }
        return;
    }
    if (m_running) {
        m_pending = true;
        m_next.push_back(std::move(written));
        return;
    }
    m_current.push_back(std::move(written));
    Begin();
}

void CStoreSaver::Begin() {
    m_running = true;
    m_pending = false;
    m_reading = true;
    auto outcome = std::make_shared<SaveOutcome>();
    const std::weak_ptr<int> alive = m_lifetime;
    m_host.RunSave(
        [this, outcome, alive] {
            *outcome = SaveWithRunState(m_doc, [this, alive] {
                m_reading = false;
                m_host.PostToOwner([this, alive] {
                    if (!alive.expired()) {
                        Released();
                    }
                });
            });
        },
        [this, outcome, alive] {
            if (!alive.expired()) {
                Ended(*outcome);
            }
        });
}

void CStoreSaver::Released() {
    while (!m_reading && !m_whenFree.empty()) {
        auto calls = std::exchange(m_whenFree, {});
        for (auto& call : calls) {
            call();
        }
    }
}

void CStoreSaver::Ended(const SaveOutcome& outcome) {
    m_running = false;
    auto waiting = std::exchange(m_current, {});
    std::optional<SaveOutcome> heldOutcome;
    if (m_pending && m_holds > 0) {
        heldOutcome = SaveNow(); // asked for before the hold: not off this thread now
    } else if (m_pending) {
        m_current = std::exchange(m_next, {});
        Begin();
    }
    for (auto& written : waiting) {
        if (written) {
            written(outcome);
        }
    }
    if (!outcome && onFailure) {
        onFailure(outcome);
    }
    if (heldOutcome && !*heldOutcome && onFailure) {
        onFailure(*heldOutcome);
    }
}

SaveOutcome CStoreSaver::SaveNow() {
    m_host.DrainSaves(); // the save under way has ended; what it calls back comes later
    const SaveOutcome outcome = SaveWithRunState(m_doc);
    m_pending = false;
    for (auto& written : std::exchange(m_next, {})) {
        if (written) {
            written(outcome);
        }
    }
    Released();
    return outcome;
}

void CStoreSaver::WhenFree(std::function<void()> change) {
    if (m_reading) {
        m_whenFree.push_back(std::move(change));
    } else {
        change();
    }
}

void CStoreSaver::WaitUntilFree() {
    if (m_reading) {
        m_host.DrainSaves();
    }
}

CStoreSaver::Hold::Hold(CStoreSaver* saver) : m_saver(saver) {
    if (m_saver) {
        m_saver->WaitUntilFree();
        ++m_saver->m_holds;
    }
}

CStoreSaver::Hold::~Hold() {
    if (m_saver) {
        --m_saver->m_holds;
    }
}

CStoreSaver::Hold::Hold(Hold&& other) noexcept : m_saver(std::exchange(other.m_saver, nullptr)) {}

} // namespace sentrel
