#pragma once

// Small pieces the record editors share: stored text to and from the widgets, the
// editors' message boxes, the file chooser behind a facade that tests answer, sorted
// list boxes and the date pickers' values.

#include "model/DateTime.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QAbstractButton;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace sentrel::editors {

// Stored text as shown: UTF-8 when it is valid UTF-8, otherwise Windows-1252, so that
// stores written on Windows still show their accented letters.
QString ToQt(const std::string& bytes);

// What to store for a text box: the original bytes when the box still shows them
// unchanged, otherwise the box's text as UTF-8.
std::string FromQt(const QString& shown, const std::string& original);

// A stored 32-bit flag from a check box; a set flag keeps its stored value when the box
// still shows it set.
std::int32_t FlagFrom(bool checked, std::int32_t original);

// The caption editors use for their message boxes unless a dialog names its own.
inline constexpr const char* kProgramCaption = "Sentrel";

// Shows a modal message (OK only) through the platform's message box.
void ShowMessage(const std::string& text, const std::string& caption = kProgramCaption,
                 MessageIcon icon = MessageIcon::Warning);

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
// The current local date and time to the second, as a picker value.
QDateTime LocalNowForPicker();

// The file-open chooser: only existing files may be chosen. `filter` is written as
// "Description (*.ext)|*.ext||"; the result is the chosen file's full path as the file
// system names it, or nothing when the user cancelled.
class FileChooser {
public:
    using Answer = std::function<std::optional<std::string>(const std::string& filter)>;
    static std::optional<std::string> ChooseExistingFile(QWidget* parent,
                                                         const std::string& filter);
    // Tests answer the chooser instead of the user; an empty function restores it.
    static void SetAnswer(Answer answer);
    // The chooser's filter as the Qt file dialog takes it.
    static QString ToQtFilter(const std::string& filter);
};

} // namespace sentrel::editors
