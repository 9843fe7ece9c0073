#pragma once

// The one place that knows, for every kind of watch and alert, which editor it has and
// how a new record of it comes to be:
//  - AfterOk: the editor is filled from a record's fields and, on OK, writes them into
//    the record (a new record is created only then);
//  - First: the record is created before the editor opens and the editor changes it
//    directly (a new record is destroyed again when the editor is cancelled).
// The table of kinds (AlertChoices, WatchChoices) gives each its button in the type
// selection dialogs and its editor, in the order the dialogs show them.
//
// An editor class for AfterOk takes (QWidget* parent) and has Load(const Record&) and
// Store(Record&) const; one for First takes (Record&, CSentrelDoc&, QWidget* parent).
// An AfterOk editor whose new record has defaults of its own (EditorCopy) takes
// (const Record*, QWidget* parent), null for a new record, and has CreateRecord() const
// and ApplyTo(Record&) const. All accept() on a valid OK.

#include "model/Activation.h"
#include "model/Alert.h"
#include "model/Object.h"
#include "model/SentrelDoc.h"
#include "model/Watch.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <span>
#include <vector>

class QWidget;

namespace sentrel {

enum class Creation { AfterOk, First };

template <class Base> struct KindEditor {
    const RecordClass* kind = nullptr;
    Creation creation = Creation::AfterOk;
    // A new record of the kind, through its editor: the record when accepted (not yet in
    // the document), null when cancelled.
    std::function<std::unique_ptr<Base>(CSentrelDoc&, QWidget*)> create;
    // Edits a record of the kind; true when accepted.
    std::function<bool(Base&, CSentrelDoc&, QWidget*)> edit;
};

using AlertEditor = KindEditor<CAlert>;
using WatchEditor = KindEditor<CWatch>;

namespace detail {

template <class DialogT> int RunEditor(DialogT& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

} // namespace detail

template <class Base, class Record, class Dialog> KindEditor<Base> EditorAfterOk() {
    KindEditor<Base> editor;
    editor.kind = &Record::classInfo;
    editor.creation = Creation::AfterOk;
    editor.create = [](CSentrelDoc&, QWidget* parent) -> std::unique_ptr<Base> {
        Dialog dialog(parent);
        dialog.Load(Record{});
        if (detail::RunEditor(dialog) != QDialog::Accepted) {
            return nullptr;
        }
        auto record = std::make_unique<Record>();
        dialog.Store(*record);
        return record;
    };
    editor.edit = [](Base& record, CSentrelDoc&, QWidget* parent) {
        Dialog dialog(parent);
        dialog.Load(static_cast<const Record&>(record));
        if (detail::RunEditor(dialog) != QDialog::Accepted) {
            return false;
        }
        dialog.Store(static_cast<Record&>(record));
        return true;
    };
    return editor;
}

template <class Base, class Record, class Dialog> KindEditor<Base> EditorFirst() {
    KindEditor<Base> editor;
    editor.kind = &Record::classInfo;
    editor.creation = Creation::First;
    editor.create = [](CSentrelDoc& doc, QWidget* parent) -> std::unique_ptr<Base> {
        auto record = std::make_unique<Record>();
        Dialog dialog(*record, doc, parent);
        if (detail::RunEditor(dialog) != QDialog::Accepted) {
            return nullptr;
        }
        return record;
    };
    editor.edit = [](Base& record, CSentrelDoc& doc, QWidget* parent) {
        Dialog dialog(static_cast<Record&>(record), doc, parent);
        return detail::RunEditor(dialog) == QDialog::Accepted;
    };
    return editor;
}

template <class Base, class Record, class Dialog> KindEditor<Base> EditorCopy() {
    KindEditor<Base> editor;
    editor.kind = &Record::classInfo;
    editor.creation = Creation::AfterOk;
    editor.create = [](CSentrelDoc&, QWidget* parent) -> std::unique_ptr<Base> {
        Dialog dialog(nullptr, parent);
        if (detail::RunEditor(dialog) != QDialog::Accepted) {
            return nullptr;
        }
        return dialog.CreateRecord();
    };
    editor.edit = [](Base& record, CSentrelDoc&, QWidget* parent) {
        Dialog dialog(&static_cast<const Record&>(record), parent);
        if (detail::RunEditor(dialog) != QDialog::Accepted) {
            return false;
        }
        dialog.ApplyTo(static_cast<Record&>(record));
        return true;
    };
    return editor;
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

// The activation editor works on the activation itself; true when accepted.
bool EditActivation(CActivation& activation, CSentrelDoc& doc, QWidget* parent);

} // namespace sentrel
