#include "items/record/ItemFields.h"

#include "base/HexText.h"

#include <algorithm>
#include <type_traits>

namespace quillbox {

namespace {

constexpr std::uint32_t kPointerBodyMaximum = 0xFFFFFF;
// The top bytes of the cartridge's two 16 MiB halves, where the game's routines lie.
constexpr std::uint32_t kRomTop = kRomBase >> 24;
constexpr std::uint32_t kUpperRomTop = kRomTop + 1;

template <auto Member>
std::uint32_t ReadNumber(const ItemView& item)
{
    return item.*Member;
}

template <auto Member>
void StoreNumber(ItemView& item, std::uint32_t value)
{
    item.*Member = static_cast<std::remove_reference_t<decltype(item.*Member)>>(value);
}

template <auto Member>
std::optional<std::uint32_t> TakeNumber(const ItemEdit& edit)
{
    if (!(edit.*Member)) return std::nullopt;
    return static_cast<std::uint32_t>(*(edit.*Member));
}

template <auto Member>
void WriteNumber(ItemEdit& edit, std::uint32_t value)
{
    using Stored = typename std::remove_reference_t<decltype(edit.*Member)>::value_type;
    edit.*Member = static_cast<Stored>(value);
}

template <auto Member, auto TopMember>
std::uint32_t ReadPointer(const ItemView& item)
{
    return std::uint32_t{item.*TopMember} << 24 | static_cast<std::uint32_t>(HexToNumber(item.*Member));
}

template <auto Member, auto TopMember>
void StorePointer(ItemView& item, std::uint32_t value)
{
    const std::uint32_t pointer = value > kPointerBodyMaximum ? value : CodePointerOf(value, ReadPointer<Member, TopMember>(item));
    item.*Member = PadHex(NumberToHex(pointer & kPointerBodyMaximum), 6);
    item.*TopMember = static_cast<std::uint8_t>(pointer >> 24);
}

template <auto Member>
std::optional<std::uint32_t> TakePointer(const ItemEdit& edit)
{
    const auto& text = edit.*Member;
    if (!text || (!text->empty() && !IsHexText(*text))) return std::nullopt;
    return static_cast<std::uint32_t>(HexToNumber(FitHex(*text, 6)));
}

template <auto Member, auto TopMember>
void WritePointer(ItemEdit& edit, std::uint32_t value)
{
    edit.*Member = PadHex(NumberToHex(value & kPointerBodyMaximum), 6);
    if (value > kPointerBodyMaximum) {
        edit.*TopMember = static_cast<std::uint8_t>(value >> 24);
    } else {
        edit.*TopMember = std::nullopt;
    }
}

template <auto Member>
const std::optional<std::string>* PointerText(const ItemEdit& edit)
{
    return &(edit.*Member);
}

template <auto Member>
void WritePointerText(ItemEdit& edit, std::string text)
{
    edit.*Member = std::move(text);
}

template <auto ViewMember, auto EditMember>
constexpr RecordField Number(std::string_view key, std::string_view oldKey, std::string_view label,
                             int offset, int width, Meaning meaning, bool knownValuesOnly, std::string_view help = {})
{
    return {key,     oldKey, label, offset, width, FieldKind::Number, meaning, knownValuesOnly,
            ReadNumber<ViewMember>, StoreNumber<ViewMember>, TakeNumber<EditMember>, WriteNumber<EditMember>, nullptr, nullptr,
            help};
}

template <auto ViewMember, auto ViewTop, auto EditMember, auto EditTop>
constexpr RecordField Pointer(std::string_view key, std::string_view label, int offset,
                              std::string_view help)
{
    return {key, "", label, offset, 4, FieldKind::Pointer, Meaning::None, false, ReadPointer<ViewMember, ViewTop>,
            StorePointer<ViewMember, ViewTop>, TakePointer<EditMember>, WritePointer<EditMember, EditTop>,
            PointerText<EditMember>, WritePointerText<EditMember>, help};
}

// The layout and the meanings rest on the item structure of the games' decompilations; the bytes
// left out (33 to 35, 41 to 43) are padding the game never reads. The code pointers are whole
// 32-bit words to the game, shown as their six low digits as the window has always shown them.
constexpr RecordField kFields[] = {
    {"name", "", "Name", 0, 14, FieldKind::GameText, Meaning::None, false, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, "The item's name as the game shows it, 13 characters at most"},
    Number<&ItemView::index, &ItemEdit::index>("index", "", "Index", 14, 2, Meaning::None, false,
                                               "The item's own number, its id in the game"),
    Number<&ItemView::price, &ItemEdit::price>("price", "", "Price", 16, 2, Meaning::None, false,
                                               "What it costs in a shop; it sells for half"),
    Number<&ItemView::holdEffect, &ItemEdit::holdEffect>("holdEffect", "special1", "Hold effect", 18, 1, Meaning::HoldEffect, false),
    Number<&ItemView::holdEffectParam, &ItemEdit::holdEffectParam>("holdEffectParam", "special2", "Parameter", 19, 1, Meaning::None, false,
                                                     "The hold effect's amount: HP restored, a boost or a chance"),
    Number<&ItemView::importance, &ItemEdit::importance>("importance", "mystery1", "Key item", 24, 1, Meaning::Importance, false),
    Number<&ItemView::registrability, &ItemEdit::registrability>("registrability", "mystery2", "Registrable", 25, 1,
                                                     Meaning::Registrability, false),
    Number<&ItemView::pocket, &ItemEdit::pocket>("pocket", "", "Pocket", 26, 1, Meaning::Pocket, true),
    Number<&ItemView::type, &ItemEdit::type>("type", "", "Type", 27, 1, Meaning::ItemType, false),
    Pointer<&ItemView::fieldUsageCodePointer, &ItemView::fieldUsageCodePointerTop, &ItemEdit::fieldUsageCodePointer,
            &ItemEdit::fieldUsageCodePointerTop>(
        "fieldUsageCodePointer", "Field routine", 28, "The game's routine run when the item is used outside battle"),
    Number<&ItemView::battleUsage, &ItemEdit::battleUsage>("battleUsage", "", "Battle usage", 32, 1,
                                                           Meaning::BattleUsage, true),
    Pointer<&ItemView::battleUsageCodePointer, &ItemView::battleUsageCodePointerTop, &ItemEdit::battleUsageCodePointer,
            &ItemEdit::battleUsageCodePointerTop>(
        "battleUsageCodePointer", "Battle routine", 36, "The game's routine run when the item is used in battle"),
    Number<&ItemView::secondaryId, &ItemEdit::secondaryId>("secondaryId", "", "Secondary id", 40, 1,
                                                           Meaning::SecondaryId, false),
};

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

Error FieldError(ErrorCode code, const RecordField& field, std::string detail, std::string found)
{
    Error error = WithFound(MakeError(code, std::move(detail)), std::move(found));
    error.field = std::string(field.key);
    error.recordOffset = field.offset;
    return error;
}

}  // namespace

std::span<const RecordField> RecordFields() { return kFields; }

std::uint32_t CodePointerOf(std::uint32_t body, std::uint32_t stored)
{
    body &= kPointerBodyMaximum;
    if (body == 0) return 0;
    const std::uint32_t top = stored >> 24;
    if (top == kRomTop || top == kUpperRomTop) return top << 24 | body;
    if (top != 0 && body == (stored & kPointerBodyMaximum)) return stored;
    return kRomBase | body;
}

Status CheckCodePointer(std::uint32_t pointer, std::int64_t romSize, std::string_view what)
{
    if (pointer == 0) return {};
    const std::string shown = std::string(what) + " " + PadHex(NumberToHex(pointer), 8);
    const std::uint32_t top = pointer >> 24;
    if (top != kRomTop && top != kUpperRomTop) {
        return MakeError(ErrorCode::BadValue, shown + " names no place in the ROM");
    }
    const std::int64_t offset = pointer - kRomBase;
    if (offset >= romSize) {
        return MakeError(ErrorCode::PastEndOfFile, shown + " names " + NumberToHex(static_cast<std::uint64_t>(offset)) +
                                                       ", at or past the end of the file (" +
                                                       NumberToHex(static_cast<std::uint64_t>(romSize)) + " bytes)");
    }
    if (pointer % 2 == 0) {
        return MakeError(ErrorCode::BadValue,
                         shown + " is even, and the game's item routines are Thumb code, called at odd addresses");
    }
    return {};
}

const RecordField* FindRecordField(std::string_view key)
{
    for (const RecordField& field : kFields) {
        if (field.key == key || (!field.oldKey.empty() && field.oldKey == key)) return &field;
    }
    return nullptr;
}

Meaning MeaningOfField(const RecordField& field, const GameFamily& family, const ItemView& item,
                       std::span<const int> sameFieldRoutine)
{
    if (field.meaning == Meaning::ItemType) return ItemTypeMeaningOf(family, item.pocket);
    if (field.meaning != Meaning::SecondaryId) return field.meaning;
    return SecondaryIdMeaningOf(family, item.pocket, item.type, sameFieldRoutine);
}

Result<std::uint32_t> ParseFieldValue(const RecordField& field, const GameFamily& family, std::string_view text,
                                      Meaning meaning)
{
    if (field.kind == FieldKind::Pointer) {
        if (text.empty() || text.size() > 6 || !IsHexText(text)) {
            return FieldError(ErrorCode::BadHexText, field,
                              std::string(field.key) + " " + Quote(text) + " is not hexadecimal text of at most 6 digits",
                              std::string(text));
        }
        return static_cast<std::uint32_t>(HexToNumber(text));
    }
    const bool digits = !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string_view::npos;
    if (digits && std::stoul(std::string(text)) <= field.Maximum()) {
        return static_cast<std::uint32_t>(std::stoul(std::string(text)));
    }
    if (!digits && meaning != Meaning::None) {
        if (const auto value = ValueOfName(meaning, family, text)) return static_cast<std::uint32_t>(*value);
    }
    std::string takes = "takes a whole number from 0 to " + std::to_string(field.Maximum());
    if (meaning != Meaning::None) takes += " or the name of one";
    return FieldError(ErrorCode::BadValue, field, std::string(field.key) + " " + takes + ", not " + Quote(text),
                      std::string(text));
}

std::string FieldValueText(const RecordField& field, std::uint32_t value)
{
    if (field.kind != FieldKind::Pointer) return std::to_string(value);
    // Always six digits, as PadHex(NumberToHex(…), 6) gives them, without the two strings between.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(6, '0');
    std::uint32_t body = value & kPointerBodyMaximum;
    for (auto digit = text.rbegin(); digit != text.rend(); ++digit, body >>= 4) *digit = kDigits[body & 0x0F];
    return text;
}

Status CheckFieldValue(const RecordField& field, const GameFamily& family, std::uint32_t value, std::uint32_t stored)
{
    if (value > field.Maximum()) {
        return FieldError(ErrorCode::BadValue, field, std::string(field.key) + " takes a whole number from 0 to " +
                                                          std::to_string(field.Maximum()) + ", not " + std::to_string(value),
                          std::to_string(value));
    }
    if (!field.knownValuesOnly || value == stored || NameOf(field.meaning, family, static_cast<int>(value))) {
        return {};
    }
    const auto known = MeaningEntries(field.meaning, family);
    std::string names;
    bool contiguous = true;
    for (std::size_t i = 0; i < known.size(); ++i) {
        names += (names.empty() ? "" : ", ") + NumberAndName(field.meaning, family, known[i].value);
        contiguous = contiguous && known[i].value == static_cast<int>(i);
    }
    const std::string range = contiguous && !known.empty() ? "from 0 to " + std::to_string(known.back().value) + ", not " + std::to_string(value)
                                                           : "not " + std::to_string(value);
    return FieldError(ErrorCode::BadValue, field, std::string(field.key) + " takes a value the game knows, " + range + " (" +
                                                      names + ")",
                      std::to_string(value));
}

}  // namespace quillbox
