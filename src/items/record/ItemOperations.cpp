#include "items/record/ItemOperations.h"

#include "items/record/ItemFields.h"
#include "items/record/ItemTable.h"
#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "rom/Patch.h"
#include "base/PathText.h"
#include "rom/Profile.h"
#include "rom/RomFile.h"

#include <algorithm>

namespace quillbox {

namespace {

constexpr int kImageEntrySize = 8;
constexpr int kDescriptionReadSize = 256;
constexpr int kRepointReadSize = 110;
constexpr std::uint8_t kTerminator = 0xFF;

std::string HexOffset(std::int64_t offset) { return NumberToHex(static_cast<std::uint32_t>(offset)); }

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

Status CheckPosition(const RomState& state, int position)
{
    if (state.Family() == nullptr) {
        return MakeError(ErrorCode::UnsupportedRom);
    }
    if (position < 0 || position >= state.ItemCount()) {
        return MakeError(ErrorCode::NoSuchItem, "position " + std::to_string(position) + " of " +
                                                     std::to_string(state.ItemCount()));
    }
    return {};
}

std::int64_t EntryOffset(const RomState& state, int position)
{
    return static_cast<std::int64_t>(state.itemTableOffset) + std::int64_t{kItemRecordSize} * position;
}

std::int64_t TmEntryOffset(const RomState& state, int position)
{
    return static_cast<std::int64_t>(state.tmMovesOffset) + 2 * std::int64_t{position - kFirstTmItem};
}

std::int64_t ImageEntryOffset(const RomState& state, int position)
{
    return static_cast<std::int64_t>(state.imageTableOffset) + std::int64_t{kImageEntrySize} * position;
}

}  // namespace

// Decodes names of `length` bytes lying `stride` bytes apart, as the lists show them.
std::vector<Text> DecodeNames(std::span<const Byte> block, int count, int stride, int length)
{
    std::vector<Text> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto name = block.subspan(static_cast<std::size_t>(i) * static_cast<std::size_t>(stride),
                                        static_cast<std::size_t>(length));
        Text& decoded = names.emplace_back(DecodeGameText(name));
        RemoveAllInPlace(decoded, kTerminatorEscape);
    }
    return names;
}

// Only the first 14 bytes of each 44-byte record are the name.
std::vector<Text> DecodeItemNames(std::span<const Byte> records, int count)
{
    return DecodeNames(records, count, kItemRecordSize, kItemNameSize);
}

namespace {

Text ShowLineBreaks(TextView decoded) { return ReplaceAll(decoded, kLineBreakEscape, kWindowsLineBreak); }

Result<std::int64_t> OffsetFromHexText(std::string_view text, std::string_view what)
{
    if (!text.empty() && !IsHexText(text)) {
        return WithFound(MakeError(ErrorCode::BadHexText, std::string(what) + " " + Quote(text)), std::string(text));
    }
    if (text.size() > 8) {
        return WithFound(MakeError(ErrorCode::BadOffset, std::string(what) + " " + Quote(text)), std::string(text));
    }
    return static_cast<std::int64_t>(HexToNumber(text));
}

Status CheckInsideFile(const RomFile& file, std::int64_t offset, std::string_view what)
{
    if (offset >= file.Size()) {
        return MakeError(ErrorCode::PastEndOfFile, std::string(what) + " " + HexOffset(offset) +
                                                       " is at or past the end of the file (" +
                                                       HexOffset(file.Size()) + " bytes)");
    }
    return {};
}

Result<Bytes> PointerBodyBytes(std::string_view text, std::string_view what)
{
    if (!text.empty() && !IsHexText(text)) {
        return WithFound(MakeError(ErrorCode::BadHexText, std::string(what) + " " + Quote(text)), std::string(text));
    }
    return HexToBytes(SwapByteOrder(FitHex(text, 6)));
}

}  // namespace

Result<RomFile> OpenOpenedRom(const RomState& state)
{
    auto file = RomFile::Open(state.romPath);
    if (!file) {
        return file.error();
    }
    if (state.romSize != 0 && file->Size() != state.romSize) {
        return MakeError(ErrorCode::RomChanged, "it had " + std::to_string(state.romSize) + " bytes and now has " +
                                                    std::to_string(file->Size()));
    }
    if (!state.headerCode.empty()) {
        auto header = file->ReadAt(kHeaderCodeOffset, 4);
        if (!header || std::string(header->begin(), header->end()) != state.headerCode) {
            return MakeError(ErrorCode::RomChanged, "its header code is no longer " + state.headerCode);
        }
    }
    return file;
}

Result<RomFile> OpenItemTableRom(const RomState& state)
{
    if (state.Family() == nullptr) return MakeError(ErrorCode::UnsupportedRom);
    return OpenOpenedRom(state);
}

Result<std::vector<Text>> ListItemNames(const RomState& state)
{
    auto file = OpenItemTableRom(state);
    if (!file) {
        return file.error();
    }
    auto records = file->ReadAt(state.itemTableOffset, std::int64_t{kItemRecordSize} * state.ItemCount());
    if (!records) {
        return records.error();
    }
    return DecodeItemNames(*records, state.ItemCount());
}

int CountDescriptionCharacters(TextView description)
{
    int count = 0;
    for (std::size_t i = 0; i < description.size(); ++i) {
        // A line break is two characters wherever it is counted, however it is held.
        const bool lineFeedAlone = description[i] == U'\n' && (i == 0 || description[i - 1] != U'\r');
        count += lineFeedAlone ? 2 : 1;
    }
    return count;
}

Result<ItemView> ReadItem(const RomState& state, int position)
{
    if (auto valid = CheckPosition(state, position); !valid) {
        return valid.error();
    }
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    return ReadItem(state, *file, position);
}

Result<ItemView> ReadItem(const RomState& state, RomFile& file, int position)
{
    const GameFamily* family = state.Family();
    if (auto valid = CheckPosition(state, position); !valid) {
        return valid.error();
    }
    auto record = file.ReadAt(EntryOffset(state, position), kItemRecordSize);
    if (!record) {
        return record.error();
    }
    ItemView item = DecodeItemRecord(position, *record);

    // A pointer below the ROM's base or past the file names no description: nothing is read
    // there, the description shows empty, and a save leaves the stored bytes alone.
    if (item.descriptionOffset >= 0 && item.descriptionOffset < file.Size()) {
        const std::int64_t available = std::min<std::int64_t>(kDescriptionReadSize, file.Size() - item.descriptionOffset);
        auto text = file.ReadAt(item.descriptionOffset, available);
        if (!text) {
            return text.error();
        }
        DecodeItemDescription(item, *text);
    }

    item.tmMoveUnknown = IsTmItem(position) && !state.tmMovesKnown;
    if (IsTmItem(position) && state.tmMovesKnown) {
        auto move = file.ReadAt(TmEntryOffset(state, position), 2);
        if (!move) {
            return move.error();
        }
        item.tmMove = ReadLe16(*move, 0);
    }
    if (family->hasImages) {
        auto entry = file.ReadAt(ImageEntryOffset(state, position), kImageEntrySize);
        if (!entry) {
            return entry.error();
        }
        item.imageOffsetText = ReadPointerBody(std::span<const Byte>(*entry).subspan<0, 3>());
        item.paletteOffsetText = ReadPointerBody(std::span<const Byte>(*entry).subspan<4, 3>());
    }
    return item;
}

Result<Bytes> EncodeItemName(TextView name)
{
    Bytes bytes = EncodeGameText(name);
    if (bytes.size() + 1 > kItemNameSize) {
        return MakeError(ErrorCode::NameTooLong, "it encodes to " + std::to_string(bytes.size()) +
                                                     " bytes, and 13 fit before its end mark");
    }
    // The rest of the field is filled with end marks: no letters of an older, longer name show
    // after the new one, and the list, which shows all 14 bytes but drops end marks, shows the
    // name without trailing blanks.
    bytes.resize(kItemNameSize, kTerminator);
    return bytes;
}

namespace {

// The text EncodeDescription encodes: line breaks as their escape, the end mark added.
Text DescriptionAsSaved(TextView description)
{
    Text text = ReplaceAll(description, kWindowsLineBreak, kLineBreakEscape);
    text = ReplaceAll(text, U"\n", kLineBreakEscape);
    text += kTerminatorEscape;
    return text;
}

}  // namespace

Bytes EncodeDescription(TextView description)
{
    return EncodeGameText(DescriptionAsSaved(description));
}

Text UnknownCharactersOf(const ItemEdit& edit)
{
    Text unknown = edit.name ? UnknownCharacters(*edit.name) : Text();
    if (edit.description) {
        for (const char32_t c : UnknownCharacters(DescriptionAsSaved(*edit.description))) {
            if (unknown.find(c) == Text::npos) unknown.push_back(c);
        }
    }
    return unknown;
}

Status CheckUnknownCharacters(const ItemEdit& edit)
{
    if (edit.replaceUnknownCharacters) {
        return {};
    }
    const Text name = edit.name ? UnknownCharacters(*edit.name) : Text();
    const Text description = edit.description ? UnknownCharacters(DescriptionAsSaved(*edit.description)) : Text();
    std::string detail;
    for (const auto& [characters, field] : {std::pair<const Text&, const char*>{name, " in the name"},
                                            std::pair<const Text&, const char*>{description, " in the description"}}) {
        if (!characters.empty()) {
            detail += (detail.empty() ? "" : ", ") + NameCharacters(characters) + field;
        }
    }
    if (detail.empty()) {
        return {};
    }
    return MakeError(ErrorCode::UnknownCharacters, detail + " would be saved as spaces");
}

Result<std::vector<Patch>> PlanSave(const RomState& state, int position, const ItemEdit& edit,
                                    const DescriptionPlace& description)
{
    if (auto valid = CheckPosition(state, position); !valid) {
        return valid.error();
    }
    if ((edit.name || edit.description) && !state.textEditable) {
        return MakeError(ErrorCode::TextNotEditable, "names and descriptions of a Japanese release (" +
                                                         state.headerCode + ") use a character set this editor "
                                                         "cannot write back; other fields can be saved");
    }
    if (auto known = CheckUnknownCharacters(edit); !known) {
        return known.error();
    }
    if (edit.tmMove && !state.tmMovesKnown) {
        return MakeError(ErrorCode::TablesDisagree, "this ROM's TM/HM move list is unknown; the move is not written");
    }
    const std::int64_t entry = EntryOffset(state, position);
    std::vector<Patch> patches;

    if (edit.name) {
        auto name = EncodeItemName(*edit.name);
        if (!name) {
            return name.error();
        }
        patches.push_back({entry + ItemField::Name, std::move(*name)});
    }
    if (edit.tmMove) {
        if (!IsTmItem(position)) {
            return MakeError(ErrorCode::BadValue, "only items 289 to 346 teach a move");
        }
        patches.push_back({TmEntryOffset(state, position), LittleEndianBytes(*edit.tmMove, 2)});
    }
    // What the record holds now, read only when it bears on what is written: a value the game does
    // not know may stay where it is, but is not newly written where the game looks things up by
    // it; and a code pointer's top byte follows from the one stored.
    std::optional<RomFile> file;
    std::optional<ItemView> stored;
    const auto readStored = [&]() -> Status {
        if (stored) return {};
        auto opened = OpenOpenedRom(state);
        if (!opened) return opened.error();
        auto record = opened->ReadAt(entry, kItemRecordSize);
        if (!record) return record.error();
        stored = DecodeItemRecord(position, *record);
        file.emplace(std::move(*opened));
        return {};
    };
    for (const RecordField& field : RecordFields()) {
        if (field.kind == FieldKind::GameText) continue;
        if (field.kind == FieldKind::Pointer) {
            const std::optional<std::string>& text = *field.editText(edit);
            if (!text) continue;
            const bool fieldRoutine = field.offset == ItemField::FieldUsageCodePointer;
            const std::string_view what = fieldRoutine ? "field usage code pointer" : "battle usage code pointer";
            auto body = PointerBodyBytes(*text, what);
            if (body) {
                if (Status read = readStored(); !read) return read.error();
                const std::uint32_t now = field.read(*stored);
                const std::uint32_t digits = ReadLittleEndian(*body, 0, 3);
                const std::optional<std::uint8_t> top = fieldRoutine ? edit.fieldUsageCodePointerTop : edit.battleUsageCodePointerTop;
                const std::uint32_t pointer = digits == 0 ? 0 : top ? std::uint32_t{*top} << 24 | digits : CodePointerOf(digits, now);
                // A pointer already stored may stay as it is; a new one must be one the game can call.
                if (pointer != now) {
                    if (Status callable = CheckCodePointer(pointer, file->Size(), what); !callable) body = callable.error();
                }
                if (body) *body = LittleEndianBytes(pointer, 4);
            }
            if (!body) {
                Error error = body.error();
                error.field = std::string(field.key);
                error.recordOffset = field.offset;
                return error;
            }
            patches.push_back({entry + field.offset, std::move(*body)});
            continue;
        }
        const auto value = field.take(edit);
        if (!value) continue;
        if (field.knownValuesOnly && !NameOf(field.meaning, *state.Family(), static_cast<int>(*value))) {
            if (Status read = readStored(); !read) return read.error();
        }
        if (auto valid = CheckFieldValue(field, *state.Family(), *value, stored ? field.read(*stored) : *value); !valid) {
            return valid.error();
        }
        patches.push_back({entry + field.offset, LittleEndianBytes(*value, field.width)});
    }
    if (edit.description) {
        Bytes bytes = EncodeDescription(*edit.description);
        if (description.offset < 0) {
            return MakeError(ErrorCode::BadOffset, "the description has no place in the file");
        }
        if (std::cmp_greater(bytes.size(), description.roomBytes)) {
            Error error = MakeError(ErrorCode::DescriptionTooLong,
                                    "it needs " + std::to_string(bytes.size()) + " bytes with its end mark, " +
                                        std::to_string(bytes.size() - static_cast<std::size_t>(std::max(description.roomBytes, 0))) +
                                        " more than the " + std::to_string(description.roomBytes) + " it has");
            // The record holds the description only through its pointer.
            error.field = "description";
            error.recordOffset = ItemField::DescPointer;
            return error;
        }
        patches.push_back({description.offset, std::move(bytes)});
    }
    return patches;
}

Status ApplyToRom(const RomState& state, std::span<const Patch> patches, const ChangeLabel& label)
{
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    ChangeLabel named = label;
    if (state.keepHistory && named.itemName.empty() && state.Family() != nullptr && named.position >= 0 &&
        named.position < state.ItemCount()) {
        const std::int64_t entry = EntryOffset(state, named.position);
        if (auto name = file->ReadAt(entry, kItemNameSize)) {
            for (const Patch& patch : patches) {
                for (std::size_t i = 0; i < patch.bytes.size(); ++i) {
                    const std::int64_t at = patch.offset + static_cast<std::int64_t>(i) - entry;
                    if (at >= 0 && at < kItemNameSize) (*name)[static_cast<std::size_t>(at)] = patch.bytes[i];
                }
            }
            Text shown = RemoveAll(DecodeGameText(*name), kTerminatorEscape);
            while (!shown.empty() && shown.back() == U' ') shown.pop_back();
            named.itemName = ToUtf8(shown);
        }
    }
    return ApplyPatches(*file, patches, named, state.keepHistory ? KeepHistory::Yes : KeepHistory::No);
}

Status SaveItem(const RomState& state, int position, const ItemEdit& edit, const DescriptionPlace& description)
{
    auto patches = PlanSave(state, position, edit, description);
    if (!patches) {
        return patches.error();
    }
    return ApplyToRom(state, *patches, {"Save", position});
}

Result<PlannedDescriptionRepoint> PlanDescriptionRepoint(const RomState& state, int position,
                                                          std::string_view offsetText)
{
    if (auto valid = CheckPosition(state, position); !valid) {
        return valid.error();
    }
    auto offset = OffsetFromHexText(offsetText, "the description offset");
    if (!offset) {
        return offset.error();
    }
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    if (auto inside = CheckInsideFile(*file, *offset, "the description offset"); !inside) {
        return inside.error();
    }
    const std::int64_t available = std::min<std::int64_t>(kRepointReadSize, file->Size() - *offset);
    auto place = file->ReadAt(*offset, available);
    if (!place) {
        return place.error();
    }

    DescriptionRepoint result;
    result.offset = *offset;
    const Text decoded = DecodeGameText(*place);
    const TextView shortView = TextView(decoded).substr(0, kRepointReadSize);
    if (shortView.starts_with(kTerminatorEscape)) {
        int run = 0;
        while (run < kRepointReadSize && std::cmp_less(run, place->size()) && (*place)[static_cast<std::size_t>(run)] == kTerminator) {
            ++run;
        }
        result.freeSpace = true;
        result.readable = true;
        result.room = run;
        result.roomBytes = run;
    } else if (const std::size_t end = shortView.find(kTerminatorEscape); end != TextView::npos) {
        result.description = ShowLineBreaks(shortView.substr(0, end));
        result.readable = true;
        result.room = static_cast<int>(end);
        result.roomBytes = TerminatorPosition(*place) + 1;
    }

    const std::uint32_t pointer = static_cast<std::uint32_t>(*offset) + kRomBase;
    Patch patch{EntryOffset(state, position) + ItemField::DescPointer,
                {static_cast<Byte>(pointer), static_cast<Byte>(pointer >> 8), static_cast<Byte>(pointer >> 16),
                 static_cast<Byte>(pointer >> 24)}};
    if (auto inside = CheckPatches(*file, std::span(&patch, 1)); !inside) {
        return inside.error();
    }
    return PlannedDescriptionRepoint{std::move(result), std::move(patch)};
}

Result<DescriptionRepoint> RepointDescription(const RomState& state, int position, std::string_view offsetText)
{
    auto plan = PlanDescriptionRepoint(state, position, offsetText);
    if (!plan) {
        return plan.error();
    }
    if (auto written = ApplyToRom(state, std::span(&plan->pointer, 1), {"Repoint Description", position}); !written) {
        return written.error();
    }
    return std::move(plan->repoint);
}

Result<ImageOffsets> ReadImageOffsets(const RomState& state, int position)
{
    const GameFamily* family = state.Family();
    if (auto valid = CheckPosition(state, position); !valid) {
        return valid.error();
    }
    if (!family->hasImages) {
        return MakeError(ErrorCode::NoImages);
    }
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    auto entry = file->ReadAt(ImageEntryOffset(state, position), kImageEntrySize);
    if (!entry) {
        return entry.error();
    }
    return ImageOffsets{ReadPointerBody(std::span<const Byte>(*entry).subspan<0, 3>()),
                        ReadPointerBody(std::span<const Byte>(*entry).subspan<4, 3>())};
}

Result<IconPixels> ReadItemIcon(RomFile& file, std::int64_t imageOffset, std::int64_t paletteOffset)
{
    // The icon is drawn from the start of each stream alone (kIconStreamBytes says why).
    auto tiles = file.ReadAtZeroFilled(imageOffset, kIconStreamBytes);
    if (!tiles) {
        return tiles.error();
    }
    auto palette = file.ReadAtZeroFilled(paletteOffset, kIconStreamBytes);
    if (!palette) {
        return palette.error();
    }
    return DecodeIcon(*tiles, *palette);
}

Result<IconPixels> ReadItemIcon(const std::filesystem::path& rom, std::int64_t imageOffset, std::int64_t paletteOffset)
{
    auto file = RomFile::Open(rom);
    if (!file) {
        return file.error();
    }
    return ReadItemIcon(*file, imageOffset, paletteOffset);
}

Result<IconPixels> ReadItemIcon(const RomState& state, std::int64_t imageOffset, std::int64_t paletteOffset)
{
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    return ReadItemIcon(*file, imageOffset, paletteOffset);
}

Result<std::vector<Patch>> PlanImageRepoint(const RomState& state, int position, std::string_view imageOffsetText,
                                            std::string_view paletteOffsetText)
{
    const GameFamily* family = state.Family();
    if (auto valid = CheckPosition(state, position); !valid) {
        return valid.error();
    }
    if (!family->hasImages) {
        return MakeError(ErrorCode::NoImages);
    }
    if (!state.imagesWritable) {
        return MakeError(ErrorCode::TablesDisagree, "IMGData " + HexOffset(state.imageTableOffset) +
                                                        " holds no item image table; nothing is written there");
    }
    auto image = PointerBodyBytes(imageOffsetText, "the image offset");
    if (!image) {
        return image.error();
    }
    auto palette = PointerBodyBytes(paletteOffsetText, "the palette offset");
    if (!palette) {
        return palette.error();
    }
    // Only three bytes are written: an offset with more digits would land elsewhere, cut down.
    for (const auto& [text, what] : {std::pair{imageOffsetText, "the image offset"}, std::pair{paletteOffsetText, "the palette offset"}}) {
        const std::size_t significant = text.find_first_not_of('0');
        if (significant != std::string_view::npos && text.size() - significant > 6) {
            return WithFound(MakeError(ErrorCode::BadOffset, std::string(what) + " " + Quote(text) + " does not fit in three bytes"), std::string(text));
        }
    }
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    for (const auto& [text, what] : {std::pair{imageOffsetText, "the image offset"}, std::pair{paletteOffsetText, "the palette offset"}}) {
        if (auto inside = CheckInsideFile(*file, static_cast<std::int64_t>(HexToNumber(FitHex(text, 6))), what); !inside) {
            return inside.error();
        }
    }
    const std::int64_t entry = ImageEntryOffset(state, position);
    std::vector<Patch> patches{{entry, std::move(*image)}, {entry + 4, std::move(*palette)}};
    if (auto inside = CheckPatches(*file, patches); !inside) {
        return inside.error();
    }
    return patches;
}

Status RepointItemImage(const RomState& state, int position, std::string_view imageOffsetText,
                        std::string_view paletteOffsetText)
{
    auto patches = PlanImageRepoint(state, position, imageOffsetText, paletteOffsetText);
    if (!patches) {
        return patches.error();
    }
    return ApplyToRom(state, *patches, {"Repoint Image", position});
}

}  // namespace quillbox
