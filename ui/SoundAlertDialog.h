#pragma once

#include "alerts/SoundAlert.h"
#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>

namespace Ui {
class SoundAlertDialog;
}

namespace sentrel {

// "Sound Alert" (the editor contract of ui/KindEditors.h); "Test" plays the chosen file as
// the alert would, and says so when it cannot be played.
class CSoundAlertDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "WAV files (*.wav)|*.wav;*.WAV||";

    CSoundAlertDialog(CSoundAlert& alert, CSentrelDoc& doc, Editing editing,
                      QWidget* parent = nullptr);
    ~CSoundAlertDialog() override;

private:
    void OnBrowse();
    std::unique_ptr<CSoundAlert> Edited() const;
    void OnOk();

    std::unique_ptr<Ui::SoundAlertDialog> m_ui;
    CSoundAlert& m_alert;
    std::string m_soundFile; // as the chooser gave it
};

} // namespace sentrel
