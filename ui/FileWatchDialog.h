#pragma once

#include "watches/FileWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FileWatchDialog;
}

namespace sentrel {

// "File Watch": edits a copy of the watch's fields; the caller copies them back on OK.
// OK takes the file's present text and last-write time as the watch's new baseline, so
// the watch fires only on changes made after it was set up.
class CFileWatchDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "All files (*.*)|*.*||";

    explicit CFileWatchDialog(const CFileWatch* watch, QWidget* parent = nullptr);
    ~CFileWatchDialog() override;

    // Copies every field, the new baseline included, into `watch`.
    void ApplyTo(CFileWatch& watch) const;
    std::unique_ptr<CFileWatch> CreateRecord() const;

private:
    void OnBrowse();
    void OnOk();

    std::unique_ptr<Ui::FileWatchDialog> m_ui;
    CFileWatch m_values;
};

} // namespace sentrel
