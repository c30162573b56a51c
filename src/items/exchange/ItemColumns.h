#pragma once

#include "items/effect/ItemEffect.h"
#include "items/exchange/ItemExport.h"
#include "items/record/ItemFields.h"
#include "items/record/ItemOperations.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace quillbox {

class RoutineGroups;
struct ItemEffectView;

// Every column a user reads or writes of an item, described once: the record's fields (the rows
// of RecordFields()) and what lies outside the record. Export, import, the tool's set and show and
// the form all read and parse values through this table, so that the same text is taken or
// refused with the same words everywhere.
enum class ColumnKind {
    Position,           // the item's place in the table, naming the row
    Name,               // game text: the record's name
    Number,             // a number of the record, or the name its meaning gives a value
    CodePointer,        // the low three bytes of a routine's pointer, at most six hexadecimal digits
    DescriptionOffset,  // where the description lies: a file offset, or a ROM pointer (08xxxxxx)
    Description,        // game text at the description's place
    TmMove,             // the move a TM/HM teaches: its number or its name
    IconOffset,         // the image or the palette of the icon, at most six hexadecimal digits
    EffectWords,        // the effect when used, in words (read only)
    EffectMember,       // one member of the effect record
    Shown,              // words shown for reading beside the value they follow from
};

struct ItemColumn {
    std::string_view key;
    std::string_view oldKey;  // what older exports and scripts call it; empty when it never changed
    ColumnKind kind = ColumnKind::Shown;
    const RecordField* field = nullptr;        // Number, CodePointer, Name and the Shown names of coded fields
    const EffectField* effectField = nullptr;  // EffectMember
    // The column a read-only one follows from ("pocket" for "pocketName"); "effect." for the
    // effect's words, which follow from every member. Empty for a column that is itself a value.
    std::string_view shownFrom;

    bool ReadOnly() const { return kind == ColumnKind::Shown || kind == ColumnKind::EffectWords || kind == ColumnKind::Position; }
};

// Every column in the order CSV lists them (JSON objects list their keys alphabetically).
std::span<const ItemColumn> ItemColumns();

// A column by its key or its older key; null for none.
const ItemColumn* FindItemColumn(std::string_view key);

// Words that many items of a table share, made once for all of them rather than for each:
// what each hold effect's parameter means, by hold effect * 256 + parameter.
struct SharedColumnWords {
    std::unordered_map<int, std::string> holdEffectParameters;
};

// What a column is read from and parsed against: one item of an opened ROM. `effect` may be null
// (the effect is then unavailable); `routines` say how byte 40 is read. `shared`, when given,
// keeps the words it makes for the next item of the same ROM.
struct ColumnSource {
    const OpenedRom& rom;
    const ItemView& item;
    const RoutineGroups& routines;
    const ItemEffectView* effect = nullptr;
    SharedColumnWords* shared = nullptr;
};

// Whether the item has the column at all: tmMove only TM/HM items, effect members only items
// with an effect entry, icon offsets only games with icons. A column an item lacks shows as
// nothing and takes nothing.
bool ItemHasColumn(const ItemColumn& column, const ColumnSource& source);

// The column's value as export writes it: numbers as numbers, offsets and pointers as upper-case
// hexadecimal text, names and descriptions as UTF-8 (line breaks as a lone line feed).
ExportValue ColumnValue(const ItemColumn& column, const ColumnSource& source);

// The same value with its text borrowed, for writers that copy it straight into their output:
// from the item, its effect, the game's tables of names, or `scratch`, which the text made for
// this value replaces. It holds until the source or `scratch` changes.
using ExportValueView = std::variant<std::monostate, std::int64_t, std::string_view>;
ExportValueView ColumnValueView(const ItemColumn& column, const ColumnSource& source, std::string& scratch);

// One value as a front end was given it: the text a user typed or a CSV field held, or a JSON
// value (a number as its digits, true/false as those words, null as nothing).
struct ColumnInput {
    enum class Form { String, Number, Boolean, Null, Other };
    std::string text;
    Form form = Form::String;

    static ColumnInput Typed(std::string text) { return {std::move(text), Form::String}; }
};

// The value a text gives a column of this item, as ColumnValue shows it (hexadecimal text
// brought to one spelling, names turned into their numbers): booleans as on/off, yes/no,
// true/false or 1/0; offsets with or without "0x", a description offset also as a ROM pointer
// of eight digits; numbers in decimal or as a name the field's meaning knows; a move by number or
// name. Empty text (or null) is nothing where the item lacks the column or the value may be off,
// and refused elsewhere. A refusal's message is what the column takes, in the words every front
// end shows after the column's name: "takes a whole number from 0 to 65535, not \"65536\"";
// its code, field and record offset are set. A read-only column's text is taken as it is.
Result<ExportValue> ParseColumn(const ItemColumn& column, const ColumnSource& source, const ColumnInput& input);

// A refusal of ParseColumn as a user sees it on its own: "The value is not accepted: price takes …".
Error ColumnError(const Error& refusal);

// What a set of columns asks of one item, each value that differs from what the item holds:
// the record's edit, a new description place, new icon offsets, a new effect.
struct ColumnEdit {
    ItemEdit edit;
    std::optional<std::string> descriptionOffset;  // hexadecimal file offset
    std::optional<std::string> imageOffset;
    std::optional<std::string> paletteOffset;
    std::optional<ItemEffect> effect;
    // The columns that differ, in the order given.
    std::vector<std::string_view> changed;
};

// Parses every value given by key (an older key names the same column) and leaves out those
// equal to what the item holds, so that a value set to what it already is writes nothing. Refuses
// an unknown or read-only key and the first value ParseColumn refuses, with ColumnError's message.
Result<ColumnEdit> EditFromColumns(const ColumnSource& source, std::span<const std::pair<std::string, ColumnInput>> values);

}  // namespace quillbox
