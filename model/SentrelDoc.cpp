#include "model/SentrelDoc.h"

#include "model/Archive.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sentrel {

namespace {

enum class OpenResult { Opened, Missing, Unreadable };

// Opens a regular file for reading. Only a file that does not exist is Missing; anything
// else that keeps it from being read is Unreadable, with the reason. Never waits on a
// pipe or a device put in the file's place.
OpenResult OpenForReading(const std::string& path, int& fd, struct stat& st, std::string& reason) {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            return OpenResult::Missing;
        }
        reason = std::strerror(errno);
        return OpenResult::Unreadable;
    }
    if (fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        reason = std::strerror(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else {
        return OpenResult::Opened;
    }
    close(fd);
    fd = -1;
    return OpenResult::Unreadable;
}

// Closes a file descriptor when it goes out of scope.
struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() { close(fd); }
};

// Thrown when the store's bytes cannot all be read: the load ends as for a store that
// cannot be read at all.
struct ReadFailed {
    std::string reason;
};

// Reads at most `max` bytes at `offset` (the file position when negative); 0 at the end.
std::size_t ReadSome(int fd, char* into, std::size_t max, off_t offset = -1) {
    for (;;) {
        const ssize_t n = offset < 0 ? read(fd, into, max) : pread(fd, into, max, offset);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            throw ReadFailed{std::strerror(errno)};
        }
    }
}

// The whole file, from its first byte to its end as it is now.
std::string ReadWhole(int fd) {
    std::string bytes;
    char piece[64 * 1024];
    while (const std::size_t n =
               ReadSome(fd, piece, sizeof piece, static_cast<off_t>(bytes.size()))) {
        bytes.append(piece, n);
    }
    return bytes;
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

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names, following symbolic links (also to a file that does not
// exist yet), so that a save replaces the file and keeps the link.
std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            break;
        }
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

// A save writes "<store>.saving.XXXXXX" and renames it over the store.
const char kSavingInfix[] = ".saving.";
constexpr std::size_t kSavingSuffixLength = 6; // what mkostemp puts for the X's

bool IsSavingName(const std::string& name, const std::string& storeName) {
    const std::string prefix = storeName + kSavingInfix;
    return name.size() == prefix.size() + kSavingSuffixLength && name.rfind(prefix, 0) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Removes the temporary files that saves killed half-way left beside `store`: only files
// of our own naming, owned by this user, and not locked by a save still writing them.
void RemoveSaveLeftovers(const std::string& store) {
    const std::string folder = FolderOf(store);
    const std::string storeName = NameOf(store);
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsSavingName(name, storeName)) {
            continue;
        }
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0) {
            unlink(path.c_str());
        }
        close(fd);
    }
    closedir(dir);
}

// Thrown by the store's sink when the temporary file cannot take more bytes.
struct WriteFailed {};

// A new temporary file beside `path`, locked while it is written; -1 when none could be
// made.
int CreateSavingFile(const std::string& path, std::string& temp) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        temp = path + kSavingInfix + std::string(kSavingSuffixLength, 'X');
        const int fd = mkostemp(temp.data(), O_CLOEXEC); // 0600: the store holds passwords
        if (fd < 0) {
            return -1;
        }
        // A load's sweep of leftovers may have taken the file before the lock was on it.
        struct stat st {};
        if (flock(fd, LOCK_EX) != 0 || (fstat(fd, &st) == 0 && st.st_nlink > 0)) {
            return fd;
        }
        close(fd);
    }
    return -1;
}

// Has `write` fill a new file in the folder of `path`, flushes it and renames it over
// `path`. The old file stays untouched until the rename; when anything fails, including
// `write` throwing, the new file is removed and the old one stays as it was.
bool ReplaceFileAtomically(const std::string& path, const std::function<void(int fd)>& write) {
    std::string temp;
    const int fd = CreateSavingFile(path, temp);
    if (fd < 0) {
        return false;
    }
    bool written = false;
    try {
        write(fd);
        written = fsync(fd) == 0;
    } catch (...) {
        unlink(temp.c_str());
        close(fd);
        throw;
    }
    if (!written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        close(fd);
        return false;
    }
    close(fd); // the bytes are on disk already (fsync)
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

std::optional<StoreDamage> CSentrelDoc::Load(bool report) {
    m_state = StoreState::Missing;
    m_unreadableReason.clear();
    m_guarded = {};
    m_damagedBytes.clear();

    const std::string file = FollowLinks(m_storePath);
    RemoveSaveLeftovers(file);
    const auto unreadable = [&](std::string reason) {
        m_state = StoreState::Unreadable;
        m_unreadableReason = std::move(reason);
        struct stat st {};
        m_guarded.active = true;
        m_guarded.byIdentity = stat(file.c_str(), &st) == 0;
        m_guarded.device = st.st_dev;
        m_guarded.inode = st.st_ino;
        m_guarded.path = file;
        if (report) {
            Platform().messageBox->Show(UnreadableMessage(), "Sentrel", MessageIcon::Stop);
        }
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
    if (report) {
        // Kept at once, so that the message can say where, and before anything saves.
        KeepDamagedBytes(damage->keptAs, damage->keepError);
        Platform().messageBox->Show(StoreDamageMessage(*damage), "Sentrel", MessageIcon::Warning);
    }
    return damage;
}

std::string CSentrelDoc::UnreadableMessage() const {
    return "Sentrel.bin cannot be read: " + m_unreadableReason;
}

bool CSentrelDoc::KeepDamagedBytes(std::string& keptAs, std::string& error) {
    error.clear();
    for (int n = 0; n < 1000; ++n) {
        const std::string path = m_storePath + ".damaged" + (n ? "." + std::to_string(n) : "");
        const int fd =
            open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno == EEXIST) {
            continue; // an older copy is never replaced
        }
        if (fd < 0) {
            error = std::strerror(errno);
            return false;
        }
        const bool kept = WriteAll(fd, m_damagedBytes) && fsync(fd) == 0;
        if (!kept) {
            error = std::strerror(errno);
        }
        if (close(fd) != 0 && kept) {
            error = std::strerror(errno);
        }
        if (!error.empty()) {
            unlink(path.c_str());
            return false;
        }
        keptAs = path;
        m_guarded = {};
        m_damagedBytes.clear();
        m_damagedBytes.shrink_to_fit();
        return true;
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

bool CSentrelDoc::Save() {
    if (WouldOverwriteGuarded()) {
        if (m_state == StoreState::Unreadable) {
            Platform().messageBox->Show(UnreadableMessage(), "Sentrel", MessageIcon::Stop);
            return false;
        }
        std::string keptAs, error;
        if (!KeepDamagedBytes(keptAs, error)) {
            Platform().messageBox->Show("Unable to create Sentrel.bin", "Sentrel",
                                        MessageIcon::None);
            return false;
        }
    }
    bool saved = false;
    try {
        // Written through the archive's buffer straight into the file: a store holding
        // large web pages is not built in memory a second time.
        saved = ReplaceFileAtomically(FollowLinks(m_storePath), [this](int fd) {
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
