#pragma once

#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"
#include "watches/POPWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class POPWatchDialog;
}

namespace sentrel {

// "POP Watch" (the editor contract of ui/KindEditors.h); the mail the watch has seen stays.
class CPOPWatchDialog : public QDialog {
    Q_OBJECT

public:
    CPOPWatchDialog(CPOPWatch& watch, CSentrelDoc& doc, Editing editing, QWidget* parent = nullptr);
    ~CPOPWatchDialog() override;

private:
    void OnOk();

    std::unique_ptr<Ui::POPWatchDialog> m_ui;
    CPOPWatch& m_watch;
};

} // namespace sentrel
