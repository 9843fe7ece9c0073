#pragma once

#include "model/Activation.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDateTime>
#include <QDialog>

#include <memory>

namespace Ui {
class ActivationDialog;
}

namespace sentrel {

// "Activation": edits one activation, with the document's watches and alerts to choose
// from (the editor contract of ui/KindEditors.h). Its next date and time are shown and
// taken with pickers in the user's locale, and written (in ISO form) only when the user
// changed them or the stored ones do not read.
class CActivationDialog : public QDialog {
    Q_OBJECT

public:
    CActivationDialog(CActivation& activation, CSentrelDoc& doc, Editing editing,
                      QWidget* parent = nullptr);
    ~CActivationDialog() override;

    // The most alert entries read from the list on OK.
    static constexpr int kMaxSelectedAlerts = 1000;

private:
    void FillLists();
    void OnOk();

    std::unique_ptr<Ui::ActivationDialog> m_ui;
    CActivation& m_activation;
    CSentrelDoc& m_doc;
    bool m_isNew;
    QDateTime m_shownNext; // the next moment as the editor opened
    bool m_nextUnreadable; // the stored next moment does not read as one
};

} // namespace sentrel
