#pragma once

#include "items/record/ItemMeanings.h"
#include "items/record/ItemOperations.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillbox {

// How a field of the 44-byte record is stored.
enum class FieldKind {
    GameText,  // game text ended by 0xFF (the name)
    Number,    // an unsigned little-endian number of `width` bytes
    Pointer,   // a whole 32-bit code pointer, shown as its low three bytes in six hexadecimal digits
};

// One field of the item record, as every part of the program names and handles it: reading,
// saving, export and import, the tool's keys and help, and the rows of the window and the page
// (whose controls' names only the editor's form knows).
struct RecordField {
    std::string_view key;      // the tool's and the export's name, after what the game does with it
    std::string_view oldKey;   // the name older exports and scripts use; empty when it never changed
    std::string_view label;    // what the field is, as the window and the page label it
    int offset = 0;
    int width = 0;
    FieldKind kind = FieldKind::Number;
    Meaning meaning = Meaning::None;
    // A new value must be one the game knows: the game looks things up by it (a pocket, a bag
    // routine), so an unknown one sends it astray. A value already stored may always stay.
    bool knownValuesOnly = false;
    // Numbers and pointers: the value an item shows and its setter, the value an edit asks for
    // (nothing when it leaves the field alone) and its setter. A pointer's edit is text, which may
    // not be hexadecimal: `editText` gives it to the save, which refuses it then. A pointer's value
    // is the whole pointer; set from six digits (up to 0xFFFFFF), it takes the top byte a save
    // would give them (CodePointerOf), and from more, that of the value.
    std::uint32_t (*read)(const ItemView&) = nullptr;
    void (*store)(ItemView&, std::uint32_t) = nullptr;
    std::optional<std::uint32_t> (*take)(const ItemEdit&) = nullptr;
    void (*write)(ItemEdit&, std::uint32_t) = nullptr;
    const std::optional<std::string>* (*editText)(const ItemEdit&) = nullptr;
    void (*writeText)(ItemEdit&, std::string) = nullptr;
    // One sentence for a tooltip where the field's meaning table says nothing of it.
    std::string_view help;

    std::uint32_t Maximum() const { return kind == FieldKind::Pointer ? 0xFFFFFF : (1u << (8 * width)) - 1; }
};

// Every field of the record that the game reads, in record order. The description pointer at 20
// is not among them: it moves through the description's repoint, which checks what lies there.
std::span<const RecordField> RecordFields();

// The whole code pointer a save writes for `body` (a pointer field's six digits) where `stored` is
// held now: none (0) for a zero body; else the body under the stored top byte where that is the
// ROM's (0x08, or 0x09 past 16 MiB), under 0x08 where it was none, and `stored` unchanged where it
// names a place outside the ROM (code in RAM) and the body is its own.
std::uint32_t CodePointerOf(std::uint32_t body, std::uint32_t stored);

// Refuses (PastEndOfFile, BadValue) a code pointer the game cannot call in a file of `romSize`
// bytes: one that is not 0 must name a Thumb routine, an odd place inside the file. `what` names
// the pointer in the message.
Status CheckCodePointer(std::uint32_t pointer, std::int64_t romSize, std::string_view what);

// The field a key names, by its name or its older one; null for none.
const RecordField* FindRecordField(std::string_view key);

// The meaning of a field of one item: byte 40 is read by the item's own routine.
Meaning MeaningOfField(const RecordField& field, const GameFamily& family, const ItemView& item,
                       std::span<const int> sameFieldRoutine);

// The number a text gives a field: decimal for numbers (or a name the field's meaning knows),
// hexadecimal for pointers. Refuses (BadValue, BadHexText) naming the field and what it takes.
Result<std::uint32_t> ParseFieldValue(const RecordField& field, const GameFamily& family, std::string_view text,
                                      Meaning meaning);

// The value as the tool and the export show it: decimal, or a pointer's six low hexadecimal digits.
std::string FieldValueText(const RecordField& field, std::uint32_t value);

// Checks a value for a field before a save writes it, against the width and, for fields the game
// looks things up by, the values it knows. `stored` is what the ROM holds now.
Status CheckFieldValue(const RecordField& field, const GameFamily& family, std::uint32_t value, std::uint32_t stored);

}  // namespace quillbox
