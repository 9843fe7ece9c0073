#include "ui/WebPageWatchDialog.h"

#include "engine/Connection.h"
#include "engine/EventLog.h"
#include "net/RobotInternet.h"
#include "platform/Platform.h"
#include "ui/EditorSupport.h"
#include "ui_WebPageWatchDialog.h"
#include "watches/WebTextAnchor.h"

namespace sentrel {

using editors::FromQt;
using editors::ToQt;

namespace {

CWebPageWatchDialog::Fetcher& TestFetcher() {
    static CWebPageWatchDialog::Fetcher fetcher;
    return fetcher;
}

bool Fetch(const std::string& url, const std::string& user, const std::string& password,
           std::string& body, std::string& failureText) {
    if (TestFetcher()) {
        return TestFetcher()(url, user, password, body, failureText);
    }
    CRobotInternet robot;
    if (!user.empty()) {
        robot.user = user;
        robot.password = password;
    }
    int code = 0;
    return robot.Fetch(url, body, code, failureText);
}

// Closes the "please wait" popup however the fetch ends.
class WaitPopup {
public:
    explicit WaitPopup(const std::string& text) : m_handle(Platform().alertPopup->Open(text)) {}
    ~WaitPopup() { Close(); }
    WaitPopup(const WaitPopup&) = delete;
    WaitPopup& operator=(const WaitPopup&) = delete;
    void Close() {
        if (m_open) {
            m_open = false;
            Platform().alertPopup->Close(m_handle);
        }
    }

private:
    int m_handle;
    bool m_open = true;
};

} // namespace

void CWebPageWatchDialog::SetFetcher(Fetcher fetcher) { TestFetcher() = std::move(fetcher); }

CWebPageWatchDialog::CWebPageWatchDialog(CWebPageWatch& watch, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::WebPageWatchDialog>()), m_watch(watch) {
    m_ui->setupUi(this);
    m_ui->nameEdit->setText(ToQt(watch.name));
    m_ui->urlEdit->setText(ToQt(watch.url));
    m_ui->userNameEdit->setText(ToQt(watch.webUserName));
    m_ui->passwordEdit->setText(ToQt(watch.webPassword));
    QRadioButton* modes[] = {m_ui->modeChangesRadio, m_ui->modeContainsRadio,
                             m_ui->modeAbsentRadio, m_ui->modeSpecificRadio};
    if (watch.mode >= 0 && watch.mode < 4) {
        modes[watch.mode]->setChecked(true);
    }
    m_ui->changedMessageEdit->setText(ToQt(watch.changedMessage));
    m_ui->containsTextEdit->setText(ToQt(watch.containsText));
    m_ui->containsMessageEdit->setText(ToQt(watch.containsMessage));
    m_ui->absentTextEdit->setText(ToQt(watch.absentText));
    m_ui->absentMessageEdit->setText(ToQt(watch.absentMessage));
    m_ui->textToWatchEdit->setPlainText(ToQt(watch.textToWatch));

    connect(m_ui->okButton, &QPushButton::clicked, this, &CWebPageWatchDialog::OnOk);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CWebPageWatchDialog::~CWebPageWatchDialog() = default;

void CWebPageWatchDialog::OnOk() {
    const std::string name = FromQt(m_ui->nameEdit->text(), m_watch.name);
    const std::string url = FromQt(m_ui->urlEdit->text(), m_watch.url);
    const std::string userName = FromQt(m_ui->userNameEdit->text(), m_watch.webUserName);
    const std::string password = FromQt(m_ui->passwordEdit->text(), m_watch.webPassword);
    std::string textToWatch = FromQt(m_ui->textToWatchEdit->toPlainText(), m_watch.textToWatch);
    std::int32_t mode = m_watch.mode;
    const QRadioButton* modes[] = {m_ui->modeChangesRadio, m_ui->modeContainsRadio,
                                   m_ui->modeAbsentRadio, m_ui->modeSpecificRadio};
    for (int i = 0; i < 4; ++i) {
        if (modes[i]->isChecked()) {
            mode = i;
        }
    }

    if (name.empty()) {
        editors::ShowMessage("Enter a Name for this Watch");
        m_ui->nameEdit->setFocus();
        return;
    }
    if (url.empty()) {
        editors::ShowMessage("Enter a web address");
        m_ui->urlEdit->setFocus();
        return;
    }

    {
        WaitPopup popup("Fetching web page... Please wait...");
        RequestConnection();
        std::string failureText;
        // The page lands in the watch even if the user cancels afterwards.
        if (!Fetch(url, userName, password, m_watch.referencePage, failureText)) {
            Log("Web Page Watch Dialog", "Failed to fetch web page: " + url);
            popup.Close();
            editors::ShowMessage("Unable to fetch web page.\n" + failureText);
            return;
        }
    }
    m_watch.lastPage = m_watch.referencePage;

    if (mode == 3) {
        std::string latest;
        const int result =
            ExtractWatchedText(textToWatch, m_watch.referencePage, m_watch.lastPage, latest);
        const char* problem = result == kAnchorNotUnique ? "The text to watch is not unique in the web page"
                              : result == kAnchorNotFound ? "The text and/or web page is too complex to analyse"
                              : result == kAnchorNoWatchedText ? "Please enter text to watch"
                                                               : nullptr;
        if (problem != nullptr) {
            editors::ShowMessage(problem);
            m_ui->textToWatchEdit->setFocus();
            return;
        }
    }

    m_watch.name = name;
    m_watch.textToWatch = textToWatch;
    m_watch.url = url;
    m_watch.changedMessage = FromQt(m_ui->changedMessageEdit->text(), m_watch.changedMessage);
    m_watch.mode = mode;
    m_watch.webUserName = userName;
    m_watch.webPassword = password;
    m_watch.containsText = FromQt(m_ui->containsTextEdit->text(), m_watch.containsText);
    m_watch.containsMessage = FromQt(m_ui->containsMessageEdit->text(), m_watch.containsMessage);
    m_watch.absentText = FromQt(m_ui->absentTextEdit->text(), m_watch.absentText);
    m_watch.absentMessage = FromQt(m_ui->absentMessageEdit->text(), m_watch.absentMessage);
    accept();
}

} // namespace sentrel
