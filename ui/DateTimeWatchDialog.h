#pragma once

#include "model/SentrelDoc.h"
#include "ui/EditorSupport.h"
#include "watches/DateTimeWatch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class DateTimeWatchDialog;
}

namespace sentrel {

// "Date/Time Watch" (the editor contract of ui/KindEditors.h). It checks nothing: every
// combination of values is a watch, if one that never fires. A new watch shows the moment
// the editor opened, and is last checked when OK is pressed, so that moments already past
// never fire; an edited one keeps the time of its last check.
class CDateTimeWatchDialog : public QDialog {
    Q_OBJECT

public:
    CDateTimeWatchDialog(CDateTimeWatch& watch, CSentrelDoc& doc, Editing editing,
                         QWidget* parent = nullptr);
    ~CDateTimeWatchDialog() override;

private:
    void OnOk();

    std::unique_ptr<Ui::DateTimeWatchDialog> m_ui;
    CDateTimeWatch& m_watch;
    bool m_isNew;
};

} // namespace sentrel
