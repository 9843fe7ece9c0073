#include "platform/CanberraSound.h"

#include <algorithm>
#include <canberra.h>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace sentrel {

namespace {

struct Finished {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    int error = CA_SUCCESS;
};

// Called on libcanberra's own thread when playing ends, fails or is cancelled.
void OnFinished(ca_context*, std::uint32_t, int error, void* userdata) {
    auto* finished = static_cast<Finished*>(userdata);
    std::lock_guard<std::mutex> lock(finished->mutex);
    finished->error = error;
    finished->done = true;
    finished->cv.notify_all();
}

// Plays one sound described by `props` and waits for its end, at most `limit`; the
// libcanberra result or kTimedOut. `finished` must outlive the context: a cancelled
// sound's callback may still come until the context is destroyed.
int PlayBlocking(ca_context* context, ca_proplist* props, Finished& finished,
                 std::chrono::milliseconds limit) {
    const int rc = ca_context_play_full(context, 1, props, &OnFinished, &finished);
    if (rc != CA_SUCCESS) {
        return rc; // the callback is not called when starting fails
    }
    {
        std::unique_lock<std::mutex> lock(finished.mutex);
        if (finished.cv.wait_for(lock, limit, [&] { return finished.done; })) {
            return finished.error;
        }
    }
    // The server never said that the sound ended (it may hang, or it lost the stream).
    ca_context_cancel(context, 1);
    return CanberraSound::kTimedOut;
}

class Context {
public:
    Context() {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Sentrel",
                                CA_PROP_APPLICATION_ID, "sentrel", nullptr);
    }
    ~Context() {
        if (m_context) {
            ca_context_destroy(m_context);
        }
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ca_context* get() const { return m_context; }

private:
    ca_context* m_context = nullptr;
};

class Props {
public:
    Props() {
        if (ca_proplist_create(&m_props) != CA_SUCCESS) {
            m_props = nullptr;
        }
    }
    ~Props() {
        if (m_props) {
            ca_proplist_destroy(m_props);
        }
    }
    Props(const Props&) = delete;
    Props& operator=(const Props&) = delete;
    void Set(const char* key, const std::string& value) {
        if (m_props) {
            ca_proplist_sets(m_props, key, value.c_str());
        }
    }
    ca_proplist* get() const { return m_props; }

private:
    ca_proplist* m_props = nullptr;
};

int PlayFileOnce(ca_context* context, const std::string& path, Finished& finished) {
    Props props;
    if (!props.get()) {
        return CA_ERROR_OOM;
    }
    props.Set(CA_PROP_MEDIA_FILENAME, path);
    props.Set(CA_PROP_CANBERRA_CACHE_CONTROL, "never"); // a user's file, not a theme sound
    return PlayBlocking(context, props.get(), finished, CanberraSound::WaitLimit(path));
}

std::uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace

std::chrono::milliseconds CanberraSound::WaitLimit(const std::string& path) {
    // Only a plain file has a header to read; a pipe or a device might never answer.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return kUnknownLengthWait;
    }
    std::ifstream in(path, std::ios::binary);
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
        return kUnknownLengthWait;
    }
    std::uint32_t byteRate = 0;
    // The chunks in order; a damaged header has a bounded number of tries.
    for (int chunk = 0; chunk < 64; ++chunk) {
        unsigned char head[8];
        if (!in.read(reinterpret_cast<char*>(head), sizeof head)) {
            break;
        }
        const std::uint32_t size = LittleEndian32(head + 4);
        std::streamoff skip = std::streamoff{size} + (size & 1); // padded to even sizes
        if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
            unsigned char format[16];
            if (!in.read(reinterpret_cast<char*>(format), sizeof format)) {
                break;
            }
            byteRate = LittleEndian32(format + 8);
            skip -= 16;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (byteRate == 0) {
                break;
            }
            // A header may claim more than the file holds (0xFFFFFFFF: "unknown").
            const std::uintmax_t fileSize = std::filesystem::file_size(path, error);
            const std::uintmax_t start = static_cast<std::uintmax_t>(in.tellg());
            const std::uintmax_t bytes =
                error || fileSize < start ? 0 : std::min<std::uintmax_t>(size, fileSize - start);
            const std::chrono::milliseconds length(bytes * 1000 / byteRate);
            return std::min(length, kLongestSound) + kEndMargin;
        }
        in.seekg(skip, std::ios::cur);
    }
    return kUnknownLengthWait;
}

bool CanberraSound::PlayFile(const std::string& path) {
    m_lastFileResult = CA_ERROR_NODRIVER;
    m_lastDefaultResult = kNotTried;
    // Declared before the context, which may call them back until it is destroyed.
    Finished fileEnd;
    Finished defaultEnd;
    Context context;
    if (!context.get()) {
        return false;
    }
    m_lastFileResult = PlayFileOnce(context.get(), path, fileEnd);
    if (m_lastFileResult == CA_SUCCESS) {
        return true;
    }
    // A server that did not answer in time would not play the default sound either.
    if (m_lastFileResult == CA_ERROR_CANCELED || m_lastFileResult == kTimedOut) {
        return false;
    }
    // Missing, unreadable or unsupported file (or no sound system, where this fails at
    // once too): the default alert sound, as the user expects to hear something.
    Props props;
    if (!props.get()) {
        m_lastDefaultResult = CA_ERROR_OOM;
        return false;
    }
    props.Set(CA_PROP_EVENT_ID, kDefaultEventId);
    props.Set(CA_PROP_EVENT_DESCRIPTION, "Sentrel alert");
    m_lastDefaultResult = PlayBlocking(context.get(), props.get(), defaultEnd, kUnknownLengthWait);
    return false;
}

} // namespace sentrel
