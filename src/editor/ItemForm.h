#pragma once

#include "items/exchange/ItemColumns.h"
#include "items/record/ItemFields.h"
#include "items/record/ItemOperations.h"
#include "items/record/RoutineGroups.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// The item form that the window and the page show, as plain strings: they find each control by its
// name, put in what this says and hand back what the user left there. Every decision (what a list
// holds, what a value means, which edit the controls make) is made here, once.

enum class FormControlKind { TextBox, List };

struct FormControl {
    std::string_view control;  // the window's objectName and the page's element id
    FormControlKind kind;
    const RecordField* field;  // null for the TM/HM move and the description
};

// The controls a save reads, in the window's tab order.
std::span<const FormControl> FormControls();

// The entries of a list control for a game: for the coded bytes the number with its name
// ("43 Leftovers", "05"); the pocket list its names, as ever; the move list the move names. The
// entry at list position p stands for value p (the move list: move p + 1).
std::vector<std::string> FormListEntries(std::string_view control, const OpenedRom& rom, Meaning meaning);

// What one control shows for an item.
struct FormValue {
    std::string text;       // a text box's text; for a list, the text shown when no entry is chosen
    int listPosition = -1;  // a list's entry, -1 for none
    // What the value means, in words ("Leftovers", "Restores HP when below half: 10 HP", "used by 38
    // items: POTION, …"), for the line beside the control; empty where there is nothing to say.
    std::string words;
    std::string label;  // what the field is ("Hold effect")
    std::string help;   // one sentence for a tooltip
    Meaning meaning = Meaning::None;  // for byte 40, as this item's routine reads it
};

// Every control of the form for one item, by control name.
std::map<std::string, FormValue, std::less<>> ShowItemForm(const OpenedRom& rom, const ItemView& item,
                                                           const RoutineGroups& routines);

// What the user left in the controls: text boxes' texts and lists' positions (-1 for none), by
// control name; controls not given are left as stored.
struct FormInput {
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, int, std::less<>> lists;
    Text shownName;         // the name as shown: an unchanged name is not written again
    Text shownDescription;  // likewise the description (line breaks as "\r\n")
};

// The edit of the form by the columns' rules, as the tool's set and import make it: every text
// and list entry parsed as those parse it (and refused with the same words), values equal to
// what the item holds left out so that saving an unchanged form writes nothing.
Result<ColumnEdit> ColumnEditFromForm(const FormInput& input, const OpenedRom& rom, const ItemView& item,
                                      const RoutineGroups& routines);

}  // namespace quillbox
