#include "ui/FileChooser.h"

#include <QFileDialog>
#include <QStringList>

namespace sentrel {

namespace {

std::string g_lastFilter;
bool g_answering = false; // tests have taken over the chooser

} // namespace

std::deque<std::optional<QString>>& CFileChooser::Answers() {
    static std::deque<std::optional<QString>> answers;
    return answers;
}

QString CFileChooser::ToQtFilter(const std::string& filter) {
    // "Name (*.x)|*.x|Other|*.y||": pairs of description and pattern. Qt wants the
    // description with the pattern in brackets, one per line.
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        if (description.isEmpty()) {
            break;
        }
        QString pattern2 = pattern;
        pattern2.replace(';', ' ');
        if (description.contains('(' + pattern + ')') ||
            description.contains('(' + pattern2 + ')')) {
            filters << description;
        } else {
            filters << description + " (" + pattern2 + ')';
        }
    }
    return filters.join(";;");
}

std::optional<QString> CFileChooser::OpenFile(QWidget* parent, const std::string& filter,
                                              const QString& current) {
    g_lastFilter = filter;
    if (g_answering) {
        if (Answers().empty()) {
            return std::nullopt;
        }
        auto answer = Answers().front();
        Answers().pop_front();
        return answer;
    }
    QFileDialog dialog(parent, QString(), current, ToQtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!current.isEmpty()) {
        dialog.selectFile(current);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

void CFileChooser::SetNextAnswer(std::optional<QString> answer) {
    g_answering = true;
    Answers().push_back(std::move(answer));
}

void CFileChooser::ClearAnswers() {
    Answers().clear();
    g_answering = false;
}

const std::string& CFileChooser::LastFilter() {
    return g_lastFilter;
}

} // namespace sentrel
