#include "items/record/RomSpace.h"

#include "items/effect/ItemEffects.h"
#include "items/record/ItemOperations.h"
#include "base/HexText.h"


namespace quillbox {

namespace {

std::string HexOf(std::int64_t value) { return NumberToHex(static_cast<std::uint64_t>(value)); }

constexpr int kImageEntrySize = 8;
constexpr int kTmEntries = kLastTmItem - kFirstTmItem + 1;

}  // namespace

RomImage ScanRomImage(Bytes bytes)
{
    RomImage image;
    image.targets = ScanPointers(bytes);
    image.bytes = std::move(bytes);
    return image;
}

Result<RomImage> ReadRomImage(const RomState& state)
{
    auto file = OpenOpenedRom(state);
    if (!file) {
        return file.error();
    }
    auto bytes = file->ReadAt(0, file->Size());
    if (!bytes) {
        return bytes.error();
    }
    return ScanRomImage(std::move(*bytes));
}

std::vector<ByteRange> KnownTables(const RomState& state)
{
    const GameFamily* family = state.Family();
    if (family == nullptr) {
        return {};
    }
    const std::int64_t items = state.ItemCount();
    std::vector<ByteRange> tables{
        {state.itemTableOffset, state.itemTableOffset + kItemRecordSize * items},
        {state.moveNamesOffset, state.moveNamesOffset + std::int64_t{kMoveNameSize} * kMoveCount},
        {state.tmMovesOffset, state.tmMovesOffset + 2 * kTmEntries},
        {0, kHeaderCodeOffset + 0x14},
    };
    if (family->hasImages) {
        tables.push_back({state.imageTableOffset, state.imageTableOffset + kImageEntrySize * items});
    }
    if (state.itemEffectsKnown) {
        tables.push_back({state.itemEffectsOffset, state.itemEffectsOffset + 4 * std::int64_t{state.itemEffectEntries}});
    }
    return tables;
}

Result<FreeSpace> FindFreeSpace(const RomState& state, const RomImage& rom, std::span<const ByteRange> extraTables)
{
    const auto size = static_cast<std::int64_t>(rom.bytes.size());
    std::int64_t start = DefaultFreeSpaceStart(rom.bytes, rom.targets);
    if (state.freeSpaceStart >= 0) {
        if (state.freeSpaceStart >= size) {
            return MakeError(ErrorCode::PastEndOfFile, "FreeSpaceStart " + HexOf(state.freeSpaceStart) + " of section [" +
                                                           state.headerCode + "] lies past the end of the file (" +
                                                           HexOf(size) + " bytes)");
        }
        start = state.freeSpaceStart;
    }
    std::vector<ByteRange> tables = KnownTables(state);
    tables.insert(tables.end(), extraTables.begin(), extraTables.end());
    return FreeSpace::Build(rom.bytes, rom.targets, tables, start);
}

}  // namespace quillbox
