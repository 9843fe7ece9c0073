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
    // description with the patterns in brackets, one filter per line. Programs here have no
    // ".exe" and many files no extension at all, so those two patterns become "*".
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (description.isEmpty()) {
            break;
        }
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == "*.*" || pattern.compare("*.exe", Qt::CaseInsensitive) == 0) {
                pattern = "*";
            }
            if (!patterns.contains(pattern)) {
                patterns << pattern;
            }
        }
        // Qt reads the patterns from the brackets, so the description's own go.
        const qsizetype bracket = description.lastIndexOf(" (");
        if (bracket > 0 && description.endsWith(')')) {
            description.truncate(bracket);
        }
        filters << description + " (" + patterns.join(' ') + ')';
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
