#include "editor/ItemForm.h"

#include "base/HexText.h"

#include <algorithm>

namespace quillbox {

namespace {

constexpr std::string_view kMoveList = "cboattack";
constexpr std::string_view kDescription = "descp";

// The window's designed control names, which the page uses as its element ids.
constexpr std::pair<std::string_view, std::string_view> kFieldControls[] = {
    {"name", "iname"},         {"index", "index"},         {"price", "price"},
    {"holdEffect", "sp1"},     {"holdEffectParam", "sp2"}, {"importance", "Mys1"},
    {"registrability", "Mys2"}, {"pocket", "pock"},         {"type", "itemType"},
    {"fieldUsageCodePointer", "FUCP"}, {"battleUsage", "Bu"}, {"battleUsageCodePointer", "BUCP"},
    {"secondaryId", "secondaryId"},
};

std::string_view ControlOfField(const RecordField& field)
{
    for (const auto& [key, control] : kFieldControls) {
        if (key == field.key) return control;
    }
    return {};
}

std::vector<FormControl> MakeFormControls()
{
    std::vector<FormControl> controls;
    for (const RecordField& field : RecordFields()) {
        const bool list = field.kind == FieldKind::Number && field.width == 1;
        controls.push_back({ControlOfField(field), list ? FormControlKind::List : FormControlKind::TextBox, &field});
    }
    controls.push_back({kDescription, FormControlKind::TextBox, nullptr});
    controls.push_back({kMoveList, FormControlKind::List, nullptr});
    return controls;
}

const RecordField* FieldOfControl(std::string_view control)
{
    for (const FormControl& each : FormControls()) {
        if (each.control == control) return each.field;
    }
    return nullptr;
}

// The hold effect and its parameter have always been listed with at least two digits.
std::string EntryNumber(const RecordField& field, int value)
{
    const bool twoDigits = field.offset == 18 || field.offset == 19;
    return twoDigits && value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

std::string Entry(const RecordField& field, const GameFamily& family, Meaning meaning, int value)
{
    std::string entry = EntryNumber(field, value);
    if (const auto name = NameOf(meaning, family, value)) entry += " " + std::string(*name);
    return entry;
}

}  // namespace

std::span<const FormControl> FormControls()
{
    static const std::vector<FormControl> controls = MakeFormControls();
    return controls;
}

std::vector<std::string> FormListEntries(std::string_view control, const OpenedRom& rom, Meaning meaning)
{
    std::vector<std::string> entries;
    if (control == kMoveList) {
        for (const Text& move : rom.moveNames) entries.push_back(ToUtf8(move));
        return entries;
    }
    const RecordField* field = FieldOfControl(control);
    if (field == nullptr) return entries;
    const GameFamily& family = *rom.family;
    if (field->meaning == Meaning::Pocket) {
        for (const std::string_view name : family.pocketNames) entries.emplace_back(name);
        return entries;
    }
    // A field the game looks things up by lists the values it knows (and the gaps between them,
    // which a save refuses); any other lists every value a byte holds.
    int last = static_cast<int>(field->Maximum());
    if (field->knownValuesOnly) {
        const auto known = MeaningEntries(field->meaning, family);
        last = known.empty() ? 0 : known.back().value;
    }
    entries.reserve(static_cast<std::size_t>(last) + 1);
    for (int value = 0; value <= last; ++value) entries.push_back(Entry(*field, family, meaning, value));
    return entries;
}

std::map<std::string, FormValue, std::less<>> ShowItemForm(const OpenedRom& rom, const ItemView& item,
                                                           const RoutineGroups& routines)
{
    const GameFamily& family = *rom.family;
    const RecordField& fieldRoutine = *FindRecordField("fieldUsageCodePointer");
    const auto sameFieldRoutine = routines.FieldRoutineUsers(fieldRoutine.read(item));
    std::map<std::string, FormValue, std::less<>> form;
    for (const FormControl& control : FormControls()) {
        FormValue value;
        if (control.field != nullptr) {
            const RecordField& field = *control.field;
            value.label = std::string(field.label);
            value.meaning = MeaningOfField(field, family, item, sameFieldRoutine);
            value.help = std::string(field.help.empty() ? MeaningHelp(value.meaning) : field.help);
        }
        if (control.control == kMoveList) {
            if (item.tmMove) {
                value.listPosition = *item.tmMove - 1;
                value.text = *item.tmMove == 0 ? std::string() : std::to_string(*item.tmMove);
            }
        } else if (control.control == kDescription) {
            value.text = ToUtf8(item.description);
        } else if (control.field->kind == FieldKind::GameText) {
            value.text = ToUtf8(item.name);
        } else {
            const RecordField& field = *control.field;
            const std::uint32_t number = field.read(item);
            value.text = FieldValueText(field, number);
            if (control.kind == FormControlKind::List) value.listPosition = static_cast<int>(number);
            if (field.kind == FieldKind::Pointer) {
                const auto users = field.offset == fieldRoutine.offset ? sameFieldRoutine : routines.BattleRoutineUsers(number);
                // A state not made by opening knows no size; then only the pointer's form is judged.
                const std::int64_t size = rom.state.romSize > 0 ? rom.state.romSize : std::int64_t{1} << 32;
                value.words = DescribeRoutineUsers(routines, users, item.position, number, size);
            } else if (field.offset == 19) {
                value.words = ExplainHoldEffectParameter(family, item.holdEffect, item.holdEffectParam);
            } else if (value.meaning != Meaning::None) {
                const auto name = NameOf(value.meaning, family, static_cast<int>(number));
                value.words = name ? std::string(*name) : "a value the game does not name";
            }
        }
        form.emplace(std::string(control.control), std::move(value));
    }
    return form;
}

Result<ColumnEdit> ColumnEditFromForm(const FormInput& input, const OpenedRom& rom, const ItemView& item,
                                      const RoutineGroups& routines)
{
    std::vector<std::pair<std::string, ColumnInput>> values;
    for (const FormControl& control : FormControls()) {
        const std::string key = control.control == kMoveList      ? "tmMove"
                                : control.control == kDescription ? "description"
                                                                  : std::string(control.field->key);
        if (control.kind == FormControlKind::List) {
            const auto given = input.lists.find(control.control);
            if (given == input.lists.end() || given->second < 0) continue;
            if (control.control == kMoveList && !IsTmItem(item.position)) continue;
            const int value = control.control == kMoveList ? given->second + 1 : given->second;
            values.emplace_back(key, ColumnInput::Typed(std::to_string(value)));
            continue;
        }
        const auto given = input.texts.find(control.control);
        if (given == input.texts.end()) continue;
        if (control.control == kDescription && FromUtf8(given->second) == input.shownDescription) continue;
        if (control.field != nullptr && control.field->kind == FieldKind::GameText && FromUtf8(given->second) == input.shownName) continue;
        // An emptied number box has always saved as 0 in the window: its input rules let only
        // digits in, so empty is the one text it can hold that the columns' syntax refuses.
        const bool emptyNumber = control.field != nullptr && control.field->kind == FieldKind::Number && given->second.empty();
        values.emplace_back(key, ColumnInput::Typed(emptyNumber ? "0" : given->second));
    }
    return EditFromColumns({rom, item, routines, nullptr}, values);
}

}  // namespace quillbox
