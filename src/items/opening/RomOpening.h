#pragma once

#include "items/opening/RomState.h"
#include "base/Error.h"
#include "rom/Profile.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillbox {

// The four bytes at 0xAC, one character per byte.
Result<std::string> ReadHeaderCode(const std::filesystem::path& rom);

// Identifies the game, reads its table offsets from the profile and lists every item and move.
// Refuses an unsupported game code or a profile without the three table offsets
// (UnsupportedRom), a file that cannot be opened or read, and a file too short for its tables.
Result<OpenedRom> OpenRom(const std::filesystem::path& rom, const std::filesystem::path& profile);

// How to open a ROM: the profiles to read (a user's over the shipped one), or tables found in
// the ROM itself to use instead of any section.
struct OpenOptions {
    ProfileFiles profiles;
    std::optional<ProfileTables> foundTables;
};

// Opening checks the offsets against the ROM's bytes before trusting them. Every section that
// may serve the ROM is tried in turn: the tables kept beside the ROM for it, then the profiles'
// sections (FindProfileSections). The first whose tables all pass is used; failing that, the
// first whose item table passes, its other failed tables shown but never written (an unknown
// TM/HM list not even shown). A section that fails never hides one that passes: what was passed
// over is said in `warnings`. When none opens, the first section's refusal is returned
// (TablesDisagree for an item table that is not one).
Result<OpenedRom> OpenRom(const std::filesystem::path& rom, const OpenOptions& options);

}  // namespace quillbox
