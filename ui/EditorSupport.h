#pragma once

// Small pieces the record editors share: their message boxes and the checks of OK, number
// fields, file choices, sorted list boxes, the date pickers' values, and the alerts'
// "Test" on the engine's worker.

#include "model/DateTime.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace sentrel {

class CAlert;
class IEngineHost;

// What an editor is opened on (the contract in ui/KindEditors.h): a record the document
// holds, or a new one, which shows the defaults of its kind.
enum class Editing { Existing, New };

} // namespace sentrel

namespace sentrel::editors {

// A stored 32-bit flag from a check box; a set flag keeps its stored value when the box
// still shows it set.
std::int32_t FlagFrom(bool checked, std::int32_t original);

// The caption editors use for their message boxes unless a dialog names its own.
inline constexpr const char* kProgramCaption = "Sentrel";

// Shows a modal message (OK only) through the platform's message box.
void ShowMessage(const std::string& text, const std::string& caption = kProgramCaption,
                 MessageIcon icon = MessageIcon::None);

// One check of an editor's OK: when `failed`, the message (with its caption) is shown and
// `focus` is where the user goes to mend it.
struct Requirement {
    bool failed;
    QWidget* focus;
    const char* message;
    const char* caption = kProgramCaption;
};

// A text box that must not be left empty.
Requirement Filled(QLineEdit* edit, const char* message);

// Goes through the checks in order and stops at the first that failed: its message box,
// and the focus on its field. True when every check passed.
bool Require(std::initializer_list<Requirement> checks);

// Reads a whole number from a text box. Shows "Please enter an integer." when the box
// holds no number, or "Please enter an integer between %1 and %2." when it lies outside
// [low, high]; then focuses the box and returns nothing.
std::optional<std::int64_t> ReadNumber(QLineEdit* edit, std::int64_t low, std::int64_t high);

// Adds an entry to a list box kept in alphabetical order without regard to case, as
// the desktop's sorted list boxes are; `key` is kept as the entry's data.
QListWidgetItem* AddSorted(QListWidget* list, const QString& text, const std::string& key);
// The stored name kept with an entry by AddSorted.
std::string EntryKey(const QListWidgetItem* item);

// The date pickers hold wall-clock values without a time zone.
QDateTime ToPicker(const CDateTime& value);
CDateTime FromPicker(const QDateTime& value);
// A picker for a date (with the calendar) or for a time of day with seconds, in the user's
// locale's forms, over the calendar's years.
void MakeDatePicker(QDateTimeEdit* picker);
void MakeTimePicker(QDateTimeEdit* picker);

// Lets the user choose an existing file through the file-open chooser, starting at
// `current`; the chosen file's full path as the file system names it, or nothing when
// the chooser was cancelled.
std::optional<std::string> ChooseFile(QWidget* parent, const char* filter,
                                      const std::string& current);

// Where editors run what waits (a Test's send): the worker of the window's engine host,
// which the host lends for as long as it lives (the one lent last, when there are
// several). Null when none is lent.
IEngineHost* Worker();

// Lends a host's worker to the editors for the loan's lifetime.
class WorkerLoan {
public:
    explicit WorkerLoan(IEngineHost& host);
    ~WorkerLoan();
    WorkerLoan(const WorkerLoan&) = delete;
    WorkerLoan& operator=(const WorkerLoan&) = delete;

private:
    IEngineHost& m_host;
};

// What a Test sends.
inline constexpr const char* kTestMessage = "Sentrel test message";

// Makes `button` an alert editor's "Test": it sends kTestMessage with the alert that
// `edited` builds from the values the editor shows now (never the record being edited:
// the document may be saved meanwhile; null when a value cannot be read, after saying
// so), on the worker. `result` says "Sending..." meanwhile, then "Delivered" or why not;
// the editor and every other window go on answering. Without a worker the button is
// disabled.
void MakeTestButton(QAbstractButton* button, QLabel* result,
                    std::function<std::unique_ptr<CAlert>()> edited);

} // namespace sentrel::editors
