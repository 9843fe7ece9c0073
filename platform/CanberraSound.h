#pragma once

// Sound through libcanberra, the freedesktop event-sound library: plays a WAV file and
// blocks until it has ended, and falls back to the desktop's default alert sound.

#include "platform/Platform.h"

#include <chrono>

namespace sentrel {

class CanberraSound : public ISound {
public:
    // The event sound played when the file cannot be played.
    static constexpr const char* kDefaultEventId = "bell";

    // A sound server reports the end a little after the sound's own length (about a
    // second with PulseAudio); past this margin it is taken never to come.
    static constexpr std::chrono::milliseconds kEndMargin{5000};
    // The longest sound that is waited for; a longer one is cut off there.
    static constexpr std::chrono::milliseconds kLongestSound{10 * 60 * 1000};
    // The wait for a sound whose length is not known: the default sound, or a file that
    // is not a PCM WAV file.
    static constexpr std::chrono::milliseconds kUnknownLengthWait{30000};

    // Blocks until playing has finished, for at most WaitLimit; a sound still playing
    // then is stopped. Without any sound system (no server, no device) both attempts fail
    // at once and this returns promptly.
    bool PlayFile(const std::string& path) override;

    // How long playing the file may take: its length by its WAV header (at most
    // kLongestSound, and no more than the file holds) and kEndMargin, or kUnknownLengthWait.
    static std::chrono::milliseconds WaitLimit(const std::string& path);

    // What the last PlayFile got from libcanberra: 0 when that sound played to its end, a
    // negative CA_ERROR code otherwise; kNotTried when the default sound was not needed,
    // kTimedOut when the end was not reported within the limit.
    static constexpr int kNotTried = 1;
    static constexpr int kTimedOut = 2;
    int LastFileResult() const { return m_lastFileResult; }
    int LastDefaultResult() const { return m_lastDefaultResult; }

private:
    int m_lastFileResult = kNotTried;
    int m_lastDefaultResult = kNotTried;
};

} // namespace sentrel
