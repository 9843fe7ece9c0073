// The editors as the main window reaches them: a kind chosen in the type selection opens
// its own editor, a new record appears only after OK, and the web page watch editor's
// fetch and checks.

#include "alerts/AlertKinds.h"
#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/PushAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "model/SentrelDoc.h"
#include "services/EventLog.h"
#include "services/NetworkServices.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AlertPopup.h"
#include "ui/KindEditors.h"
#include "ui/KindSelectionDialog.h"
#include "ui/MainDialog.h"
#include "ui/WebPageWatchDialog.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WatchKinds.h"
#include "watches/WebPageWatch.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>

#include <functional>

using namespace sentrel;
using namespace sentrel::test;

namespace {

// A fetcher that serves one page, or fails with a text.
struct FakeWeb : IWebPageFetcher {
    bool succeed = true;
    std::string page;
    std::vector<std::string> asked;
    std::function<void()> whileFetching;
    ScopedNetwork installed{{nullptr, this}};

    bool Fetch(const std::string& url, const std::string& user, const std::string& password,
               std::string& body, std::string& resultText, std::string&) override {
        asked.push_back(url + " " + user + ":" + password);
        if (whileFetching) {
            whileFetching();
        }
        if (!succeed) {
            resultText = "Unable to connect to server";
            return false;
        }
        body = page;
        return true;
    }
};

// Counts what is drawn of the alert popups.
struct PopupPaints : QObject {
    int count = 0;
    PopupPaints() { QApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(object);
        if (event->type() == QEvent::Paint && widget &&
            qobject_cast<CAlertPopup*>(widget->window())) {
            ++count;
        }
        return false;
    }
};

// A record of every kind, each named "Kept".
void AddEveryKind(CSentrelDoc& doc) {
    doc.watches.push_back(std::make_unique<CPOPWatch>());
    doc.watches.push_back(std::make_unique<CPINGWatch>());
    doc.watches.push_back(std::make_unique<CDateTimeWatch>());
    doc.watches.push_back(std::make_unique<CWebPageWatch>());
    doc.watches.push_back(std::make_unique<CFileWatch>());
    doc.alerts.push_back(std::make_unique<CEmailAlert>());
    doc.alerts.push_back(std::make_unique<CSoundAlert>());
    doc.alerts.push_back(std::make_unique<CMessageAlert>());
    doc.alerts.push_back(std::make_unique<CRunProgramAlert>());
    doc.alerts.push_back(std::make_unique<CClickatellAlert>());
    doc.alerts.push_back(std::make_unique<CPushAlert>());
    for (auto& watch : doc.watches) {
        watch->name = "Kept";
    }
    for (auto& alert : doc.alerts) {
        alert->name = "Kept";
    }
}

// What is wrong with the window's mnemonics: a labelled field or a button of `needing`
// without one, two on one key, a label whose "&" would show.
QStringList MnemonicProblems(QWidget& window, const QList<QWidget*>& needing) {
    QMap<QChar, QString> keys;
    QStringList problems;
    const auto take = [&](QWidget* widget, const QString& text) {
        const qsizetype at = text.indexOf('&');
        if (at < 0 || at + 1 >= text.size()) {
            if (needing.contains(widget)) {
                problems << widget->objectName() + " has none";
            }
            return;
        }
        const QChar key = text[at + 1].toLower();
        if (keys.contains(key)) {
            problems << widget->objectName() + " clashes with " + keys[key];
        }
        keys[key] = widget->objectName();
    };
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->buddy()) {
            take(label, label->text());
        } else if (label->text().contains('&')) {
            problems << label->objectName() + " has no field";
        }
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        take(button, button->text());
    }
    return problems;
}

} // namespace

class EditorDispatchTest : public QObject {
    Q_OBJECT

private slots:
    void everyKindOfTheCoreIsOffered();
    void newRecordsAreMadeOnOk();
    void newRecordKindsLeaveNothingOnCancel();
    void editWritesOnlyOnOk();
    void activationEditorFromTheDispatch();
    void enterGoesToTheFocusedButton();
    void mnemonicsAreDistinctInEachWindow();
    void webPageChecksAndFetch();
    void webPageFetchIsShownWaiting();
    void webPageSpecificTextChecks();
    void webPageRoundTripAndCancel();
};

// The windows' table of kinds follows the core's lists, in their order: a kind added to
// the core and not to the windows could be read from a store but never edited.
void EditorDispatchTest::everyKindOfTheCoreIsOffered() {
    const auto alerts = AlertChoices();
    QCOMPARE(alerts.size(), AlertKinds().size());
    for (std::size_t i = 0; i < alerts.size(); ++i) {
        QCOMPARE(alerts[i].editor.kind, AlertKinds()[i]);
    }
    // The push alert, the kind added last, is offered last.
    CAlertSelectionDialog selection;
    QCOMPARE(Find<QRadioButton>(&selection, "pushRadio")->text(),
             QStringLiteral("Push notification"));
    QCOMPARE(selection.findChildren<QRadioButton*>().size(), qsizetype(6));
    const auto watches = WatchChoices();
    QCOMPARE(watches.size(), WatchKinds().size());
    for (std::size_t i = 0; i < watches.size(); ++i) {
        QCOMPARE(watches[i].editor.kind, WatchKinds()[i]);
    }
}

void EditorDispatchTest::newRecordsAreMadeOnOk() {
    UiEnvironment env;
    CSentrelDoc doc;

    // Position 1 of the watch selection: a ping watch with its own defaults.
    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Ping Watch"));
        Type(dialog, "nameEdit", "Host");
        Press(dialog, "okButton");
    });
    std::unique_ptr<CWatch> watch = NewWatch(1, doc, nullptr);
    QVERIFY(watch);
    auto* ping = dynamic_cast<CPINGWatch*>(watch.get());
    QVERIFY(ping != nullptr);
    QCOMPARE(S(ping->name), QStringLiteral("Host"));
    QCOMPARE(S(ping->packetSizeText), QStringLiteral("32"));
    QCOMPARE(S(ping->timeoutText), QStringLiteral("5000"));
    QVERIFY(!ping->hostName.empty());

    // A new date/time watch was last checked when it was created.
    env.clock.now = 1796661331;
    WhenModal([&env](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Date/Time Watch"));
        env.clock.Advance(30);
        Press(dialog, "okButton");
    });
    watch = NewWatch(2, doc, nullptr);
    auto* timed = dynamic_cast<CDateTimeWatch*>(watch.get());
    QVERIFY(timed != nullptr);
    QVERIFY(timed->lastCheck == CDateTime::Now());
    QCOMPARE(CDateTime::Now().FormatTime(), timed->lastCheck.FormatTime());

    // Cancel creates nothing.
    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("File Watch"));
        Press(dialog, "cancelButton");
    });
    QVERIFY(!NewWatch(4, doc, nullptr));
    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Sound Alert"));
        Press(dialog, "cancelButton");
    });
    QVERIFY(!NewAlert(1, doc, nullptr));
    QVERIFY(doc.watches.empty() && doc.alerts.empty());
}

void EditorDispatchTest::newRecordKindsLeaveNothingOnCancel() {
    UiEnvironment env;
    CSentrelDoc doc;
    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Email Alert"));
        Type(dialog, "nameEdit", "half done");
        Press(dialog, "cancelButton");
    });
    QVERIFY(!NewAlert(0, doc, nullptr));

    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Clickatell Alert (SMS)"));
        for (const char* edit :
             {"nameEdit", "toEdit", "fromEdit", "userNameEdit", "passwordEdit", "apiIdEdit"}) {
            Type(dialog, edit, edit);
        }
        Press(dialog, "okButton");
    });
    std::unique_ptr<CAlert> alert = NewAlert(4, doc, nullptr);
    auto* sms = dynamic_cast<CClickatellAlert*>(alert.get());
    QVERIFY(sms != nullptr);
    QCOMPARE(S(sms->apiId), QStringLiteral("apiIdEdit"));
    QCOMPARE(sms->maxMessages, 1);

    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Push Alert"));
        Type(dialog, "nameEdit", "Phone");
        Type(dialog, "addressEdit", "ntfy://alerts");
        Press(dialog, "okButton");
    });
    alert = NewAlert(5, doc, nullptr);
    auto* push = dynamic_cast<CPushAlert*>(alert.get());
    QVERIFY(push != nullptr);
    QCOMPARE(S(push->url), QStringLiteral("ntfy://alerts"));

    FakeWeb web;
    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Web Page Watch"));
        Press(dialog, "cancelButton");
    });
    QVERIFY(!NewWatch(3, doc, nullptr));
    QVERIFY(web.asked.empty());
    QVERIFY(doc.alerts.empty() && doc.watches.empty());
}

void EditorDispatchTest::editWritesOnlyOnOk() {
    UiEnvironment env;
    TempDir dir;
    WriteFile(dir.File("f.txt"), "line");
    CSentrelDoc doc;
    CFileWatch watch;
    watch.name = "F";
    watch.fileName = dir.File("f.txt");

    WhenModal([](QDialog& dialog) {
        Type(dialog, "nameEdit", "Changed");
        Press(dialog, "cancelButton");
    });
    QVERIFY(!EditWatch(watch, doc, nullptr));
    QCOMPARE(S(watch.name), QStringLiteral("F"));
    QVERIFY(watch.lastContents.empty());

    WhenModal([](QDialog& dialog) {
        Type(dialog, "nameEdit", "Changed");
        Find<QRadioButton>(&dialog, "modeContentsRadio")->setChecked(true);
        Press(dialog, "okButton");
    });
    QVERIFY(EditWatch(watch, doc, nullptr));
    QCOMPARE(S(watch.name), QStringLiteral("Changed"));
    QCOMPARE(watch.watchMode, 1);
    QCOMPARE(S(watch.lastContents), QStringLiteral("line"));
    // The watch sees no change until the file changes.
    std::string message;
    QVERIFY(!watch.Check(message));
}

void EditorDispatchTest::activationEditorFromTheDispatch() {
    UiEnvironment env;
    CSentrelDoc doc;
    auto watch = std::make_unique<CPINGWatch>();
    watch->name = "W";
    doc.watches.push_back(std::move(watch));
    auto alert = std::make_unique<CEmailAlert>();
    alert->name = "A";
    doc.alerts.push_back(std::move(alert));

    WhenModal([](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Activation"));
        Type(dialog, "nameEdit", "Tie");
        Find<QListWidget>(&dialog, "watchList")->setCurrentRow(0);
        Find<QListWidget>(&dialog, "alertList")->item(0)->setSelected(true);
        Press(dialog, "okButton");
    });
    const std::unique_ptr<CActivation> activation = NewActivation(doc, nullptr);
    QVERIFY(activation);
    QCOMPARE(S(activation->name), QStringLiteral("Tie"));
    QCOMPARE(activation->GetWatch(), doc.watches[0].get());
    QCOMPARE(activation->alerts, std::vector<CAlert*>{doc.alerts[0].get()});
    QCOMPARE(S(activation->interval), QStringLiteral("5"));
}

void EditorDispatchTest::enterGoesToTheFocusedButton() {
    UiEnvironment env;
    CSentrelDoc doc;
    AddEveryKind(doc);
    CActivation activation;
    activation.name = "Kept";

    // In every editor: Enter presses the focused button ("...", "Test", Cancel), and OK
    // only when the focus is elsewhere; so Tab from OK to Cancel and Enter leaves the record
    // as it was.
    const auto tryEnter = [&env](QDialog& dialog) {
        auto* ok = Find<QPushButton>(&dialog, "okButton");
        QSignalSpy okClicked(ok, &QPushButton::clicked);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button == ok || button->objectName() == "cancelButton" || !button->isEnabled()) {
                continue;
            }
            env.AnswerChooser(std::nullopt);
            QSignalSpy clicked(button, &QPushButton::clicked);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            QVERIFY2(clicked.count() == 1 && okClicked.isEmpty(), qPrintable(button->objectName()));
        }
        env.TakeMessages();
        Type(dialog, "nameEdit", "Changed");
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Tab);
        QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("cancelButton"));
        QTest::keyClick(Focused(dialog), Qt::Key_Enter);
        QVERIFY(okClicked.isEmpty());
        QVERIFY2(env.messageBox.shown.empty(), qPrintable(env.ShownTexts()));
    };
    for (auto& watch : doc.watches) {
        WhenModal(tryEnter);
        QVERIFY(!EditWatch(*watch, doc, nullptr));
        QCOMPARE(S(watch->name), QStringLiteral("Kept"));
    }
    for (auto& alert : doc.alerts) {
        WhenModal(tryEnter);
        QVERIFY(!EditAlert(*alert, doc, nullptr));
        QCOMPARE(S(alert->name), QStringLiteral("Kept"));
    }
    WhenModal(tryEnter);
    QVERIFY(!EditActivation(activation, doc, nullptr));
    QCOMPARE(S(activation.name), QStringLiteral("Kept"));

    // With the focus in a field, Enter is OK.
    WhenModal([](QDialog& dialog) {
        Type(dialog, "nameEdit", "Typed");
        QTest::keyClick(Find<QWidget>(&dialog, "nameEdit"), Qt::Key_Return);
    });
    QVERIFY(EditAlert(*doc.alerts[2], doc, nullptr));
    QCOMPARE(S(doc.alerts[2]->name), QStringLiteral("Typed"));
}

void EditorDispatchTest::mnemonicsAreDistinctInEachWindow() {
    UiEnvironment env;
    CSentrelDoc doc;
    AddEveryKind(doc);
    CActivation activation;
    QStringList problems;
    // Every editor: its labelled fields can be reached with Alt and a letter of their own.
    const auto check = [&problems](QDialog& dialog) {
        QList<QWidget*> labels;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->buddy()) {
                labels << label;
            }
        }
        for (const QString& problem : MnemonicProblems(dialog, labels)) {
            problems << dialog.windowTitle() + ": " + problem;
        }
        Press(dialog, "cancelButton");
    };
    for (auto& watch : doc.watches) {
        WhenModal(check);
        EditWatch(*watch, doc, nullptr);
    }
    for (auto& alert : doc.alerts) {
        WhenModal(check);
        EditAlert(*alert, doc, nullptr);
    }
    WhenModal(check);
    EditActivation(activation, doc, nullptr);
    // The main window: every button.
    struct : IPaths {
        std::string DataDir() const override { return folder.path().toStdString(); }
        QTemporaryDir folder;
    } paths;
    PlatformServices services;
    services.paths = &paths;
    ScopedPlatform inTemporaryFolder(services);
    CMainDialog main;
    QList<QWidget*> buttons;
    for (QAbstractButton* button : main.findChildren<QAbstractButton*>()) {
        buttons << button;
    }
    for (const QString& problem : MnemonicProblems(main, buttons)) {
        problems << "main window: " + problem;
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void EditorDispatchTest::webPageChecksAndFetch() {
    UiEnvironment env;
    FakeWeb web;
    CSentrelDoc doc;
    CWebPageWatch watch;
    CWebPageWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);
    QVERIFY(Find<QRadioButton>(&dialog, "modeChangesRadio")->isChecked());
    QCOMPARE(Find<QLineEdit>(&dialog, "passwordEdit")->echoMode(), QLineEdit::Password);

    Find<QWidget>(&dialog, "urlEdit")->setFocus();
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Enter a Name for this Watch"});
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("nameEdit"));
    Type(dialog, "nameEdit", "News");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Enter a web address"});
    QCOMPARE(Focused(dialog)->objectName(), QStringLiteral("urlEdit"));
    QVERIFY(web.asked.empty() && env.popups.opened.empty());

    // A failed fetch: the popup came and went, the fetcher's text is shown and the failure
    // traced, nothing kept.
    CTraceFile::Instance().SetPath(env.TracePath());
    CTraceFile::Instance().SwitchOn();
    web.succeed = false;
    Type(dialog, "urlEdit", "http://127.0.0.1/news");
    Type(dialog, "userNameEdit", "reader");
    Press(dialog, "okButton");
    QCOMPARE(env.TakeMessages(),
             std::vector<std::string>{"Unable to fetch web page.\nUnable to connect to server"});
    QCOMPARE(TraceEvents(env.TracePath()),
             std::vector<std::string>{
                 "Web Page Watch Dialog Failed to fetch web page: http://127.0.0.1/news"});
    QCOMPARE(env.popups.opened, std::vector<std::string>{"Fetching web page... Please wait..."});
    QCOMPARE(env.popups.closed, std::vector<int>{1});
    QVERIFY(dialog.isVisible());
    QVERIFY(watch.name.empty() && watch.url.empty() && watch.referencePage.empty());

    web.succeed = true;
    web.page = "<p>Headline</p>";
    Type(dialog, "changedMessageEdit", "News changed");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(web.asked.back(), std::string("http://127.0.0.1/news reader:"));
    QCOMPARE(S(watch.name), QStringLiteral("News"));
    QCOMPARE(S(watch.url), QStringLiteral("http://127.0.0.1/news"));
    QCOMPARE(S(watch.webUserName), QStringLiteral("reader"));
    QCOMPARE(S(watch.changedMessage), QStringLiteral("News changed"));
    QCOMPARE(S(watch.referencePage), QStringLiteral("<p>Headline</p>"));
    QCOMPARE(S(watch.lastPage), QStringLiteral("<p>Headline</p>"));
    QCOMPARE(watch.mode, 0);
}

void EditorDispatchTest::webPageFetchIsShownWaiting() {
    UiEnvironment env;
    CAlertPopupService popups;
    PlatformServices services;
    services.alertPopup = &popups;
    ScopedPlatform realPopups(services);
    FakeWeb web;
    web.page = "page";
    PopupPaints paints;
    // While the fetch blocks, the popup is on the screen with its text drawn.
    QString shown;
    bool drawn = false;
    QPointer<CAlertPopup> waiting;
    web.whileFetching = [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* popup = qobject_cast<CAlertPopup*>(window); popup && popup->isVisible()) {
                waiting = popup;
                shown = Find<QPlainTextEdit>(popup, "messageEdit")->toPlainText();
                drawn = paints.count > 0 && popup->windowHandle()->isExposed();
            }
        }
    };
    CSentrelDoc doc;
    CWebPageWatch watch;
    CWebPageWatchDialog dialog(watch, doc, Editing::New);
    ShowDialog(dialog);
    Type(dialog, "nameEdit", "Slow");
    Type(dialog, "urlEdit", "http://127.0.0.1/slow");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(shown, QStringLiteral("Fetching web page... Please wait..."));
    QVERIFY(drawn);
    QVERIFY(waiting);
    QTRY_VERIFY(waiting.isNull()); // closed when the fetch ended
}

void EditorDispatchTest::webPageSpecificTextChecks() {
    UiEnvironment env;
    FakeWeb web;
    web.page = "<td>Price 10</td><td>Stock 5</td><td>Price 10</td>";
    CSentrelDoc doc;
    CWebPageWatch watch;
    watch.referencePage = "as saved";
    watch.lastPage = "as last checked";
    {
        // A check that fails after the fetch, then Cancel: the watch keeps its pages, so
        // its next check still sees the change.
        CWebPageWatchDialog dialog(watch, doc, Editing::Existing);
        ShowDialog(dialog);
        Type(dialog, "nameEdit", "Shop");
        Type(dialog, "urlEdit", "http://127.0.0.1/shop");
        Find<QRadioButton>(&dialog, "modeSpecificRadio")->setChecked(true);
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{"Please enter text to watch"});
        QCOMPARE(web.asked.size(), std::size_t(1));
        Press(dialog, "cancelButton");
        QCOMPARE(S(watch.referencePage), QStringLiteral("as saved"));
        QCOMPARE(S(watch.lastPage), QStringLiteral("as last checked"));
    }
    CWebPageWatchDialog dialog(watch, doc, Editing::Existing);
    ShowDialog(dialog);
    Type(dialog, "nameEdit", "Shop");
    Type(dialog, "urlEdit", "http://127.0.0.1/shop");
    Find<QRadioButton>(&dialog, "modeSpecificRadio")->setChecked(true);
    auto* text = Find<QPlainTextEdit>(&dialog, "textToWatchEdit");
    const struct {
        const char* watched;
        const char* problem;
    } cases[] = {
        {"", "Please enter text to watch"},
        {"Price 10", "The text to watch is not unique in the web page"},
        {"Not there", "The text and/or web page is too complex to analyse"},
    };
    for (const auto& c : cases) {
        text->setPlainText(QString::fromLatin1(c.watched));
        Press(dialog, "okButton");
        QCOMPARE(env.TakeMessages(), std::vector<std::string>{c.problem});
        QVERIFY(dialog.isVisible());
        QCOMPARE(S(watch.lastPage), QStringLiteral("as last checked"));
        QVERIFY(watch.name.empty());
    }
    text->setPlainText(QStringLiteral("Stock 5"));
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(watch.mode, 3);
    QCOMPARE(S(watch.textToWatch), QStringLiteral("Stock 5"));
    QCOMPARE(S(watch.referencePage), S(web.page));
    QCOMPARE(S(watch.lastPage), S(web.page));
}

void EditorDispatchTest::webPageRoundTripAndCancel() {
    UiEnvironment env;
    FakeWeb web;
    web.page = "page";
    CSentrelDoc doc;
    CWebPageWatch watch;
    watch.name = "W";
    watch.url = "http://127.0.0.1/a";
    watch.mode = 2;
    watch.absentText = "gone";
    watch.absentMessage = "It is gone";
    watch.webUserName = "u";
    watch.webPassword = "p";
    watch.textToWatch = "line 1\nline 2";
    {
        CWebPageWatchDialog dialog(watch, doc, Editing::Existing);
        ShowDialog(dialog);
        QVERIFY(Find<QRadioButton>(&dialog, "modeAbsentRadio")->isChecked());
        QCOMPARE(Find<QPlainTextEdit>(&dialog, "textToWatchEdit")->toPlainText(),
                 QStringLiteral("line 1\nline 2"));
        Type(dialog, "nameEdit", "X");
        Press(dialog, "cancelButton");
        QCOMPARE(S(watch.name), QStringLiteral("W"));
        QVERIFY(web.asked.empty());
    }
    CWebPageWatchDialog dialog(watch, doc, Editing::Existing);
    ShowDialog(dialog);
    Find<QRadioButton>(&dialog, "modeContainsRadio")->setChecked(true);
    Type(dialog, "containsTextEdit", "sale");
    Type(dialog, "containsMessageEdit", "On sale");
    Type(dialog, "absentTextEdit", "");
    Type(dialog, "passwordEdit", "p2");
    Press(dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(web.asked.back(), std::string("http://127.0.0.1/a u:p2"));
    QCOMPARE(watch.mode, 1);
    QCOMPARE(S(watch.containsText), QStringLiteral("sale"));
    QCOMPARE(S(watch.containsMessage), QStringLiteral("On sale"));
    QCOMPARE(S(watch.absentText), QString());
    QCOMPARE(S(watch.absentMessage), QStringLiteral("It is gone"));
    QCOMPARE(S(watch.webPassword), QStringLiteral("p2"));
    QCOMPARE(S(watch.textToWatch), QStringLiteral("line 1\nline 2"));
}

QTEST_MAIN(EditorDispatchTest)
#include "EditorDispatchTest.moc"
