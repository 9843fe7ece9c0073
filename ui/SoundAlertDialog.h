#pragma once

#include "alerts/SoundAlert.h"

#include <QDialog>

#include <memory>

namespace Ui {
class SoundAlertDialog;
}

namespace sentrel {

// "Sound Alert": edits a copy of the alert's fields; the caller copies them back on OK.
class CSoundAlertDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kFilter = "WAV files (*.wav)|*.wav;*.WAV||";

    explicit CSoundAlertDialog(const CSoundAlert* alert, QWidget* parent = nullptr);
    ~CSoundAlertDialog() override;

    void ApplyTo(CSoundAlert& alert) const;
    std::unique_ptr<CSoundAlert> CreateRecord() const;

private:
    void OnBrowse();
    void OnTest();
    void OnOk();

    std::unique_ptr<Ui::SoundAlertDialog> m_ui;
    CSoundAlert m_values;
};

} // namespace sentrel
