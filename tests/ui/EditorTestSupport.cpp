#include "tests/ui/EditorTestSupport.h"

#include "ui/FileChooser.h"

namespace sentrel::test {

namespace {

PlatformServices Services(EditorFakes& fakes) {
    PlatformServices services;
    services.messageBox = &fakes.messages;
    services.alertPopup = &fakes.popups;
    services.sound = &fakes.sound;
    services.clock = &fakes.clock;
    return services;
}

} // namespace

EditorFakes::EditorFakes() : m_platform(Services(*this)) {
    CFileChooser::ClearAnswers();
}

EditorFakes::~EditorFakes() {
    CFileChooser::ClearAnswers();
}

void EditorFakes::AnswerChooser(std::optional<std::string> path) {
    if (path) {
        CFileChooser::SetNextAnswer(QString::fromStdString(*path));
    } else {
        CFileChooser::SetNextAnswer(std::nullopt);
    }
}

std::string EditorFakes::ChooserFilter() {
    return CFileChooser::LastFilter();
}

std::vector<std::string> EditorFakes::TakeTexts() {
    std::vector<std::string> texts;
    for (const auto& shown : messages.shown) {
        texts.push_back(shown.text);
    }
    messages.shown.clear();
    return texts;
}

QString EditorFakes::ShownTexts() const {
    QStringList texts;
    for (const auto& shown : messages.shown) {
        texts << QString::fromStdString(shown.text);
    }
    return texts.join('\n');
}

void ShowDialog(QDialog& dialog) {
    dialog.show();
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog)) {
        qWarning("dialog did not become active");
    }
}

void Press(QDialog& dialog, const char* button) {
    QTest::mouseClick(Find<QAbstractButton>(&dialog, button), Qt::LeftButton);
}

void Type(QDialog& dialog, const char* edit, const QString& text) {
    Find<QLineEdit>(&dialog, edit)->setText(text);
}

QWidget* Focused(QDialog& dialog) {
    return dialog.focusWidget();
}

} // namespace sentrel::test
