#pragma once

// Sound through libcanberra, the freedesktop event-sound library: plays a WAV file and
// blocks until it has ended, and falls back to the desktop's default alert sound.

#include "platform/Platform.h"

namespace sentrel {

class CanberraSound : public ISound {
public:
    // The event sound played when the file cannot be played.
    static constexpr const char* kDefaultEventId = "bell";

    // Blocks until playing has finished. Without any sound system (no server, no device)
    // both attempts fail at once and this returns promptly.
    void PlayFile(const std::string& path) override;

    // What the last PlayFile got from libcanberra: 0 when that sound played to its end, a
    // negative CA_ERROR code otherwise; kNotTried when the default sound was not needed.
    static constexpr int kNotTried = 1;
    int LastFileResult() const { return m_lastFileResult; }
    int LastDefaultResult() const { return m_lastDefaultResult; }

private:
    int m_lastFileResult = kNotTried;
    int m_lastDefaultResult = kNotTried;
};

} // namespace sentrel
