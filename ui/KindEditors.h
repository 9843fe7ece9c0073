#pragma once

// The one place that knows, for every kind of watch and alert, which editor it has, and
// the one contract every record editor keeps. An editor is a dialog made as
//   Dialog(Record& record, CSentrelDoc& doc, Editing editing, QWidget* parent)
// It shows the record (with Editing::New, the defaults of a new record of its kind
// instead), and on an OK whose checks all pass writes what was edited into the record and
// accepts; until then, and on Cancel, the record is as it was. A new record is made empty
// before its editor opens and joins the document only when the editor was accepted.
// The table of kinds (AlertChoices, WatchChoices) gives each its button in the type
// selection dialogs and its editor, in the order the dialogs show them.

#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Object.h"
#include "model/SentrelDoc.h"
#include "model/Watch.h"
#include "ui/EditorSupport.h"

#include <QDialog>

#include <memory>
#include <span>
#include <vector>

class QWidget;

namespace sentrel {

template <class Base> struct KindEditor {
    const RecordClass* kind = nullptr;
    // A new record of the kind, through its editor: the record when accepted (not yet in
    // the document), null when cancelled.
    std::unique_ptr<Base> (*create)(CSentrelDoc& doc, QWidget* parent) = nullptr;
    // Edits a record of the kind; true when accepted.
    bool (*edit)(Base& record, CSentrelDoc& doc, QWidget* parent) = nullptr;
};

using AlertEditor = KindEditor<CAlert>;
using WatchEditor = KindEditor<CWatch>;

// Runs an editor, modal to its parent window; true when accepted.
template <class Dialog, class Record>
bool RunEditor(Record& record, CSentrelDoc& doc, Editing editing, QWidget* parent) {
    Dialog dialog(record, doc, editing, parent);
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec() == QDialog::Accepted;
}

template <class Base, class Record, class Dialog> KindEditor<Base> EditorOf() {
    return {
        &Record::classInfo,
        [](CSentrelDoc& doc, QWidget* parent) -> std::unique_ptr<Base> {
            auto record = std::make_unique<Record>();
            if (!RunEditor<Dialog>(*record, doc, Editing::New, parent)) {
                return nullptr;
            }
            return record;
        },
        [](Base& record, CSentrelDoc& doc, QWidget* parent) {
            return RunEditor<Dialog>(static_cast<Record&>(record), doc, Editing::Existing, parent);
        },
    };
}

// How a kind is offered in its type selection dialog: the button's label and object name.
struct KindButton {
    const char* label;
    const char* name;
};

// One row of the table of kinds.
template <class Base> struct KindChoice {
    KindButton button;
    KindEditor<Base> editor;
};

// The kinds in the order of the "Alert Selection" and "Watch Selection" dialogs.
std::span<const KindChoice<CAlert>> AlertChoices();
std::span<const KindChoice<CWatch>> WatchChoices();

template <class Base> std::vector<KindButton> ButtonsOf(std::span<const KindChoice<Base>> choices) {
    std::vector<KindButton> buttons;
    for (const KindChoice<Base>& choice : choices) {
        buttons.push_back(choice.button);
    }
    return buttons;
}

// The editor of a kind, or null when the kind has none.
const AlertEditor* FindAlertEditor(const RecordClass& kind);
const WatchEditor* FindWatchEditor(const RecordClass& kind);

// A new record of the kind chosen at `position`, through its editor; null when cancelled
// or when the kind has no editor.
std::unique_ptr<CAlert> NewAlert(int position, CSentrelDoc& doc, QWidget* parent);
std::unique_ptr<CWatch> NewWatch(int position, CSentrelDoc& doc, QWidget* parent);

// Opens the editor of the record's own kind; true when accepted.
bool EditAlert(CAlert& alert, CSentrelDoc& doc, QWidget* parent);
bool EditWatch(CWatch& watch, CSentrelDoc& doc, QWidget* parent);

// The activations' editor, with the same contract.
std::unique_ptr<CActivation> NewActivation(CSentrelDoc& doc, QWidget* parent);
bool EditActivation(CActivation& activation, CSentrelDoc& doc, QWidget* parent);

} // namespace sentrel
