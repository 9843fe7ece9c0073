#pragma once

// What the window tests share: fakes of the desktop services installed for one test, and
// a way to act on a modal dialog once it is on screen.

#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace sentrel::test {

class FakePaths : public IPaths {
public:
    std::string DataDir() const override { return dir; }
    std::string dir;
};

class FakeHelp : public IHelp {
public:
    void Open(const std::string& path) override { opened.push_back(path); }
    std::vector<std::string> opened;
};

// A fresh data folder (and configuration folder, for the autostart entry), recorded
// message boxes, popups and help, a fixed clock; the trace file is switched off at both ends.
class UiEnvironment {
public:
    UiEnvironment();
    ~UiEnvironment();

    std::string StorePath() const { return paths.dir + "/Sentrel.bin"; }
    std::string TracePath() const { return paths.dir + "/trace.txt"; }
    std::string AutostartPath() const { return paths.dir + "/config/autostart/sentrel.desktop"; }
    // The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const;

    QTemporaryDir folder;
    FakePaths paths;
    FakeMessageBox messageBox;
    FakeAlertPopup popups;
    FakeHelp help;
    FakeClock clock;

private:
    std::unique_ptr<ScopedPlatform> m_platform;
    std::optional<QByteArray> m_configHome;
};

// Runs `action` on the first visible top-level widget named `objectName` once it shows
// (a modal dialog opened by what the test does next). Gives up after five seconds.
void WhenShown(const QString& objectName, std::function<void(QWidget*)> action);

// The trace file's lines without their time stamps ("Sentrel Activations started").
std::vector<std::string> TraceEvents(const std::string& path);

} // namespace sentrel::test
