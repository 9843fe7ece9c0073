#pragma once

#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"
#include "watches/WebPageWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class WebPageWatchDialog;
}

namespace sentrel {

// "Web Page Watch" (the editor contract of ui/KindEditors.h). OK fetches the page once;
// when every check has passed, the page becomes the reference the specific-text mode
// anchors on, and the fields are written.
class CWebPageWatchDialog : public QDialog {
    Q_OBJECT

public:
    CWebPageWatchDialog(CWebPageWatch& watch, CSentrelDoc& doc, Editing editing,
                        QWidget* parent = nullptr);
    ~CWebPageWatchDialog() override;

private:
    void OnOk();

    std::unique_ptr<Ui::WebPageWatchDialog> m_ui;
    CWebPageWatch& m_watch;
};

} // namespace sentrel
