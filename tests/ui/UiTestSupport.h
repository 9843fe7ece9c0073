#pragma once

// What the window and editor tests share: fakes of the desktop services installed for one
// test, finding a window's widgets by object name, and acting on a modal dialog once it is
// on screen.

#include "model/SentrelDoc.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"
#include "ui/EditorSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QLineEdit>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QWidget;

namespace sentrel::test {

class FakePaths : public IPaths {
public:
    std::string DataDir() const override { return dir; }
    std::string dir;
};

class FakeHelp : public IHelp {
public:
    bool Open(const std::string& path) override {
        opened.push_back(path);
        return browser;
    }
    std::vector<std::string> opened;
    bool browser = true; // a browser can be started
};

class FakeSound : public ISound {
public:
    bool PlayFile(const std::string& path) override {
        played.push_back(path);
        return plays;
    }
    std::vector<std::string> played;
    bool plays = true; // the file plays
};

// A fresh data folder (and configuration folder, for the autostart entry), recorded
// message boxes, popups, sounds and help, a fixed clock, and a file chooser that answers
// from a queue; the trace file is switched off at both ends.
class UiEnvironment {
public:
    UiEnvironment();
    ~UiEnvironment();
    UiEnvironment(const UiEnvironment&) = delete;
    UiEnvironment& operator=(const UiEnvironment&) = delete;

    std::string StorePath() const { return paths.dir + "/Sentrel.bin"; }
    std::string TracePath() const { return paths.dir + "/trace.txt"; }
    std::string AutostartPath() const { return paths.dir + "/config/autostart/sentrel.desktop"; }
    // The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const;
    // The same, and forgets them.
    std::vector<std::string> TakeMessages();
    // The texts shown so far, one a line, for comparisons that show what was shown.
    QString ShownTexts() const;

    // The next choice of the file chooser; nothing means the user cancels it.
    void AnswerChooser(std::optional<std::string> path);
    // The filter the chooser was last opened with.
    static std::string ChooserFilter();

    QTemporaryDir folder;
    FakePaths paths;
    FakeMessageBox messageBox;
    FakeAlertPopup popups;
    FakeSound sound;
    FakeHelp help;
    FakeClock clock;

private:
    std::unique_ptr<ScopedPlatform> m_platform;
    std::optional<QByteArray> m_configHome;
};

// The desktop's notification service, to put on a session bus of the test's own; notes
// what it is asked to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    // Title and text of each notification, one a line.
    QStringList Shown() const {
        const QMutexLocker lock(&m_mutex);
        return m_shown;
    }

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        const QMutexLocker lock(&m_mutex);
        m_shown << summary + "\n" + body;
        return static_cast<uint>(m_shown.size());
    }
    QStringList GetCapabilities() { return {"body"}; }

private:
    mutable QMutex m_mutex;
    QStringList m_shown;
};

template <class T> T* Find(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no widget %s", name);
    }
    return child;
}

// Runs `action` on the first visible top-level widget named `objectName` once it shows
// (a modal dialog opened by what the test does next). Gives up after five seconds.
void WhenShown(const QString& objectName, std::function<void(QWidget*)> action);
// Runs `action` on the modal dialog as soon as one is open (the call that opens it
// blocks); with a title, on the first one of that title.
void WhenModal(std::function<void(QDialog&)> action);
void WhenModal(const QString& title, std::function<void(QDialog&)> action);

// Shows the dialog and waits until it can take the focus.
void ShowDialog(QDialog& dialog);
// Presses a button of the dialog by name.
void Press(QDialog& dialog, const char* button);
// Replaces a line edit's text as a user would.
void Type(QDialog& dialog, const char* edit, const QString& text);
// Stored bytes as a QString, for readable comparisons.
inline QString S(const std::string& bytes) {
    return QString::fromStdString(bytes);
}
// The widget that has the focus in the dialog.
QWidget* Focused(QDialog& dialog);
// The entries of a list box, top to bottom.
QStringList Entries(const QListWidget* list);

// Appends a record to the document: a bare watch (it triggers at every check) or a
// message alert.
CWatch* AddWatch(CSentrelDoc& doc, const std::string& name);
CAlert* AddAlert(CSentrelDoc& doc, const std::string& name);
// The records' names, in list order.
template <class List> std::vector<std::string> Names(const List& records) {
    std::vector<std::string> names;
    for (const auto& record : records) {
        names.push_back(record->name);
    }
    return names;
}

// The trace file's lines without their time stamps ("Sentrel Activations started").
std::vector<std::string> TraceEvents(const std::string& path);

} // namespace sentrel::test
