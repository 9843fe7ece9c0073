#pragma once

// Fakes of the platform services and small helpers for the core tests.

#include "platform/Platform.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sentrel::test {

// A clock that tests set and advance.
class FakeClock : public IClock {
public:
    std::int64_t Now() const override { return now; }
    std::uint32_t TickCount() const override { return ticks; }
    void Advance(std::int64_t seconds) {
        now += seconds;
        ticks += static_cast<std::uint32_t>(seconds * 1000);
    }
    std::int64_t now = 1796661331; // Monday 2026-12-07 16:35:31 UTC
    std::uint32_t ticks = 0;
};

// Records every message box instead of showing it.
class FakeMessageBox : public IMessageBox {
public:
    struct Shown {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
        shown.push_back({text, caption, icon});
    }
    std::vector<Shown> shown;
};

// Records the popups opened and closed.
class FakeAlertPopup : public IAlertPopup {
public:
    int Open(const std::string& text) override {
        opened.push_back(text);
        return static_cast<int>(opened.size());
    }
    void Close(int handle) override { closed.push_back(handle); }
    std::vector<std::string> opened;
    std::vector<int> closed;
};

// Records the desktop notifications ("title\ntext"), or refuses them with `refusal`. Alerts
// notify from the engine's worker: a lock guards what it records.
class FakeDesktopNotifications : public IDesktopNotifications {
public:
    bool Notify(const std::string& title, const std::string& text, std::string& failure) override {
        const std::lock_guard lock(m_mutex);
        if (!refusal.empty()) {
            failure = refusal;
            return false;
        }
        m_shown.push_back(title + "\n" + text);
        return true;
    }
    std::vector<std::string> Shown() const {
        const std::lock_guard lock(m_mutex);
        return m_shown;
    }
    std::string refusal; // set before use

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_shown;
};

// A notification area that is there or not, as the test says.
class FakeNotificationArea : public INotificationArea {
public:
    bool IsAvailable() override { return available; }
    bool available = false;
};

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Bytes from a hex text; blanks are ignored ("00 01 FF").
std::string Hex(const std::string& text);

} // namespace sentrel::test
