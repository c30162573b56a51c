#pragma once

#include "rom/Error.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <span>

namespace quillbox {

// Bytes to be written at one offset of the ROM file.
struct Patch {
    std::int64_t offset = 0;
    Bytes bytes;
};

// Checks that every patch lies wholly inside the file before anything is written.
Status CheckPatches(const RomFile& file, std::span<const Patch> patches);

// Writes every patch and flushes, or changes nothing: the bytes under each patch are read first,
// and if a write or the flush fails, what was already written is put back.
Status ApplyPatches(RomFile& file, std::span<const Patch> patches);

}  // namespace quillbox
