#pragma once

#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"
#include "watches/PINGWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PingWatchDialog;
}

namespace sentrel {

// "Ping Watch" (the editor contract of ui/KindEditors.h). The numbers are kept as typed;
// the watch converts them at every check.
class CPingWatchDialog : public QDialog {
    Q_OBJECT

public:
    CPingWatchDialog(CPINGWatch& watch, CSentrelDoc& doc, Editing editing,
                     QWidget* parent = nullptr);
    ~CPingWatchDialog() override;

    // The host a new watch pings.
    static constexpr const char* kDefaultHost = "www.debian.org";

private:
    void OnOk();

    std::unique_ptr<Ui::PingWatchDialog> m_ui;
    CPINGWatch& m_watch;
};

} // namespace sentrel
