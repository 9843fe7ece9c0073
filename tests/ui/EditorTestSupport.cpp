#include "tests/ui/EditorTestSupport.h"

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
    editors::FileChooser::SetAnswer([this](const std::string& filter) {
        chooserFilters.push_back(filter);
        return m_answer;
    });
}

EditorFakes::~EditorFakes() { editors::FileChooser::SetAnswer({}); }

void EditorFakes::AnswerChooser(std::optional<std::string> path) { m_answer = std::move(path); }

std::vector<std::string> EditorFakes::TakeTexts() {
    std::vector<std::string> texts;
    for (const auto& shown : messages.shown) {
        texts.push_back(shown.text);
    }
    messages.shown.clear();
    return texts;
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

QWidget* Focused(QDialog& dialog) { return dialog.focusWidget(); }

} // namespace sentrel::test
