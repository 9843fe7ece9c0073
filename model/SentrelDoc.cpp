#include "model/SentrelDoc.h"

#include "model/Archive.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {

namespace {

bool ReadWholeFile(const std::string& path, std::string& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    out.clear();
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    char more[4096]; // the file may have grown since fstat
    while (true) {
        const bool full = got == out.size();
        const ssize_t n = full ? read(fd, more, sizeof more)
                               : read(fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        if (full) {
            out.append(more, static_cast<std::size_t>(n));
        }
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    close(fd);
    return true;
}

bool WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Thrown by the store's sink when the temporary file cannot take more bytes.
struct WriteFailed {};

// Has `write` fill a new file in the folder of `path`, flushes it and renames it over
// `path`. The old file stays untouched until the rename; when anything fails, including
// `write` throwing, the new file is removed and the old one stays as it was.
bool ReplaceFileAtomically(const std::string& path, const std::function<void(int fd)>& write) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data()); // created 0600: the store holds passwords
    if (fd < 0) {
        return false;
    }
    bool written = false;
    try {
        write(fd);
        written = fsync(fd) == 0;
    } catch (...) {
        close(fd);
        unlink(temp.c_str());
        throw;
    }
    if (close(fd) != 0 || !written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir); // make the rename itself durable
        close(dir);
    }
    return true;
}

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
    std::optional<StoreDamage> damage;
    try {
        Serialize(ar);
    } catch (const CArchiveException& error) {
        damage = StoreDamage{error.GetOffset(), DescribeArchiveError(error)};
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

std::optional<StoreDamage> CSentrelDoc::Load(bool report) {
    std::string bytes;
    if (!ReadWholeFile(m_storePath, bytes)) {
        return std::nullopt;
    }
    const std::optional<StoreDamage> damage = Decode(bytes);
    if (damage && report) {
        Platform().messageBox->Show(StoreDamageMessage(*damage), "Sentrel", MessageIcon::Warning);
    }
    return damage;
}

bool CSentrelDoc::Save() {
    bool saved = false;
    try {
        // Written through the archive's buffer straight into the file: a store holding
        // large web pages is not built in memory a second time.
        saved = ReplaceFileAtomically(m_storePath, [this](int fd) {
            CArchive ar([fd](std::string_view bytes) {
                if (!WriteAll(fd, bytes)) {
                    throw WriteFailed{};
                }
            });
            Serialize(ar);
            ar.Flush();
        });
    } catch (const CArchiveException&) {
        saved = false;
    } catch (const WriteFailed&) {
        saved = false;
    }
    if (!saved) {
        Platform().messageBox->Show("Unable to create Sentrel.bin", "Sentrel", MessageIcon::None);
    }
    return saved;
}

CWatch* CSentrelDoc::FindWatch(const std::string& name) const { return FindByName(watches, name); }

CAlert* CSentrelDoc::FindAlert(const std::string& name) const { return FindByName(alerts, name); }

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

bool CSentrelDoc::Remove(const CWatch* watch) { return RemoveFrom(watches, watch); }

bool CSentrelDoc::Remove(const CAlert* alert) { return RemoveFrom(alerts, alert); }

bool CSentrelDoc::Remove(const CActivation* activation) {
    return RemoveFrom(activations, activation);
}

std::string StoreDamageMessage(const StoreDamage& damage) {
    return "The store file is damaged at byte " + std::to_string(damage.offset) + ": " +
           damage.reason +
           ".\nThe records stored before that point were loaded; the rest could not be read.";
}

} // namespace sentrel
