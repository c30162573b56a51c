#include "items/exchange/ItemColumns.h"

#include "base/HexText.h"
#include "items/effect/ItemEffects.h"
#include "items/record/RoutineGroups.h"
#include "text/GameText.h"

#include <algorithm>
#include <cctype>
#include <deque>

namespace quillbox {

namespace {

struct Table {
    std::deque<std::string> keys;  // the keys made here ("pocketName", "effect.healHp"), kept in place
    std::vector<ItemColumn> columns;
};

const Table& Columns()
{
    static const Table table = [] {
        Table made;
        auto keep = [&made](std::string text) -> std::string_view { return made.keys.emplace_back(std::move(text)); };
        auto add = [&made](std::string_view key, std::string_view oldKey, ColumnKind kind, const RecordField* field = nullptr,
                           const EffectField* effectField = nullptr, std::string_view shownFrom = {}) {
            made.columns.push_back({key, oldKey, kind, field, effectField, shownFrom});
        };
        add("position", "", ColumnKind::Position);
        for (const RecordField& field : RecordFields()) {
            const ColumnKind kind = field.kind == FieldKind::GameText ? ColumnKind::Name
                                    : field.kind == FieldKind::Pointer ? ColumnKind::CodePointer
                                                                       : ColumnKind::Number;
            add(field.key, field.oldKey, kind, &field);
            if (field.meaning != Meaning::None) add(keep(std::string(field.key) + "Name"), "", ColumnKind::Shown, &field, nullptr, field.key);
            // The description's place and text stand where its pointer lies in the record.
            if (field.key == "holdEffectParam") {
                add("holdEffectParamName", "", ColumnKind::Shown, &field, nullptr, field.key);
                add("descriptionOffset", "", ColumnKind::DescriptionOffset);
                add("description", "", ColumnKind::Description);
                add("descriptionRoom", "", ColumnKind::Shown, nullptr, nullptr, "description");
            }
        }
        add("tmMove", "", ColumnKind::TmMove);
        add("tmMoveName", "", ColumnKind::Shown, nullptr, nullptr, "tmMove");
        add("imageOffset", "", ColumnKind::IconOffset);
        add("paletteOffset", "", ColumnKind::IconOffset);
        add("effect", "", ColumnKind::EffectWords, nullptr, nullptr, "effect.");
        for (const EffectField& field : EffectFields()) {
            add(keep("effect." + std::string(field.key)), "", ColumnKind::EffectMember, nullptr, &field);
        }
        return made;
    }();
    return table;
}

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool Empty(const ColumnInput& input)
{
    return input.form == ColumnInput::Form::Null || (input.form == ColumnInput::Form::String && input.text.empty());
}

// The value as the refusal shows it: text in quotes, a JSON value as the file wrote it.
std::string Shown(const ColumnInput& input)
{
    if (input.form == ColumnInput::Form::Null) return "null";
    return input.form == ColumnInput::Form::String ? Quote(input.text) : input.text;
}

Error Refusal(const ItemColumn& column, ErrorCode code, const std::string& takes, const ColumnInput& input)
{
    Error error{code, "takes " + takes + ", not " + Shown(input), std::string(column.key)};
    if (column.field != nullptr && column.kind != ColumnKind::Shown) error.recordOffset = column.field->offset;
    return error;
}

// Decimal digits (a JSON number or text) of at most nine significant digits.
std::optional<std::uint32_t> Whole(const ColumnInput& input)
{
    if (input.form != ColumnInput::Form::String && input.form != ColumnInput::Form::Number) return std::nullopt;
    const std::string& text = input.text;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const std::size_t significant = text.find_first_not_of('0');
    if (significant == std::string::npos) return 0;
    if (text.size() - significant > 9) return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(text.substr(significant)));
}

// Hexadecimal digits, "0x" before them or not, of at most `digits` digits; text only.
std::optional<std::uint32_t> Hex(const ColumnInput& input, std::size_t digits, std::string_view* spelled = nullptr)
{
    if (input.form != ColumnInput::Form::String) return std::nullopt;
    std::string_view text = input.text;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > digits || !IsHexText(text)) return std::nullopt;
    if (spelled != nullptr) *spelled = text;
    return static_cast<std::uint32_t>(HexToNumber(text));
}

std::string Upper(std::string_view text)
{
    std::string upper;
    for (const char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c))) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return upper;
}

Meaning MeaningOf(const RecordField& field, const ColumnSource& source)
{
    // Only byte 40 is read by the routine: the other coded fields need not look up its users.
    if (field.meaning != Meaning::SecondaryId) return MeaningOfField(field, *source.rom.family, source.item, {});
    static const RecordField& fieldRoutine = *FindRecordField("fieldUsageCodePointer");
    const auto users = source.routines.FieldRoutineUsers(fieldRoutine.read(source.item));
    return MeaningOfField(field, *source.rom.family, source.item, users);
}

const std::optional<std::string>& IconText(const ItemColumn& column, const ItemView& item)
{
    return column.key == "imageOffset" ? item.imageOffsetText : item.paletteOffsetText;
}

bool HexColumn(ColumnKind kind)
{
    return kind == ColumnKind::CodePointer || kind == ColumnKind::DescriptionOffset || kind == ColumnKind::IconOffset;
}

}  // namespace

std::span<const ItemColumn> ItemColumns() { return Columns().columns; }

const ItemColumn* FindItemColumn(std::string_view key)
{
    for (const ItemColumn& column : ItemColumns()) {
        if (column.key == key || (!column.oldKey.empty() && column.oldKey == key)) return &column;
    }
    return nullptr;
}

bool ItemHasColumn(const ItemColumn& column, const ColumnSource& source)
{
    switch (column.kind) {
    case ColumnKind::TmMove: return source.item.tmMove.has_value();
    case ColumnKind::IconOffset: return source.rom.family->hasImages && IconText(column, source.item).has_value();
    case ColumnKind::EffectMember: return source.effect != nullptr && source.effect->Available();
    case ColumnKind::Shown:
        if (column.shownFrom == "tmMove") return source.item.tmMove.has_value();
        return true;
    default: return true;
    }
}

ExportValue ColumnValue(const ItemColumn& column, const ColumnSource& source)
{
    std::string scratch;
    const ExportValueView value = ColumnValueView(column, source, scratch);
    if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
    if (const auto* text = std::get_if<std::string_view>(&value)) {
        // Text made for the value is handed over rather than copied.
        if (text->data() == scratch.data() && text->size() == scratch.size()) return scratch;
        return std::string(*text);
    }
    return {};
}

ExportValueView ColumnValueView(const ItemColumn& column, const ColumnSource& source, std::string& scratch)
{
    const ItemView& item = source.item;
    const GameFamily& family = *source.rom.family;
    const auto made = [&scratch]() -> std::string_view { return scratch; };
    switch (column.kind) {
    case ColumnKind::Position: return std::int64_t{item.position};
    case ColumnKind::Name:
        scratch.clear();
        AppendUtf8(scratch, item.name);
        return made();
    case ColumnKind::Number: return std::int64_t{column.field->read(item)};
    case ColumnKind::CodePointer: scratch = FieldValueText(*column.field, column.field->read(item)); return made();
    case ColumnKind::DescriptionOffset: return std::string_view(item.descriptionOffsetText);
    case ColumnKind::Description: {
        // Each Windows line break as a lone line feed, without a copy of the text to replace them in.
        scratch.clear();
        const TextView text = item.description;
        std::size_t start = 0;
        for (std::size_t found = text.find(kWindowsLineBreak); found != TextView::npos;
             found = text.find(kWindowsLineBreak, start)) {
            AppendUtf8(scratch, text.substr(start, found - start));
            scratch += '\n';
            start = found + kWindowsLineBreak.size();
        }
        AppendUtf8(scratch, text.substr(start));
        return made();
    }
    case ColumnKind::TmMove:
        if (item.tmMove) return std::int64_t{*item.tmMove};
        return {};
    case ColumnKind::IconOffset:
        if (const auto& text = IconText(column, item)) return std::string_view(*text);
        return {};
    case ColumnKind::EffectWords:
        if (source.effect != nullptr) return std::string_view(source.effect->words);
        return {};
    case ColumnKind::EffectMember:
        if (source.effect != nullptr && source.effect->Available()) {
            if (const auto member = column.effectField->get(source.effect->effect)) return std::int64_t{*member};
        }
        return {};
    case ColumnKind::Shown: break;
    }
    if (column.shownFrom == "description") return std::int64_t{item.descriptionRoom};
    if (column.shownFrom == "tmMove") {
        if (item.tmMove && *item.tmMove >= 1 && *item.tmMove <= source.rom.moveNames.size()) {
            scratch.clear();
            AppendUtf8(scratch, source.rom.moveNames[*item.tmMove - 1u]);
            return made();
        }
        return {};
    }
    if (column.key == "holdEffectParamName") {
        if (source.shared == nullptr) {
            scratch = ExplainHoldEffectParameter(family, item.holdEffect, item.holdEffectParam);
            return made();
        }
        auto [words, added] = source.shared->holdEffectParameters.try_emplace(item.holdEffect * 256 + item.holdEffectParam);
        if (added) words->second = ExplainHoldEffectParameter(family, item.holdEffect, item.holdEffectParam);
        return std::string_view(words->second);
    }
    const RecordField& coded = *column.field;
    if (const auto name = NameOf(MeaningOf(coded, source), family, static_cast<int>(coded.read(item)))) return *name;
    return {};
}

Result<ExportValue> ParseColumn(const ItemColumn& column, const ColumnSource& source, const ColumnInput& input)
{
    using Form = ColumnInput::Form;
    const bool has = ItemHasColumn(column, source);
    switch (column.kind) {
    case ColumnKind::Position:
    case ColumnKind::Number: {
        const std::uint32_t maximum = column.field != nullptr ? column.field->Maximum() : 0x7FFFFFFF;
        if (const auto value = Whole(input); value && *value <= maximum) return ExportValue{std::int64_t{*value}};
        const Meaning meaning = column.field != nullptr ? MeaningOf(*column.field, source) : Meaning::None;
        if (meaning != Meaning::None && input.form == Form::String && !Whole(input)) {
            if (const auto value = ValueOfName(meaning, *source.rom.family, input.text)) return ExportValue{std::int64_t{*value}};
        }
        std::string takes = "a whole number from 0 to " + std::to_string(maximum);
        if (meaning != Meaning::None) takes += " or the name of one";
        return Refusal(column, ErrorCode::BadValue, takes, input);
    }
    case ColumnKind::CodePointer:
        if (const auto value = Hex(input, 6)) return ExportValue{FieldValueText(*column.field, *value)};
        return Refusal(column, ErrorCode::BadHexText, "hexadecimal text of at most 6 digits", input);
    case ColumnKind::DescriptionOffset: {
        std::string_view spelled;
        if (auto value = Hex(input, 8, &spelled)) {
            // Eight digits from 08 on are a ROM pointer: no file offset is that large, and the
            // export never writes a leading zero.
            if (spelled.size() == 8 && spelled[0] == '0' && (spelled[1] == '8' || spelled[1] == '9')) *value -= kRomBase;
            return ExportValue{NumberToHex(*value)};
        }
        return Refusal(column, ErrorCode::BadHexText, "hexadecimal text of at most 8 digits", input);
    }
    case ColumnKind::IconOffset:
        if (!has && Empty(input)) return ExportValue{};
        if (const auto value = Hex(input, 6)) return ExportValue{PadHex(NumberToHex(*value), 6)};
        return Refusal(column, ErrorCode::BadHexText, "hexadecimal text of at most 6 digits", input);
    case ColumnKind::TmMove: {
        if (!has && Empty(input)) return ExportValue{};
        if (const auto value = Whole(input); value && *value <= static_cast<std::uint32_t>(kMoveCount)) {
            return ExportValue{std::int64_t{*value}};
        }
        if (input.form == Form::String && !input.text.empty()) {
            const std::string wanted = Upper(input.text);
            const auto& moves = source.rom.moveNames;
            for (std::size_t m = 0; m < moves.size() && m < static_cast<std::size_t>(kMoveCount); ++m) {
                if (Upper(ToUtf8(moves[m])) == wanted) return ExportValue{static_cast<std::int64_t>(m + 1)};
            }
        }
        return Refusal(column, ErrorCode::BadValue, "a whole number from 0 to " + std::to_string(kMoveCount) + " or a move's name",
                       input);
    }
    case ColumnKind::EffectMember: {
        const EffectField& member = *column.effectField;
        if (Empty(input) && (!has || member.kind == EffectFieldKind::Amount || member.kind == EffectFieldKind::SignedAmount)) {
            return ExportValue{};
        }
        const bool plain = input.form == Form::String || input.form == Form::Number || input.form == Form::Boolean;
        if (const EffectFieldValue parsed = plain ? ParseEffectFieldText(member, input.text) : EffectFieldValue{}; parsed.taken) {
            if (!parsed.value) return ExportValue{};
            return ExportValue{std::int64_t{*parsed.value}};
        }
        return Refusal(column, ErrorCode::BadValue, EffectFieldRange(member), input);
    }
    case ColumnKind::Name:
    case ColumnKind::Description:
        if (input.form != Form::String) return Refusal(column, ErrorCode::BadValue, "text", input);
        if (column.kind == ColumnKind::Name) return ExportValue{ToUtf8(FromUtf8(input.text))};
        return ExportValue{ToUtf8(ReplaceAll(FromUtf8(input.text), kWindowsLineBreak, U"\n"))};
    case ColumnKind::EffectWords:
    case ColumnKind::Shown:
        if (Empty(input)) return ExportValue{};
        if (column.shownFrom == "description") {
            if (const auto value = Whole(input); value && *value <= 0x7FFFFFFF) return ExportValue{std::int64_t{*value}};
            return Refusal(column, ErrorCode::BadValue, "a whole number from 0 to " + std::to_string(0x7FFFFFFF), input);
        }
        if (input.form != Form::String) return Refusal(column, ErrorCode::BadValue, "text", input);
        return ExportValue{ToUtf8(FromUtf8(input.text))};
    }
    return Refusal(column, ErrorCode::BadValue, "nothing", input);
}

Error ColumnError(const Error& refusal)
{
    Error error = MakeError(refusal.code, refusal.field + " " + refusal.message);
    error.field = refusal.field;
    error.recordOffset = refusal.recordOffset;
    return error;
}

Result<ColumnEdit> EditFromColumns(const ColumnSource& source, std::span<const std::pair<std::string, ColumnInput>> values)
{
    const ItemView& item = source.item;
    ColumnEdit result;
    ItemEffect effect = source.effect != nullptr ? source.effect->effect : ItemEffect{};
    bool effectGiven = false;
    std::optional<std::string> description;
    for (const auto& [key, input] : values) {
        const ItemColumn* column = FindItemColumn(key);
        if (column == nullptr) return MakeError(ErrorCode::BadValue, "no column " + Quote(key));
        if (column->ReadOnly()) {
            return MakeError(ErrorCode::BadValue, std::string(column->key) + " is shown for reading only");
        }
        auto parsed = ParseColumn(*column, source, input);
        if (!parsed) return ColumnError(parsed.error());
        const ExportValue& value = *parsed;
        const ExportValue current = ColumnValue(*column, source);
        const bool same = HexColumn(column->kind) && std::holds_alternative<std::string>(value) &&
                                  std::holds_alternative<std::string>(current)
                              ? HexToNumber(std::get<std::string>(value)) == HexToNumber(std::get<std::string>(current))
                              : value == current;
        if (column->kind == ColumnKind::EffectMember) {
            if (std::holds_alternative<std::monostate>(value) && !ItemHasColumn(*column, source)) continue;
            const auto* number = std::get_if<std::int64_t>(&value);
            column->effectField->set(effect, number ? std::optional<int>(static_cast<int>(*number)) : std::nullopt);
            effectGiven = true;
            continue;
        }
        if (column->kind == ColumnKind::Description) {
            description = std::get<std::string>(value);
            continue;
        }
        if (same) continue;
        result.changed.push_back(column->key);
        switch (column->kind) {
        case ColumnKind::Name: result.edit.name = FromUtf8(std::get<std::string>(value)); break;
        case ColumnKind::Number:
            column->field->write(result.edit, static_cast<std::uint32_t>(std::get<std::int64_t>(value)));
            break;
        case ColumnKind::CodePointer: column->field->writeText(result.edit, std::get<std::string>(value)); break;
        case ColumnKind::DescriptionOffset: result.descriptionOffset = std::get<std::string>(value); break;
        case ColumnKind::TmMove:
            if (const auto* move = std::get_if<std::int64_t>(&value)) result.edit.tmMove = static_cast<std::uint16_t>(*move);
            break;
        case ColumnKind::IconOffset:
            (column->key == "imageOffset" ? result.imageOffset : result.paletteOffset) = std::get<std::string>(value);
            break;
        default: break;
        }
    }
    // A description given for a new place is written there whatever the old place held.
    if (description && (result.descriptionOffset || FromUtf8(*description) != ReplaceAll(item.description, kWindowsLineBreak, U"\n"))) {
        result.edit.description = FromUtf8(*description);
        result.changed.push_back("description");
    }
    if (effectGiven && (source.effect == nullptr || !source.effect->Available() || effect != source.effect->effect)) {
        result.effect = effect;
        for (const auto& [key, input] : values) {
            if (key.starts_with("effect.")) {
                result.changed.push_back(FindItemColumn(key)->key);
                break;
            }
        }
    }
    return result;
}

}  // namespace quillbox
