#include "platform/CanberraSound.h"

#include <canberra.h>
#include <condition_variable>
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

// Plays one sound described by `props` and waits for its end; the libcanberra result.
int PlayBlocking(ca_context* context, ca_proplist* props) {
    Finished finished;
    const int rc = ca_context_play_full(context, 1, props, &OnFinished, &finished);
    if (rc != CA_SUCCESS) {
        return rc; // the callback is not called when starting fails
    }
    std::unique_lock<std::mutex> lock(finished.mutex);
    finished.cv.wait(lock, [&] { return finished.done; });
    return finished.error;
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

int PlayFileOnce(ca_context* context, const std::string& path) {
    Props props;
    if (!props.get()) {
        return CA_ERROR_OOM;
    }
    props.Set(CA_PROP_MEDIA_FILENAME, path);
    props.Set(CA_PROP_CANBERRA_CACHE_CONTROL, "never"); // a user's file, not a theme sound
    return PlayBlocking(context, props.get());
}

} // namespace

void CanberraSound::PlayFile(const std::string& path) {
    m_lastFileResult = CA_ERROR_NODRIVER;
    m_lastDefaultResult = kNotTried;
    Context context;
    if (!context.get()) {
        return;
    }
    m_lastFileResult = PlayFileOnce(context.get(), path);
    if (m_lastFileResult == CA_SUCCESS || m_lastFileResult == CA_ERROR_CANCELED) {
        return;
    }
    // Missing, unreadable or unsupported file (or no sound system, where this fails at
    // once too): the default alert sound, as the user expects to hear something.
    Props props;
    if (!props.get()) {
        m_lastDefaultResult = CA_ERROR_OOM;
        return;
    }
    props.Set(CA_PROP_EVENT_ID, kDefaultEventId);
    props.Set(CA_PROP_EVENT_DESCRIPTION, "Sentrel alert");
    m_lastDefaultResult = PlayBlocking(context.get(), props.get());
}

} // namespace sentrel
