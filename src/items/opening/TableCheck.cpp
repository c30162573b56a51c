#include "items/opening/TableCheck.h"

#include "items/effect/ItemEffectTable.h"
#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "rom/TmHmList.h"

#include <algorithm>

namespace quillbox {

namespace {

constexpr int kIndexField = 14;
constexpr int kTmEntries = kLastTmItem - kFirstTmItem + 1;
constexpr int kImageEntrySize = 8;
// Enough icon entries to tell a pointer table from other bytes without reading them all.
constexpr int kImageEntriesChecked = 16;
constexpr std::int64_t kHeaderItemTablePointer = 0x1C8;
constexpr Byte kLz77Mark = 0x10;
// A 32 MiB ROM reaches up to 0x09FFFFFF.
constexpr std::uint32_t kRomAddressLimit = 0x0A000000;

std::string Hex(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

// The file offset a ROM pointer names, or -1 when it names no place in a file of `size` bytes.
std::int64_t PointerTarget(std::uint32_t word, std::int64_t size)
{
    if (word < kRomBase || word >= kRomAddressLimit) return -1;
    const std::int64_t target = word - kRomBase;
    return target < size ? target : -1;
}

bool ImagesLookRight(RomFile& file, std::int64_t offset, int count)
{
    const int entries = std::min(count, kImageEntriesChecked);
    auto table = file.ReadAt(offset, std::int64_t{kImageEntrySize} * entries);
    if (!table) return false;
    int fitting = 0;
    for (int entry = 0; entry < entries; ++entry) {
        bool streams = true;
        for (int half = 0; half < 2 && streams; ++half) {
            // Icons are read and repointed through the pointers' low three bytes, so those are
            // what must name the streams.
            const std::int64_t target = ReadLe32(*table, static_cast<std::size_t>(entry * 2 + half) * 4) & 0xFFFFFF;
            auto mark = target < file.Size() ? file.ReadAt(target, 1) : Result<Bytes>(MakeError(ErrorCode::PastEndOfFile));
            streams = mark && (*mark)[0] == kLz77Mark;
        }
        if (streams) ++fitting;
    }
    // An icon the user repointed somewhere odd is the user's business, not a sign of no table.
    return entries > 0 && fitting * 4 >= entries * 3;
}

}  // namespace

bool LooksLikeItemTable(std::span<const Byte> records, int count)
{
    if (count <= 0 || records.size() < static_cast<std::size_t>(count) * kItemRecordSize) return false;
    int fitting = 0;
    int named = 0;
    for (int position = 0; position < count; ++position) {
        const std::uint16_t index = ReadLe16(records, static_cast<std::size_t>(position) * kItemRecordSize + kIndexField);
        if (index == 0) {
            ++fitting;
        } else if (index == position) {
            ++fitting;
            ++named;
        }
    }
    // An edited Index here and there is the user's business; a table that mostly breaks the
    // pattern is not an item table.
    return fitting * 10 >= count * 9 && named * 2 >= count;
}

bool LooksLikeMoveNames(std::span<const Byte> names, int count)
{
    if (count <= 0 || names.size() < static_cast<std::size_t>(count) * kMoveNameSize) return false;
    int fitting = 0;
    for (int move = 0; move < count; ++move) {
        const auto name = names.subspan(static_cast<std::size_t>(move) * kMoveNameSize, kMoveNameSize);
        if (name[0] != 0xFF && std::find(name.begin() + 1, name.end(), Byte{0xFF}) != name.end()) ++fitting;
    }
    return fitting * 10 >= count * 9;
}

bool LooksLikeTmMoves(std::span<const Byte> moves) { return WeighTmHmList(moves, 0).IsTmHmList(); }

TableCheckReport CheckTables(RomFile& file, const RomState& state, const GameFamily& family,
                             std::span<const Byte> records, std::span<const Byte> moveNames)
{
    TableCheckReport report;
    const int items = state.ItemCount();
    report.items = LooksLikeItemTable(records, items);
    if (!report.items) {
        report.problems.push_back("ItemData " + Hex(state.itemTableOffset) + " holds no item table of " +
                                  std::to_string(items) + " items");
        report.problemKeys.emplace_back("ItemData");
    }
    report.moveNames = LooksLikeMoveNames(moveNames, kMoveCount);
    if (!report.moveNames) {
        report.problems.push_back("AttackNames " + Hex(state.moveNamesOffset) + " holds no move-name table");
        report.problemKeys.emplace_back("AttackNames");
    }
    if (state.tmMovesKnown) {
        auto moves = file.ReadAt(state.tmMovesOffset, 2 * kTmEntries);
        const TmHmListEvidence evidence = moves ? WeighTmHmList(*moves, 0) : TmHmListEvidence{};
        report.tmMoves = evidence.IsTmHmList();
        if (!report.tmMoves) {
            report.problems.push_back("TMData " + Hex(state.tmMovesOffset) + " holds no TM/HM move list (" +
                                      std::to_string(evidence.movesInRange) + " of " + std::to_string(kTmEntries) +
                                      " entries are moves, " + evidence.Describe() + ")");
            report.problemKeys.emplace_back("TMData");
        }
    }
    if (family.hasImages) {
        report.images = ImagesLookRight(file, state.imageTableOffset, items);
        if (!report.images) {
            report.problems.push_back("IMGData " + Hex(state.imageTableOffset) +
                                      " holds no table of pointers to compressed images");
            report.problemKeys.emplace_back("IMGData");
        }
    }
    return report;
}

std::optional<std::string> CheckItemEffectTable(RomFile& file, std::int64_t effectData)
{
    const std::string where = "EffectData " + Hex(effectData);
    if (effectData < 0 || effectData > kMaxOffset || effectData + kItemEffectTableSize > file.Size()) {
        return where + " leaves no room for the item-effect table's " + std::to_string(kItemEffectTableSize) +
               " bytes before the end of the file at " + Hex(file.Size());
    }
    auto evidence = WeighItemEffectTable(file, effectData);
    if (!evidence) return where + " could not be read: " + evidence.error().message;
    if (!evidence->IsItemEffectTable()) return where + " holds no item-effect table (" + evidence->Describe() + ")";
    return std::nullopt;
}

HeaderItemTable ItemTableNamedByHeader(RomFile& file, const RomState& state)
{
    const GameFamily* family = state.Family();
    // Ruby and Sapphire have no such header; their bytes there are code.
    if (family == nullptr || !family->hasImages) return {};
    auto word = file.ReadAt(kHeaderItemTablePointer, 4);
    if (!word) return {};
    const std::int64_t target = PointerTarget(ReadLe32(*word, 0), file.Size());
    if (target < 0) return {};
    if (target == state.itemTableOffset) return {true, -1};
    const int items = state.ItemCount();
    auto records = file.ReadAt(target, std::int64_t{kItemRecordSize} * items);
    return {false, records && LooksLikeItemTable(*records, items) ? target : -1};
}

Result<bool> AnyWordNames(RomFile& file, std::int64_t offset)
{
    constexpr std::int64_t kChunk = 64 * 1024;
    const std::uint32_t wanted = static_cast<std::uint32_t>(offset) + kRomBase;
    const std::int64_t words = file.Size() / 4 * 4;
    for (std::int64_t at = 0; at < words; at += kChunk) {
        auto chunk = file.ReadAt(at, std::min(kChunk, words - at));
        if (!chunk) {
            return chunk.error();
        }
        for (std::size_t i = 0; i + 4 <= chunk->size(); i += 4) {
            if (ReadLe32(*chunk, i) == wanted) return true;
        }
    }
    return false;
}

bool IsPrintableHeaderCode(std::string_view headerCode)
{
    return headerCode.size() == 4 &&
           std::all_of(headerCode.begin(), headerCode.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

Status TakeTables(RomState& state, const GameFamily& family, const ProfileTables& tables, std::string_view where)
{
    struct Key {
        std::string_view name;
        std::int64_t value;
        std::int32_t* field;
        bool required;
    };
    const Key keys[] = {{"ItemData", tables.itemData, &state.itemTableOffset, true},
                        {"AttackNames", tables.attackNames, &state.moveNamesOffset, true},
                        {"TMData", tables.tmData, &state.tmMovesOffset, true},
                        {"IMGData", tables.imgData, &state.imageTableOffset, false}};
    state.tmMovesKnown = !tables.tmListUnknown;
    for (const Key& key : keys) {
        if (key.name == "IMGData" && !family.hasImages) continue;
        if (key.name == "TMData" && tables.tmListUnknown) {
            state.tmMovesOffset = 0;
            continue;
        }
        if (key.required && key.value == 0) {
            return MakePlacedError(ErrorCode::UnsupportedRom, "no " + std::string(key.name) + " in " + std::string(where),
                                   "no " + std::string(key.name));
        }
        if (key.value < 0 || key.value > kMaxOffset) {
            const std::string value = std::string(key.name) + " " + std::to_string(key.value);
            return WithFound(MakePlacedError(ErrorCode::BadOffset, value + " in " + std::string(where), value),
                             std::to_string(key.value));
        }
        *key.field = static_cast<std::int32_t>(key.value);
    }
    if (tables.itemCount && (*tables.itemCount < 1 || *tables.itemCount > kMaxItemCount)) {
        const std::string count = "ItemCount " + std::to_string(*tables.itemCount);
        const std::string range = " is not 1 to " + std::to_string(kMaxItemCount);
        return WithFound(MakePlacedError(ErrorCode::BadValue, count + " in " + std::string(where) + range, count + range),
                         std::to_string(*tables.itemCount));
    }
    state.itemCount = tables.itemCount ? static_cast<int>(*tables.itemCount) : family.itemCount;
    // Known only once the check at opening has seen the table's evidence there.
    state.itemEffectsKnown = false;
    state.itemEffectsOffset =
        tables.effectData > 0 && tables.effectData <= kMaxOffset ? static_cast<std::int32_t>(tables.effectData) : 0;
    state.itemEffectEntries = kItemEffectEntries;
    if (tables.effectEntries) {
        // A grown table holds an entry for every item from 13 on, never fewer than the released one.
        if (*tables.effectEntries < kItemEffectEntries || *tables.effectEntries > kMaxItemCount) {
            const std::string entries = "EffectEntries " + std::to_string(*tables.effectEntries);
            const std::string range = " is not " + std::to_string(kItemEffectEntries) + " to " + std::to_string(kMaxItemCount);
            return WithFound(MakePlacedError(ErrorCode::BadValue, entries + " in " + std::string(where) + range, entries + range),
                             std::to_string(*tables.effectEntries));
        }
        state.itemEffectEntries = static_cast<int>(*tables.effectEntries);
    }
    return {};
}

}  // namespace quillbox
