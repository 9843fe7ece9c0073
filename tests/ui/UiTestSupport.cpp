#include "tests/ui/UiTestSupport.h"

#include "services/EventLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <fstream>
#include <sstream>

namespace sentrel::test {

UiEnvironment::UiEnvironment() {
    paths.dir = folder.path().toStdString();
    PlatformServices services;
    services.paths = &paths;
    services.messageBox = &messageBox;
    services.alertPopup = &popups;
    services.help = &help;
    services.clock = &clock;
    m_platform = std::make_unique<ScopedPlatform>(services);
    CTraceFile::Instance().SwitchOff();
    if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        m_configHome = qgetenv("XDG_CONFIG_HOME");
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path() + "/config"));
}

UiEnvironment::~UiEnvironment() {
    CTraceFile::Instance().SwitchOff();
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
