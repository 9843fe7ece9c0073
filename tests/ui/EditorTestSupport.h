#pragma once

// What the editor tests share: the platform fakes installed for one test, and finding a
// dialog's widgets by object name.

#include "tests/support/TestSupport.h"
#include "ui/EditorSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

namespace sentrel::test {

class FakeSound : public ISound {
public:
    bool PlayFile(const std::string& path) override {
        played.push_back(path);
        return true;
    }
    std::vector<std::string> played;
};

// Installs fakes for message boxes, popups, sound and the clock, and answers the file
// chooser, for as long as it lives.
class EditorFakes {
public:
    EditorFakes();
    ~EditorFakes();
    EditorFakes(const EditorFakes&) = delete;
    EditorFakes& operator=(const EditorFakes&) = delete;

    // The next choice of the file chooser; nothing means the user cancels it.
    void AnswerChooser(std::optional<std::string> path);
    // The filter the chooser was last opened with.
    static std::string ChooserFilter();

    FakeMessageBox messages;
    FakeAlertPopup popups;
    FakeSound sound;
    FakeClock clock;

    // The texts shown so far, and forgets them.
    std::vector<std::string> TakeTexts();
    // The texts shown so far, one a line, for comparisons that show what was shown.
    QString ShownTexts() const;

private:
    ScopedPlatform m_platform;
};

template <class T> T* Find(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no widget %s", name);
    }
    return child;
}

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

} // namespace sentrel::test
