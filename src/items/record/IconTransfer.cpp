#include "items/record/IconTransfer.h"

#include "image/Lz77.h"
#include "items/record/ItemOperations.h"

namespace quillbox {

namespace {

constexpr int kImageEntrySize = 8;

Bytes PointerBytes(std::int64_t offset)
{
    const auto pointer = static_cast<std::uint32_t>(offset) + kRomBase;
    return {static_cast<Byte>(pointer), static_cast<Byte>(pointer >> 8), static_cast<Byte>(pointer >> 16),
            static_cast<Byte>(pointer >> 24)};
}

std::int64_t WordAligned(std::int64_t size) { return (size + 3) & ~std::int64_t{3}; }

Status CheckItemWithIcon(const RomState& state, int position)
{
    const GameFamily* family = state.Family();
    if (family == nullptr) {
        return MakeError(ErrorCode::UnsupportedRom);
    }
    if (position < 0 || position >= state.ItemCount()) {
        return MakeError(ErrorCode::NoSuchItem, "position " + std::to_string(position) + " of " +
                                                     std::to_string(state.ItemCount()));
    }
    if (!family->hasImages) {
        return MakeError(ErrorCode::NoImages);
    }
    // An image table that failed the check when the ROM was opened is shown but never written.
    if (!state.imagesWritable) {
        return MakeError(ErrorCode::TablesDisagree, "IMGData " + NumberToHex(static_cast<std::uint32_t>(state.imageTableOffset)) +
                                                        " holds no item image table; nothing is written there");
    }
    return {};
}

}  // namespace

Result<IconImportPlan> PlanIconImport(const RomState& state, int position, const IndexedIcon& icon,
                                      const RomImage& rom, std::span<const ByteRange> extraTables)
{
    if (auto valid = CheckItemWithIcon(state, position); !valid) {
        return valid.error();
    }
    const Bytes tiles = CompressLz77(IconTileBytes(icon));
    const Bytes palette = CompressLz77(IconPaletteBytes(icon));
    auto space = FindFreeSpace(state, rom, extraTables);
    if (!space) {
        return space.error();
    }
    IconImportPlan plan;
    plan.size = WordAligned(static_cast<std::int64_t>(tiles.size())) + static_cast<std::int64_t>(palette.size());
    auto place = space->Take(plan.size);
    if (!place) {
        return place.error();
    }
    plan.imageOffset = *place;
    plan.paletteOffset = *place + WordAligned(static_cast<std::int64_t>(tiles.size()));
    Bytes block(static_cast<std::size_t>(plan.size), 0);
    std::copy(tiles.begin(), tiles.end(), block.begin());
    std::copy(palette.begin(), palette.end(), block.begin() + static_cast<std::ptrdiff_t>(plan.paletteOffset - plan.imageOffset));
    const std::int64_t entry = static_cast<std::int64_t>(state.imageTableOffset) + std::int64_t{kImageEntrySize} * position;
    plan.patches = {{plan.imageOffset, std::move(block)},
                    {entry, PointerBytes(plan.imageOffset)},
                    {entry + 4, PointerBytes(plan.paletteOffset)}};
    return plan;
}

Result<IconImportPlan> PlanIconImport(const RomState& state, int position, const std::filesystem::path& png,
                                      std::span<const ByteRange> extraTables)
{
    if (auto valid = CheckItemWithIcon(state, position); !valid) {
        return valid.error();
    }
    auto picture = ReadPng(png);
    if (!picture) {
        return picture.error();
    }
    auto icon = QuantiseIcon(*picture);
    if (!icon) {
        return icon.error();
    }
    auto rom = ReadRomImage(state);
    if (!rom) {
        return rom.error();
    }
    return PlanIconImport(state, position, *icon, *rom, extraTables);
}

Status ExportItemIcon(const RomState& state, int position, const std::filesystem::path& png)
{
    auto offsets = ReadImageOffsets(state, position);
    if (!offsets) {
        return offsets.error();
    }
    auto icon = ReadItemIcon(state, static_cast<std::int64_t>(std::stoll(offsets->imageOffsetText, nullptr, 16)),
                             static_cast<std::int64_t>(std::stoll(offsets->paletteOffsetText, nullptr, 16)));
    if (!icon) {
        return icon.error();
    }
    return WritePng(png, kIconSize, kIconSize, icon->argb);
}

}  // namespace quillbox
