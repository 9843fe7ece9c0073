#include "ui/KindEditors.h"

#include "alerts/ClickatellAlert.h"
#include "alerts/EmailAlert.h"
#include "alerts/MessageAlert.h"
#include "alerts/PushAlert.h"
#include "alerts/RunProgramAlert.h"
#include "alerts/SoundAlert.h"
#include "ui/ActivationDialog.h"
#include "ui/ClickatellAlertDialog.h"
#include "ui/DateTimeWatchDialog.h"
#include "ui/EmailAlertDialog.h"
#include "ui/FileWatchDialog.h"
#include "ui/MessageAlertDialog.h"
#include "ui/POPWatchDialog.h"
#include "ui/PingWatchDialog.h"
#include "ui/PushAlertDialog.h"
#include "ui/RunProgramAlertDialog.h"
#include "ui/SoundAlertDialog.h"
#include "ui/WebPageWatchDialog.h"
#include "watches/DateTimeWatch.h"
#include "watches/FileWatch.h"
#include "watches/PINGWatch.h"
#include "watches/POPWatch.h"
#include "watches/WebPageWatch.h"

#include <vector>

namespace sentrel {

namespace {

// The one table of kinds in the windows. A kind's class comes from its editor.
const std::vector<KindChoice<CAlert>>& AlertTable() {
    static const std::vector<KindChoice<CAlert>> table = {
        {{"Email", "emailRadio"}, EditorOf<CAlert, CEmailAlert, CEmailAlertDialog>()},
        {{"Sound", "soundRadio"}, EditorOf<CAlert, CSoundAlert, CSoundAlertDialog>()},
        {{"Dialog Message", "messageRadio"},
         EditorOf<CAlert, CMessageAlert, CMessageAlertDialog>()},
        {{"Run Program", "runProgramRadio"},
         EditorOf<CAlert, CRunProgramAlert, CRunProgramAlertDialog>()},
        {{"Clickatell (SMS)", "clickatellRadio"},
         EditorOf<CAlert, CClickatellAlert, CClickatellAlertDialog>()},
        {{"Push notification", "pushRadio"}, EditorOf<CAlert, CPushAlert, CPushAlertDialog>()},
    };
    return table;
}

const std::vector<KindChoice<CWatch>>& WatchTable() {
    static const std::vector<KindChoice<CWatch>> table = {
        {{"Mail Account (POP3)", "popRadio"}, EditorOf<CWatch, CPOPWatch, CPOPWatchDialog>()},
        {{"Host (PING)", "pingRadio"}, EditorOf<CWatch, CPINGWatch, CPingWatchDialog>()},
        {{"Date/Time", "dateTimeRadio"}, EditorOf<CWatch, CDateTimeWatch, CDateTimeWatchDialog>()},
        {{"Web Page", "webPageRadio"}, EditorOf<CWatch, CWebPageWatch, CWebPageWatchDialog>()},
        {{"File", "fileRadio"}, EditorOf<CWatch, CFileWatch, CFileWatchDialog>()},
    };
    return table;
}

template <class Base>
const KindEditor<Base>* FindIn(std::span<const KindChoice<Base>> table, const RecordClass& kind) {
    for (const KindChoice<Base>& choice : table) {
        if (choice.editor.kind == &kind) {
            return &choice.editor;
        }
    }
    return nullptr;
}

template <class Base>
std::unique_ptr<Base> NewOf(std::span<const KindChoice<Base>> table, int position, CSentrelDoc& doc,
                            QWidget* parent) {
    if (position < 0 || position >= static_cast<int>(table.size())) {
        return nullptr;
    }
    return table[static_cast<std::size_t>(position)].editor.create(doc, parent);
}

} // namespace

std::span<const KindChoice<CAlert>> AlertChoices() {
    return AlertTable();
}

std::span<const KindChoice<CWatch>> WatchChoices() {
    return WatchTable();
}

const AlertEditor* FindAlertEditor(const RecordClass& kind) {
    return FindIn(AlertChoices(), kind);
}

const WatchEditor* FindWatchEditor(const RecordClass& kind) {
    return FindIn(WatchChoices(), kind);
}

std::unique_ptr<CAlert> NewAlert(int position, CSentrelDoc& doc, QWidget* parent) {
    return NewOf(AlertChoices(), position, doc, parent);
}

std::unique_ptr<CWatch> NewWatch(int position, CSentrelDoc& doc, QWidget* parent) {
    return NewOf(WatchChoices(), position, doc, parent);
}

bool EditAlert(CAlert& alert, CSentrelDoc& doc, QWidget* parent) {
    const AlertEditor* editor = FindAlertEditor(alert.GetRuntimeClass());
    return editor && editor->edit(alert, doc, parent);
}

bool EditWatch(CWatch& watch, CSentrelDoc& doc, QWidget* parent) {
    const WatchEditor* editor = FindWatchEditor(watch.GetRuntimeClass());
    return editor && editor->edit(watch, doc, parent);
}

std::unique_ptr<CActivation> NewActivation(CSentrelDoc& doc, QWidget* parent) {
    auto activation = std::make_unique<CActivation>();
    if (!RunEditor<CActivationDialog>(*activation, doc, Editing::New, parent)) {
        return nullptr;
    }
    return activation;
}

bool EditActivation(CActivation& activation, CSentrelDoc& doc, QWidget* parent) {
    return RunEditor<CActivationDialog>(activation, doc, Editing::Existing, parent);
}

} // namespace sentrel
