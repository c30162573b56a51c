#pragma once

#include "image/IconImport.h"
#include "items/record/RomSpace.h"
#include "items/opening/RomState.h"
#include "rom/Patch.h"

#include <filesystem>
#include <span>
#include <vector>

namespace quillbox {

// An icon put into free space: the compressed tiles, then the compressed palette, each on a word
// boundary, and the item's two pointers aimed at them. Nothing that was there is overwritten,
// so icon data other items share stays as it was.
struct IconImportPlan {
    std::int64_t imageOffset = 0;
    std::int64_t paletteOffset = 0;
    std::int64_t size = 0;  // bytes taken from free space, from imageOffset on
    std::vector<Patch> patches;
};

// Refuses a game without icons (NoImages) and a ROM without room (NoFreeSpace).
Result<IconImportPlan> PlanIconImport(const RomState& state, int position, const IndexedIcon& icon,
                                      const RomImage& rom, std::span<const ByteRange> extraTables = {});
// Reads the PNG and the open ROM, then plans as above; a PNG the icon rules refuse is refused
// with BadImageFile before the ROM is looked at.
Result<IconImportPlan> PlanIconImport(const RomState& state, int position, const std::filesystem::path& png,
                                      std::span<const ByteRange> extraTables = {});

// The item's icon as a 24 by 24 PNG, colour index 0 transparent.
Status ExportItemIcon(const RomState& state, int position, const std::filesystem::path& png);

}  // namespace quillbox
