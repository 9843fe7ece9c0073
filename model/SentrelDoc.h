#pragma once

// Everything the user has defined: the alerts, the watches, the activations and the trace
// switch, loaded once from the store file and written back whole at each save point.

#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Watch.h"
#include "platform/Platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace sentrel {

class CArchive;

// What a load found wrong with the store; the records read before the fault are kept.
struct StoreDamage {
    std::uint64_t offset = 0;
    std::string reason; // e.g. unknown record class (unknown class name "CFoo")
    // Where the store's bytes as they were are kept, once they are; or why they could not
    // be kept.
    std::string keptAs;
    std::string keepError;
};

// What the last load found.
enum class StoreState {
    Missing,    // no store file: a first start
    Read,       // read whole
    Damaged,    // read up to a fault; the bytes are kept beside it before the first save
    Unreadable, // there, but it could not be read: never saved over
};

// What a save did. When the store was not written, the text the user is told and the
// icon it is shown with; the previous store is then as it was.
struct SaveOutcome {
    bool saved = false;
    std::string problem; // "Unable to create Sentrel.bin", or why the store may not be written
    MessageIcon icon = MessageIcon::None;
    explicit operator bool() const { return saved; }
};

class CSentrelDoc {
public:
    explicit CSentrelDoc(std::string storePath = {});
    ~CSentrelDoc();
    CSentrelDoc(const CSentrelDoc&) = delete;
    CSentrelDoc& operator=(const CSentrelDoc&) = delete;

    const std::string& StorePath() const { return m_storePath; }
    void SetStorePath(std::string path) { m_storePath = std::move(path); }

    // Reads the store file; a symbolic link is followed. Only a missing file means a first
    // start: the document stays empty. A file that is there but cannot be read (no
    // permission, a folder or a pipe in its place, an I/O error) leaves the document empty
    // and is never saved over; the state says so and UnreadableMessage() why. A file that
    // does not decode keeps the records read before the fault; the fault is returned. With
    // `keepDamagedAtOnce`, its bytes are first kept beside it as "<store>.damaged" (or
    // ".damaged.1", ...), which the damage names (StoreDamageMessage tells the user);
    // without, they are kept at the first save. Temporary files that a killed save left
    // beside the store are removed. Nothing is shown to the user here.
    std::optional<StoreDamage> Load(bool keepDamagedAtOnce = true);

    StoreState GetStoreState() const { return m_state; }
    // "Sentrel.bin cannot be read: <reason>" after a load that found it so.
    std::string UnreadableMessage() const;

    // Writes the whole document: a temporary file beside the store (beside the file that
    // a symbolic link names, keeping the link), flushed to disk and renamed over the
    // store, so a failed save leaves the previous store as it was. The file the last load
    // could not read is never written over, nor a damaged one until its bytes are kept.
    // Of the records and their lists it only reads, and only until `released` is called
    // (once the last byte is in the file, before it is flushed; or at the end when it fails
    // before that). Nothing is shown to the user: the outcome says what went wrong.
    SaveOutcome Save(const std::function<void()>& released = {});

    // Reads a document from store bytes into this one, as Load does with the file's bytes,
    // but without any message box.
    std::optional<StoreDamage> Decode(std::string_view bytes);
    // The same through a loading archive (whatever it reads from).
    std::optional<StoreDamage> Decode(CArchive& ar);
    // The document's bytes as the store holds them. Throws CArchiveException for a record
    // that cannot be stored.
    std::string Encode();

    void Serialize(CArchive& ar);

    CWatch* FindWatch(const std::string& name) const;
    CAlert* FindAlert(const std::string& name) const;
    CActivation* FindActivation(const std::string& name) const;

    // The first activation that uses this very record, or null.
    CActivation* FindUser(const CWatch* watch) const;
    CActivation* FindUser(const CAlert* alert) const;

    // Removes and destroys a record of one of the lists; false when it is not there.
    bool Remove(const CWatch* watch);
    bool Remove(const CAlert* alert);
    bool Remove(const CActivation* activation);

    std::vector<std::unique_ptr<CAlert>> alerts;
    std::vector<std::unique_ptr<CWatch>> watches;
    std::vector<std::unique_ptr<CActivation>> activations;
    bool traceOn = false;

private:
    // Writes the damaged store's bytes to the first free "<store>.damaged[.N]"; on
    // success the file named there no longer needs guarding.
    bool KeepDamagedBytes(std::string& keptAs, std::string& error);
    // Whether a save to the store path would write over the file that the last load could
    // not read in full.
    bool WouldOverwriteGuarded() const;

    std::string m_storePath;
    StoreState m_state = StoreState::Missing;
    std::string m_unreadableReason;
    // The file the last load could not read in full, while it must not be written over:
    // by identity, since a save to another path may still reach it (through a link); by
    // its path when it could not even be looked at.
    struct Guarded {
        bool active = false;
        bool byIdentity = false;
        dev_t device = 0;
        ino_t inode = 0;
        std::string path;
    };
    Guarded m_guarded;
    // The damaged store's bytes until they are kept.
    std::string m_damagedBytes;
    // Records a store holds only inside an activation, not in the document's own lists;
    // kept so that the activation's references stay valid and are written back.
    std::vector<std::unique_ptr<CObject>> m_unlisted;
};

// The text a user is shown for a damaged store.
std::string StoreDamageMessage(const StoreDamage& damage);

} // namespace sentrel
