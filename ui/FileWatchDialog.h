#pragma once

#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"
#include "watches/FileWatch.h"

#include <QDialog>

#include <memory>

class QRadioButton;

namespace Ui {
class FileWatchDialog;
}

namespace sentrel {

// "File Watch" (the editor contract of ui/KindEditors.h). OK takes the file's present text
// and last-write time as the watch's new baseline, so the watch fires only on changes made
// after it was set up.
class CFileWatchDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "All files (*.*)|*.*||";

    CFileWatchDialog(CFileWatch& watch, CSentrelDoc& doc, Editing editing,
                     QWidget* parent = nullptr);
    ~CFileWatchDialog() override;

private:
    void OnBrowse();
    void OnOk();

    std::unique_ptr<Ui::FileWatchDialog> m_ui;
    CFileWatch& m_watch;
    std::string m_fileName; // as the chooser gave it
    QRadioButton* m_modes[4];
};

} // namespace sentrel
