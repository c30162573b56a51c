#pragma once

#include "items/effect/ItemEffectTable.h"
#include "items/opening/RomState.h"
#include "base/Error.h"
#include "rom/GameFamily.h"
#include "rom/Profile.h"
#include "rom/TableFinder.h"

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

// The tables found in a ROM's own bytes, for a ROM whose profile names none or the wrong ones.
struct DetectedTables {
    std::string headerCode;
    int versionByte = 0;
    const GameFamily* family = nullptr;
    FoundTables found;
    // Never needed to open the ROM: without it, item effects are unknown.
    FoundItemEffects effects;

    // The found offsets as profile numbers; ItemCount only where it differs from the family's.
    ProfileTables Tables() const;
    // "Key=&HOffset" lines of a profile section holding the found tables.
    std::vector<std::string> ProfileLines() const;
    // The section's name: the plain header code for a first release, else with the version byte.
    std::string SectionName() const { return SectionNameToKeep(headerCode, versionByte); }
};

// Reads the whole ROM and finds its tables. Refuses a file that cannot be read, one without a
// header of four printable characters (an all-0x00 or all-0xFF file among them) and a game
// that is none of the five.
Result<DetectedTables> DetectTables(const std::filesystem::path& rom);
Result<DetectedTables> DetectTables(std::span<const Byte> rom);

// Whether the found tables can be used: every table the family has was found and no two
// candidates had equal evidence (TableNotFound, TablesDisagree otherwise). The TM/HM list may
// be missing: its moves are then unknown, never guessed.
Status CheckDetectedTables(const DetectedTables& detected);

// A ready-to-paste profile section: the heading, the keys, and the evidence per table as
// comments. A table not found is a comment saying so, with its tied candidates if any.
std::string FormatDetectedSection(const DetectedTables& detected);

// Keeps the found tables beside the ROM (RomTablesPathOf), for that file alone, replacing what
// was kept for it before; written whole or not at all.
Status KeepFoundTables(const std::filesystem::path& rom, const DetectedTables& detected);

// Where the game reads its item table when that is not at `state`'s offset, or -1: the header at
// 0x100 naming another table, or no word in the ROM naming the state's table while the finder
// finds the one the game reads. Cheap where the game names the state's table early in the file.
std::int64_t ItemTableReadElsewhere(RomFile& file, const RomState& state);

// One line per table saying where it was found, for a question to the user.
std::string DescribeDetectedTables(const DetectedTables& detected);

}  // namespace quillbox
