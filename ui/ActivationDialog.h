#pragma once

#include "model/Activation.h"
#include "model/SentrelDoc.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <utility>

namespace Ui {
class ActivationDialog;
}

namespace sentrel {

// "Activation": edits one activation itself, with the document's watches and alerts to
// choose from. Nothing is written to the activation before every check on OK has passed,
// and its next date and time only when the user changed them.
class CActivationDialog : public QDialog {
    Q_OBJECT

public:
    // An activation without a name is new and opens with the defaults of a new one.
    CActivationDialog(CActivation& activation, CSentrelDoc& doc, QWidget* parent = nullptr);
    ~CActivationDialog() override;

    // The most alert entries read from the list on OK.
    static constexpr int kMaxSelectedAlerts = 1000;

private:
    void FillLists();
    void OnOk();

    std::unique_ptr<Ui::ActivationDialog> m_ui;
    CActivation& m_activation;
    CSentrelDoc& m_doc;
    bool m_isNew = false;
    std::pair<QString, QString> m_shownNext; // the date and time as the editor opened
};

} // namespace sentrel
