#pragma once

#include "watches/WebPageWatch.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class WebPageWatchDialog;
}

namespace sentrel {

// "Web Page Watch": edits the watch itself. OK fetches the page once and keeps it in the
// watch as the reference the specific-text mode anchors on; the other fields are written
// only when every check has passed.
class CWebPageWatchDialog : public QDialog {
    Q_OBJECT

public:
    // Fetches url (with Basic credentials when user is not empty) into body; on failure
    // returns false and the fetcher's text for its result.
    using Fetcher = std::function<bool(const std::string& url, const std::string& user,
                                       const std::string& password, std::string& body,
                                       std::string& failureText)>;

    explicit CWebPageWatchDialog(CWebPageWatch& watch, QWidget* parent = nullptr);
    ~CWebPageWatchDialog() override;

    // Tests fetch from a script instead of the network; an empty function restores the
    // HTTP fetcher.
    static void SetFetcher(Fetcher fetcher);

private:
    void OnOk();

    std::unique_ptr<Ui::WebPageWatchDialog> m_ui;
    CWebPageWatch& m_watch;
};

} // namespace sentrel
