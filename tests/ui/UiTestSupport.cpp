#include "tests/ui/UiTestSupport.h"

#include "alerts/MessageAlert.h"
#include "services/EventLog.h"
#include "ui/FileChooser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTimer>
#include <QWidget>

#include <fstream>

namespace sentrel::test {

UiEnvironment::UiEnvironment() {
    paths.dir = folder.path().toStdString();
    m_platform = std::make_unique<ScopedPlatform>(PlatformServices{.clock = &clock,
                                                                   .messageBox = &messageBox,
                                                                   .alertPopup = &popups,
                                                                   .sound = &sound,
                                                                   .paths = &paths,
                                                                   .help = &help});
    CTraceFile::Instance().SwitchOff();
    CFileChooser::ClearAnswers();
    if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        m_configHome = qgetenv("XDG_CONFIG_HOME");
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path() + "/config"));
}

UiEnvironment::~UiEnvironment() {
    CTraceFile::Instance().SwitchOff();
    CFileChooser::ClearAnswers();
    if (m_configHome) {
        qputenv("XDG_CONFIG_HOME", *m_configHome);
    } else {
        qunsetenv("XDG_CONFIG_HOME");
    }
}

std::vector<std::string> UiEnvironment::Messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : messageBox.shown) {
        texts.push_back(shown.text);
    }
    return texts;
}

std::vector<std::string> UiEnvironment::TakeMessages() {
    std::vector<std::string> texts = Messages();
    messageBox.shown.clear();
    return texts;
}

QString UiEnvironment::ShownTexts() const {
    QStringList texts;
    for (const std::string& text : Messages()) {
        texts << QString::fromStdString(text);
    }
    return texts.join('\n');
}

void UiEnvironment::AnswerChooser(std::optional<std::string> path) {
    if (path) {
        CFileChooser::SetNextAnswer(QString::fromStdString(*path));
    } else {
        CFileChooser::SetNextAnswer(std::nullopt);
    }
}

std::string UiEnvironment::ChooserFilter() {
    return CFileChooser::LastFilter();
}

void WhenShown(const QString& objectName, std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, objectName, action] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == objectName && widget->isVisible()) {
                timer->stop();
                timer->deleteLater();
                delete clock;
                action(widget);
                return;
            }
        }
        if (clock->elapsed() > 5000) {
            qWarning("no %s appeared", qPrintable(objectName));
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start(5);
}

void WhenModal(std::function<void(QDialog&)> action) {
    WhenModal(QString(), std::move(action));
}

void WhenModal(const QString& title, std::function<void(QDialog&)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, title, action]() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && (title.isNull() || dialog->windowTitle() == title)) {
            timer->stop();
            timer->deleteLater();
            action(*dialog);
        }
    });
    timer->start();
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

QStringList Entries(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) {
        texts << list->item(row)->text();
    }
    return texts;
}

CWatch* AddWatch(CSentrelDoc& doc, const std::string& name) {
    auto watch = std::make_unique<CWatch>();
    watch->name = name;
    doc.watches.push_back(std::move(watch));
    return doc.watches.back().get();
}

CAlert* AddAlert(CSentrelDoc& doc, const std::string& name) {
    auto alert = std::make_unique<CMessageAlert>();
    alert->name = name;
    doc.alerts.push_back(std::move(alert));
    return doc.alerts.back().get();
}

std::vector<std::string> TraceEvents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> events;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // "Sunday,December06,2026,21:55:31 source event": drop the stamp.
        const auto blank = line.find(' ');
        events.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return events;
}

} // namespace sentrel::test
