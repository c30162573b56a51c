#include "items/record/ItemTable.h"

#include "items/record/ItemFields.h"
#include "base/LittleEndian.h"
#include "base/HexText.h"

#include <algorithm>

namespace quillbox {

namespace {

constexpr int kDescriptionReadSize = 256;
constexpr int kImageEntrySize = 8;
constexpr int kTmEntries = kLastTmItem - kFirstTmItem + 1;
constexpr std::uint8_t kTerminator = 0xFF;
// Descriptions spread over more than this are read one by one rather than as one block.
constexpr std::int64_t kMaxDescriptionBlock = 1 << 20;

bool NamesAPlace(std::int64_t offset, std::int64_t fileSize) { return offset >= 0 && offset < fileSize; }

}  // namespace

int TerminatorPosition(std::span<const Byte> bytes)
{
    bool argument = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (argument) {
            argument = false;
        } else if (bytes[i] == kTerminator) {
            return static_cast<int>(i);
        } else if (bytes[i] == 0xFC || bytes[i] == 0xFD) {
            argument = true;
        }
    }
    return -1;
}

ItemView DecodeItemRecord(int position, std::span<const Byte> bytes)
{
    ItemView item;
    item.position = position;
    item.name = DecodeGameText(bytes.first(kItemNameSize));
    RemoveAllInPlace(item.name, kTerminatorEscape);
    while (!item.name.empty() && item.name.back() == U' ') item.name.pop_back();
    for (const RecordField& field : RecordFields()) {
        if (field.kind != FieldKind::GameText) field.store(item, ReadLittleEndian(bytes, static_cast<std::size_t>(field.offset), field.width));
    }
    // Stored from six digits alone, a code pointer under a null top byte would take a routine's:
    // the item shows the top bytes the record holds.
    item.fieldUsageCodePointerTop = bytes[ItemField::FieldUsageCodePointer + 3];
    item.battleUsageCodePointerTop = bytes[ItemField::BattleUsageCodePointer + 3];
    item.descriptionOffset = ReadFullPointer(bytes.subspan(ItemField::DescPointer).first<4>());
    item.descriptionOffsetText = NumberToHex(static_cast<std::uint32_t>(item.descriptionOffset));
    return item;
}

void DecodeItemDescription(ItemView& item, std::span<const Byte> bytes)
{
    bytes = bytes.first(std::min<std::size_t>(bytes.size(), kDescriptionReadSize));
    // Decoding goes byte by byte, so the bytes up to the first terminator decode to the start of
    // what all of them decode to; nothing after it is looked at.
    const int terminator = TerminatorPosition(bytes);
    const auto text = terminator < 0 ? bytes : bytes.first(static_cast<std::size_t>(terminator) + 1);
    Text decoded = DecodeGameText(text);
    if (decoded.size() > kDescriptionReadSize) decoded.resize(kDescriptionReadSize);
    const std::size_t end = decoded.find(kTerminatorEscape);
    if (end == Text::npos) return;
    item.description = ReplaceAll(TextView(decoded).substr(0, end), kLineBreakEscape, kWindowsLineBreak);
    item.descriptionReadable = true;
    item.descriptionRoom = CountDescriptionCharacters(item.description);
    item.descriptionRoomBytes = terminator + 1;
}

Result<std::vector<ItemView>> ReadItemTable(const RomState& state)
{
    const GameFamily* family = state.Family();  // known once the file opens
    auto file = OpenItemTableRom(state);
    if (!file) {
        return file.error();
    }
    const int count = state.ItemCount();
    auto records = file->ReadAt(state.itemTableOffset, std::int64_t{kItemRecordSize} * count);
    if (!records) {
        return records.error();
    }
    Bytes tmMoves;
    if (state.tmMovesKnown) {
        auto block = file->ReadAt(state.tmMovesOffset, 2 * kTmEntries);
        if (!block) {
            return block.error();
        }
        tmMoves = std::move(*block);
    }
    Bytes images;
    if (family->hasImages) {
        auto block = file->ReadAt(state.imageTableOffset, std::int64_t{kImageEntrySize} * count);
        if (!block) {
            return block.error();
        }
        images = std::move(*block);
    }

    std::vector<ItemView> items;
    items.reserve(static_cast<std::size_t>(count));
    std::int64_t low = file->Size();
    std::int64_t high = 0;
    for (int position = 0; position < count; ++position) {
        const auto record = std::span<const Byte>(*records).subspan(static_cast<std::size_t>(position) * kItemRecordSize,
                                                                     kItemRecordSize);
        ItemView item = DecodeItemRecord(position, record);
        if (NamesAPlace(item.descriptionOffset, file->Size())) {
            low = std::min(low, item.descriptionOffset);
            high = std::max(high, std::min<std::int64_t>(item.descriptionOffset + kDescriptionReadSize, file->Size()));
        }
        if (position >= kFirstTmItem && position <= kLastTmItem) {
            if (state.tmMovesKnown) {
                item.tmMove = ReadLe16(tmMoves, static_cast<std::size_t>(2 * (position - kFirstTmItem)));
            } else {
                item.tmMoveUnknown = true;
            }
        }
        if (family->hasImages) {
            const auto entry = std::span<const Byte>(images).subspan(static_cast<std::size_t>(position) * kImageEntrySize,
                                                                      kImageEntrySize);
            item.imageOffsetText = ReadPointerBody(entry.first<3>());
            item.paletteOffsetText = ReadPointerBody(entry.subspan<4, 3>());
        }
        items.push_back(std::move(item));
    }

    Bytes block;
    const bool together = high > low && high - low <= kMaxDescriptionBlock;
    if (together) {
        auto read = file->ReadAt(low, high - low);
        if (!read) {
            return read.error();
        }
        block = std::move(*read);
    }
    for (ItemView& item : items) {
        if (!NamesAPlace(item.descriptionOffset, file->Size())) continue;
        const std::int64_t available = std::min<std::int64_t>(kDescriptionReadSize, file->Size() - item.descriptionOffset);
        if (together) {
            DecodeItemDescription(item, std::span<const Byte>(block).subspan(static_cast<std::size_t>(item.descriptionOffset - low),
                                                                             static_cast<std::size_t>(available)));
            continue;
        }
        auto text = file->ReadAt(item.descriptionOffset, available);
        if (!text) {
            return text.error();
        }
        DecodeItemDescription(item, *text);
    }
    return items;
}

}  // namespace quillbox
