#pragma once

#include "base/Error.h"
#include "rom/RomFile.h"

#include <array>
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
    // The item-effect table, its records just before it as the games keep them; 0 for none (a
    // layout given in the options may leave it out).
    std::int32_t effectData = 0;
};

// The code site a hack's own patch changed: the sanitiser's bound shifted by 2, the FireRed or
// Emerald icon routine's `bls` made a `bcc`, the first item-effect check's bound 0xB0; the last
// check's following `lsls r0, r4, #2` made `lsls r0, r0, #2`, or its refused way's `movs r0, #1`
// made `adds r0, #1`, each reading the register the check compared.
enum class SampleAlteredSite { None, Sanitizer, IconRoutine, EffectCheck, EffectCheckFollower, EffectCheckTarget };

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
    std::optional<SampleTables> tables = std::nullopt;
    // 1 to 32 MiB, a multiple of 4.
    std::int64_t romSize = kSampleRomSize;
    // The sanitiser compares against the count as a 32-bit word, as a hack that enlarged the table
    // leaves it (the `hack` layout always does).
    bool wordSanitizer = false;
    // One code site patched by a hack of its own, differing from the released code.
    SampleAlteredSite altered = SampleAlteredSite::None;
};

inline constexpr int kSampleHackExtraItems = 25;
// The words that name the tables, apart from the header at 0x100 (FireRed, LeafGreen and
// Emerald), where 0x148 names move name 0 and 0x1C8 the item table. The item table's are its
// getters', 14 (15 in Ruby and Sapphire); the image table's the icon routine's.
int SampleItemTablePointers(std::string_view headerCode);
inline constexpr int kSampleMoveNamePointers = 32;
inline constexpr int kSampleTmListPointers = 2;
inline constexpr int kSampleImageTablePointers = 1;
// Words naming the item-effect table: those the released code loads (8 in FireRed and LeafGreen,
// 7 in the others), one of them in kSampleEffectCode's reader, and two no code loads; and words
// naming its copy, which no code reads and more words name.
int SampleEffectTablePointers(std::string_view headerCode);
inline constexpr int kSampleEffectCopyPointers = 12;
// Where the item-effect code and the look-alike pointer tables lie, for tests that change them.
inline constexpr std::int64_t kSampleEffectCode = 0x028000;
inline constexpr std::int64_t kSampleEffectCopy = 0x028400;
// The look-alikes: a table whose POTION heals but whose other records run past the end of the
// file, one whose POTION does not heal, and a longer table of healing records.
inline constexpr std::array<std::int64_t, 3> kSampleEffectLookAlikes{0x028800, 0x028C00, 0x029000};

// The tables of one of the five known header codes as the shipped profile names them;
// BadValue for any other.
Result<SampleTables> SampleTablesFor(std::string_view headerCode);
// The tables a sample built with these options reads; BadValue for a header code, revision or
// placement the builder does not make. With `hack`, the old copies lie where the same options
// without `hack` put the tables.
Result<SampleTables> SampleTablesFor(std::string_view headerCode, const SampleOptions& options);

// An image of invented content laid out like the real games: unused item entries with `Index`
// 0, a code area whose words name each table several times, the header at 0x100 for FireRed,
// LeafGreen and Emerald, the decoy TM/HM list and the image table's entry past the last item,
// the item-effect table with records like the released games' (two of them shared by two items,
// as hacks do) and pointer tables that look like it.
// By default 16 MiB with the tables where the shipped profile expects them.
Result<Bytes> BuildSampleRom(std::string_view headerCode);
Result<Bytes> BuildSampleRom(std::string_view headerCode, const SampleOptions& options);
Status WriteSampleRom(const std::filesystem::path& path, std::string_view headerCode);
Status WriteSampleRom(const std::filesystem::path& path, std::string_view headerCode, const SampleOptions& options);

}  // namespace quillbox
