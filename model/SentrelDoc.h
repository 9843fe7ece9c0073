#pragma once

// Everything the user has defined: the alerts, the watches, the activations and the trace
// switch, loaded once from the store file and written back whole at each save point.

#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Watch.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sentrel {

class CArchive;

// What a load found wrong with the store; the records read before the fault are kept.
struct StoreDamage {
    std::uint64_t offset = 0;
    std::string reason; // e.g. unknown record class (unknown class name "CFoo")
};

class CSentrelDoc {
public:
    explicit CSentrelDoc(std::string storePath = {});
    ~CSentrelDoc();
    CSentrelDoc(const CSentrelDoc&) = delete;
    CSentrelDoc& operator=(const CSentrelDoc&) = delete;

    const std::string& StorePath() const { return m_storePath; }
    void SetStorePath(std::string path) { m_storePath = std::move(path); }

    // Reads the store file. A missing or unreadable file leaves the document empty and is
    // not reported. A file that does not decode keeps the records read before the fault;
    // the fault is returned and, when `report` is set, shown to the user in a message box.
    std::optional<StoreDamage> Load(bool report = true);

    // Writes the whole document: a temporary file in the same folder, flushed to disk and
    // renamed over the store, so a failed save leaves the previous store as it was. On
    // failure the user sees "Unable to create Sentrel.bin". Returns whether it was written.
    bool Save();

    // Reads a document from store bytes into this one, as Load does with the file's bytes,
    // but without any message box.
    std::optional<StoreDamage> Decode(std::string_view bytes);
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
    std::string m_storePath;
    // Records a store holds only inside an activation, not in the document's own lists;
    // kept so that the activation's references stay valid and are written back.
    std::vector<std::unique_ptr<CObject>> m_unlisted;
};

// The text a user is shown for a damaged store.
std::string StoreDamageMessage(const StoreDamage& damage);

} // namespace sentrel
