#pragma once

#include "model/SentrelDoc.h"
#include "watches/WebPageWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class WebPageWatchDialog;
}

namespace sentrel {

// "Web Page Watch": edits the watch itself. OK fetches the page once and keeps it in the
// watch as the reference the specific-text mode anchors on (even if a later check fails
// or the user then cancels); the other fields are written only when every check passed.
class CWebPageWatchDialog : public QDialog {
    Q_OBJECT

public:
    CWebPageWatchDialog(CWebPageWatch& watch, CSentrelDoc& doc, QWidget* parent = nullptr);
    ~CWebPageWatchDialog() override;

private:
    void OnOk();

    std::unique_ptr<Ui::WebPageWatchDialog> m_ui;
    CWebPageWatch& m_watch;
};

} // namespace sentrel
