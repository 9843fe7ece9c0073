#pragma once

// The file-open chooser of the editors. Tests queue the answers it gives instead of
// showing the chooser, and read the filter it was asked with.

#include <QString>

#include <deque>
#include <optional>
#include <string>

class QWidget;

namespace sentrel {

class CFileChooser {
public:
    // Lets the user choose an existing file. `filter` is written as the editors give it:
    // "WAV files (*.wav)|*.wav||". Returns the full path, or nothing when cancelled.
    static std::optional<QString> OpenFile(QWidget* parent, const std::string& filter,
                                           const QString& current = {});

    // The filter string QFileDialog takes for an editor's filter: "WAV files (*.wav)".
    static QString ToQtFilter(const std::string& filter);

    // Tests: the next OpenFile calls return these answers in turn (nothing = cancelled)
    // without a window. While answers are queued, no chooser opens.
    static void SetNextAnswer(std::optional<QString> answer);
    static void ClearAnswers();
    static const std::string& LastFilter();

private:
    static std::deque<std::optional<QString>>& Answers();
};

} // namespace sentrel
