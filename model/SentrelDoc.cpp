#include "model/SentrelDoc.h"

#include "model/Archive.h"
#include "platform/WholeFile.h"

#include <algorithm>
#include <sys/stat.h>
#include <utility>

namespace sentrel {

namespace {

template <class T, class P> bool RemoveFrom(std::vector<std::unique_ptr<T>>& list, P* record) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [record](const auto& owned) { return owned.get() == record; });
    if (it == list.end()) {
        return false;
    }
    list.erase(it);
    return true;
}

template <class T>
T* FindByName(const std::vector<std::unique_ptr<T>>& list, const std::string& name) {
    for (const auto& record : list) {
        if (record->name == name) {
            return record.get();
        }
    }
    return nullptr;
}

} // namespace

CSentrelDoc::CSentrelDoc(std::string storePath) : m_storePath(std::move(storePath)) {}

CSentrelDoc::~CSentrelDoc() {
    // Alerts, then watches, then activations; activations only refer to the others.
    alerts.clear();
    watches.clear();
    activations.clear();
    m_unlisted.clear();
}

void CSentrelDoc::Serialize(CArchive& ar) {
    ar.Serialize(traceOn);
    ar.SerializeOwned(alerts);
    ar.SerializeOwned(watches);
    ar.SerializeOwned(activations);
}

std::optional<StoreDamage> CSentrelDoc::Decode(std::string_view bytes) {
    CArchive ar{bytes};
    return Decode(ar);
}

std::optional<StoreDamage> CSentrelDoc::Decode(CArchive& ar) {
    std::optional<StoreDamage> damage;
    try {
        Serialize(ar);
    } catch (const CArchiveException& error) {
        damage = StoreDamage{error.GetOffset(), DescribeArchiveError(error), {}, {}};
    }
    for (auto& record : ar.TakeUnclaimed()) {
        m_unlisted.push_back(std::move(record));
    }
    return damage;
}

std::string CSentrelDoc::Encode() {
    CArchive ar;
    Serialize(ar);
    return ar.TakeData();
}

std::optional<StoreDamage> CSentrelDoc::Load(bool keepDamagedAtOnce) {
    m_state = StoreState::Missing;
    m_unreadableReason.clear();
    m_guarded = {};
    m_damagedBytes.clear();

    const std::string file = FollowLinks(m_storePath);
    RemoveReplaceLeftovers(file);
    const auto unreadable = [&](std::string reason) {
        m_state = StoreState::Unreadable;
        m_unreadableReason = std::move(reason);
        struct stat st {};
        m_guarded.active = true;
        m_guarded.byIdentity = stat(file.c_str(), &st) == 0;
        m_guarded.device = st.st_dev;
        m_guarded.inode = st.st_ino;
        m_guarded.path = file;
        return std::nullopt;
    };

    int fd = -1;
    struct stat st {};
    std::string reason;
    switch (OpenForReading(m_storePath, fd, st, reason)) {
    case OpenResult::Missing:
        return std::nullopt;
    case OpenResult::Unreadable:
        return unreadable(reason);
    case OpenResult::Opened:
        break;
    }
    const ClosedAtEnd closer{fd};
    // Read through the archive's buffer: the store is never held whole in memory on top
    // of the records made from it.
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t got = 0;
    std::optional<StoreDamage> damage;
    try {
        CArchive ar(
            [fd, size, &got](char* into, std::size_t max) {
                const std::size_t n = ReadSome(fd, into, max);
                got += n;
                if (n == 0 && got < size) {
                    throw ReadFailed{"only " + std::to_string(got) + " of its " +
                                     std::to_string(size) + " bytes could be read"};
                }
                return n;
            },
            size);
        damage = Decode(ar);
        if (damage) {
            m_damagedBytes = ReadWhole(fd);
        }
    } catch (const ReadFailed& failed) {
        // Nothing of a store read in part is kept: it is never saved over either.
        alerts.clear();
        watches.clear();
        activations.clear();
        m_unlisted.clear();
        traceOn = false;
        m_damagedBytes.clear();
        return unreadable(failed.reason);
    }
    if (!damage) {
        m_state = StoreState::Read;
        return std::nullopt;
    }
    m_state = StoreState::Damaged;
    m_guarded = Guarded{true, true, st.st_dev, st.st_ino, file};
    if (keepDamagedAtOnce) {
        KeepDamagedBytes(damage->keptAs, damage->keepError);
    }
    return damage;
}

std::string CSentrelDoc::UnreadableMessage() const {
    return "Sentrel.bin cannot be read: " + m_unreadableReason;
}

bool CSentrelDoc::KeepDamagedBytes(std::string& keptAs, std::string& error) {
    for (int n = 0; n < 1000; ++n) {
        const std::string path = m_storePath + ".damaged" + (n ? "." + std::to_string(n) : "");
        switch (WriteNewFile(path, m_damagedBytes, error)) {
        case NewFile::Exists:
            continue; // an older copy is never replaced
        case NewFile::Failed:
            return false;
        case NewFile::Written:
            keptAs = path;
            m_guarded = {};
            m_damagedBytes.clear();
            m_damagedBytes.shrink_to_fit();
            return true;
        }
    }
    error = "too many kept copies";
    return false;
}

bool CSentrelDoc::WouldOverwriteGuarded() const {
    if (!m_guarded.active) {
        return false;
    }
    const std::string file = FollowLinks(m_storePath);
    if (!m_guarded.byIdentity) {
        return file == m_guarded.path;
    }
    struct stat st {};
    return stat(file.c_str(), &st) == 0 && st.st_dev == m_guarded.device &&
           st.st_ino == m_guarded.inode;
}

namespace {

// Thrown by the store's sink when the temporary file cannot take more bytes.
struct WriteFailed {};

SaveOutcome NotCreated() {
    return {false, "Unable to create Sentrel.bin", MessageIcon::None};
}

} // namespace

SaveOutcome CSentrelDoc::Save(const std::function<void()>& released) {
    bool releasedYet = false;
    const auto release = [&] {
        if (released && !std::exchange(releasedYet, true)) {
            released();
        }
    };
    const SaveOutcome outcome = [&]() -> SaveOutcome {
        if (WouldOverwriteGuarded()) {
            if (m_state == StoreState::Unreadable) {
                return {false, UnreadableMessage(), MessageIcon::Stop};
            }
            std::string keptAs, error;
            if (!KeepDamagedBytes(keptAs, error)) {
                return NotCreated();
            }
        }
        try {
            // Written through the archive's buffer straight into the file: a store holding
            // large web pages is not built in memory a second time.
            const bool saved = ReplaceFileAtomically(
                FollowLinks(m_storePath),
                [this](int fd) {
                    CArchive ar([fd](std::string_view bytes) {
                        if (!WriteAll(fd, bytes)) {
                            throw WriteFailed{};
                        }
                    });
                    Serialize(ar);
                    ar.Flush();
                },
                release);
            return saved ? SaveOutcome{true, {}, MessageIcon::None} : NotCreated();
        } catch (const CArchiveException&) {
            return NotCreated();
        } catch (const WriteFailed&) {
            return NotCreated();
        }
    }();
    release();
    return outcome;
}

CWatch* CSentrelDoc::FindWatch(const std::string& name) const {
    return FindByName(watches, name);
}

CAlert* CSentrelDoc::FindAlert(const std::string& name) const {
    return FindByName(alerts, name);
}

CActivation* CSentrelDoc::FindActivation(const std::string& name) const {
    return FindByName(activations, name);
}

CActivation* CSentrelDoc::FindUser(const CWatch* watch) const {
    for (const auto& activation : activations) {
        if (std::find(activation->watch.begin(), activation->watch.end(), watch) !=
            activation->watch.end()) {
            return activation.get();
        }
    }
    return nullptr;
}

CActivation* CSentrelDoc::FindUser(const CAlert* alert) const {
    for (const auto& activation : activations) {
        if (std::find(activation->alerts.begin(), activation->alerts.end(), alert) !=
            activation->alerts.end()) {
            return activation.get();
        }
    }
    return nullptr;
}

bool CSentrelDoc::Remove(const CWatch* watch) {
    return RemoveFrom(watches, watch);
}

bool CSentrelDoc::Remove(const CAlert* alert) {
    return RemoveFrom(alerts, alert);
}

bool CSentrelDoc::Remove(const CActivation* activation) {
    return RemoveFrom(activations, activation);
}

std::string StoreDamageMessage(const StoreDamage& damage) {
    std::string text =
        "The store file is damaged at byte " + std::to_string(damage.offset) + ": " +
        damage.reason +
        ".\nThe records stored before that point were loaded; the rest could not be read.";
    if (!damage.keptAs.empty()) {
        text += "\nThe file as it was is kept as " + damage.keptAs + ".";
    } else if (!damage.keepError.empty()) {
        text += "\nThe file as it was could not be copied (" + damage.keepError +
                "), so it will not be saved over.";
    }
    return text;
}

} // namespace sentrel
