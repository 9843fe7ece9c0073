#pragma once

#include "watches/PINGWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PingWatchDialog;
}

namespace sentrel {

// "Ping Watch": edits a copy of the watch's fields; the caller copies them back on OK.
class CPingWatchDialog : public QDialog {
    Q_OBJECT

public:
    // Without a watch the dialog shows the defaults of a new one.
    explicit CPingWatchDialog(const CPINGWatch* watch, QWidget* parent = nullptr);
    ~CPingWatchDialog() override;

    // Copies every edited field into `watch`.
    void ApplyTo(CPINGWatch& watch) const;
    std::unique_ptr<CPINGWatch> CreateRecord() const;

    // The host a new watch pings.
    static constexpr const char* kDefaultHost = "www.debian.org";

private:
    void OnOk();

    std::unique_ptr<Ui::PingWatchDialog> m_ui;
    CPINGWatch m_values;
};

} // namespace sentrel
