#pragma once

#include "model/Activation.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <utility>

namespace Ui {
class ActivationDialog;
}

namespace sentrel {

// "Activation": edits one activation, with the document's watches and alerts to choose
// from (the editor contract of ui/KindEditors.h). Its next date and time are written only
// when the user changed them.
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
    std::pair<QString, QString> m_shownNext; // the date and time as the editor opened
};

} // namespace sentrel
