#include "ui/KindEditors.h"

#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "ui/MessageAlertDialog.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WebPageWatch.h"

#include <array>
#include <vector>

namespace sentrel {

namespace {

// In the order of the "Alert Selection" and "Watch Selection" dialogs.
const std::array<const RecordClass*, 5> kAlertKinds = {
    &CEmailAlert::classInfo, &CSoundAlert::classInfo, &CMessageAlert::classInfo,
    &CRunProgramAlert::classInfo, &CClickatellAlert::classInfo};
const std::array<const RecordClass*, 5> kWatchKinds = {
    &CPOPWatch::classInfo, &CPINGWatch::classInfo, &CDateTimeWatch::classInfo,
    &CWebPageWatch::classInfo, &CFileWatch::classInfo};

const std::vector<AlertEditor>& AlertEditors() {
    static const std::vector<AlertEditor> editors = {
        EditorAfterOk<CAlert, CMessageAlert, CMessageAlertDialog>(),
    };
    return editors;
}

const std::vector<WatchEditor>& WatchEditors() {
    static const std::vector<WatchEditor> editors = {};
    return editors;
}

template <class Editor>
const Editor* FindIn(const std::vector<Editor>& editors, const RecordClass& kind) {
    for (const Editor& editor : editors) {
        if (editor.kind == &kind) {
            return &editor;
        }
    }
    return nullptr;
}

} // namespace

const RecordClass* AlertKindAt(int position) {
    return position >= 0 && position < static_cast<int>(kAlertKinds.size()) ? kAlertKinds[position]
                                                                            : nullptr;
}

const RecordClass* WatchKindAt(int position) {
    return position >= 0 && position < static_cast<int>(kWatchKinds.size()) ? kWatchKinds[position]
                                                                            : nullptr;
}

const AlertEditor* FindAlertEditor(const RecordClass& kind) {
    return FindIn(AlertEditors(), kind);
}

const WatchEditor* FindWatchEditor(const RecordClass& kind) {
    return FindIn(WatchEditors(), kind);
}

std::unique_ptr<CAlert> NewAlert(int position, CSentrelDoc& doc, QWidget* parent) {
    const RecordClass* kind = AlertKindAt(position);
    const AlertEditor* editor = kind ? FindAlertEditor(*kind) : nullptr;
    return editor ? editor->create(doc, parent) : nullptr;
}

std::unique_ptr<CWatch> NewWatch(int position, CSentrelDoc& doc, QWidget* parent) {
    const RecordClass* kind = WatchKindAt(position);
    const WatchEditor* editor = kind ? FindWatchEditor(*kind) : nullptr;
    return editor ? editor->create(doc, parent) : nullptr;
}

bool EditAlert(CAlert& alert, CSentrelDoc& doc, QWidget* parent) {
    const AlertEditor* editor = FindAlertEditor(alert.GetRuntimeClass());
    return editor && editor->edit(alert, doc, parent);
}

bool EditWatch(CWatch& watch, CSentrelDoc& doc, QWidget* parent) {
    const WatchEditor* editor = FindWatchEditor(watch.GetRuntimeClass());
    return editor && editor->edit(watch, doc, parent);
}

bool EditActivation(CActivation&, CSentrelDoc&, QWidget*) {
    // The activation editor joins here.
    return false;
}

} // namespace sentrel
