#pragma once

#include "items/opening/RomState.h"
#include "base/Error.h"
#include "rom/FreeSpace.h"
#include "rom/PointerScan.h"

#include <span>
#include <vector>

namespace quillbox {

// The whole open ROM and the places its pointers name: what a plan that puts new data into the
// ROM, or asks who uses a place, looks at. Read once per operation.
struct RomImage {
    Bytes bytes;
    PointerTargets targets;
};

// Reads and scans the open ROM, refusing a file that changed on disk since it was opened.
Result<RomImage> ReadRomImage(const RomState& state);
RomImage ScanRomImage(Bytes bytes);

// The tables the open ROM's profile names, as byte ranges.
std::vector<ByteRange> KnownTables(const RomState& state);

// The free space of the open ROM, searched from the profile's FreeSpaceStart or else from just
// past the game's own data. `extraTables` adds tables known from elsewhere; new data never lands
// in one. A FreeSpaceStart past the end of the file is refused (PastEndOfFile).
Result<FreeSpace> FindFreeSpace(const RomState& state, const RomImage& rom, std::span<const ByteRange> extraTables = {});

}  // namespace quillbox
