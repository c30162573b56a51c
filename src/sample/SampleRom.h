#pragma once

#include "rom/Error.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quillbox {

inline constexpr std::int64_t kSampleRomSize = 16 * 1024 * 1024;

// Where a sample keeps the tables its game reads.
struct SampleTables {
    std::int32_t itemData = 0;
    std::int32_t attackNames = 0;  // the name of move 1; the pointers name move name 0, 13 bytes before
    std::int32_t tmData = 0;
    std::int32_t imgData = 0;  // 0 for the games without item images
    int itemCount = 0;         // records in the item table; the image table holds one entry more
    // An unreferenced copy of the TM/HM list, as FireRed holds one; 0 for none.
    std::int32_t decoyTmData = 0;
};

struct SampleOptions {
    // The byte at 0xBC: 0 for every game's first release, 1 for the 1.1 revisions of FireRed,
    // LeafGreen, Ruby and Sapphire, 2 for Ruby and Sapphire 1.2. The tables move with it.
    int version = 0;
    // As a hack tool leaves a ROM: every table copied elsewhere, the item table (and the image
    // table with it) enlarged by kSampleHackExtraItems, every pointer updated, the old copies
    // left in place with nothing naming them.
    bool hack = false;
    // Tables placed here instead of where version and hack put them (for tests). The item count
    // must be at least the family's; imgData must be 0 exactly for the games without images.
    std::optional<SampleTables> tables;
    // 1 to 32 MiB, a multiple of 4.
    std::int64_t romSize = kSampleRomSize;
};

inline constexpr int kSampleHackExtraItems = 25;
// The words that name the tables, apart from the header at 0x100 (FireRed, LeafGreen and
// Emerald), where 0x148 names move name 0 and 0x1C8 the item table.
inline constexpr int kSampleItemTablePointers = 15;
inline constexpr int kSampleMoveNamePointers = 32;
inline constexpr int kSampleTmListPointers = 2;
inline constexpr int kSampleImageTablePointers = 1;

// The tables of one of the five known header codes as the shipped profile names them;
// BadValue for any other.
Result<SampleTables> SampleTablesFor(std::string_view headerCode);
// The tables a sample built with these options reads; BadValue for a header code, revision or
// placement the builder does not make. With `hack`, the old copies lie where the same options
// without `hack` put the tables.
Result<SampleTables> SampleTablesFor(std::string_view headerCode, const SampleOptions& options);

// An image of invented content laid out like the real games: unused item entries with `Index`
// 0, a code area whose words name each table several times, the header at 0x100 for FireRed,
// LeafGreen and Emerald, the decoy TM/HM list and the image table's entry past the last item.
// By default 16 MiB with the tables where the shipped profile expects them.
Result<Bytes> BuildSampleRom(std::string_view headerCode);
Result<Bytes> BuildSampleRom(std::string_view headerCode, const SampleOptions& options);
Status WriteSampleRom(const std::filesystem::path& path, std::string_view headerCode);
Status WriteSampleRom(const std::filesystem::path& path, std::string_view headerCode, const SampleOptions& options);

}  // namespace quillbox
