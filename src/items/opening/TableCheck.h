#pragma once

#include "items/opening/RomState.h"
#include "rom/GameFamily.h"
#include "rom/Profile.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

// The most items a table may be given: item positions are held in 16-bit signed numbers.
inline constexpr int kMaxItemCount = 0x7FFF;

// Whether bytes look like each kind of table, judged from the bytes alone.
// Items: nearly every record's `Index` is its position or 0 (record 0 and unused entries); at
// least half of them are their position, so that a run of zeros is no table. A few records that
// break the pattern are tolerated: the Index field is the user's to edit.
bool LooksLikeItemTable(std::span<const Byte> records, int count);
// Move names: nearly every 13-byte name starts with a character and ends within its 13 bytes.
bool LooksLikeMoveNames(std::span<const Byte> names, int count);
// The TM/HM list: every two-byte entry a move number and the list's own moves in place (see
// TmHmListEvidence); the many other tables of 58 move numbers fail.
bool LooksLikeTmMoves(std::span<const Byte> moves);

// What the check at opening found.
struct TableCheckReport {
    bool items = true;
    bool moveNames = true;
    bool tmMoves = true;
    bool images = true;
    std::vector<std::string> problems;  // one sentence per table that failed
    std::vector<std::string> problemKeys;  // the profile key of the table each problem is about
};

// Checks the tables the state names against what the ROM holds there, given the item records
// and move names already read from the state's offsets. Tables must already fit inside the file.
TableCheckReport CheckTables(RomFile& file, const RomState& state, const GameFamily& family,
                             std::span<const Byte> records, std::span<const Byte> moveNames);

// Checks the item-effect table `effectData` names (not 0): nothing when the place holds the
// real table's evidence, else one sentence saying what is there instead.
std::optional<std::string> CheckItemEffectTable(RomFile& file, std::int64_t effectData);

// What the game's own header at 0x100 (FireRed, LeafGreen, Emerald) says of the item table.
struct HeaderItemTable {
    bool namesState = false;  // it names `state`'s item table
    std::int64_t other = -1;  // another place holding the item pattern, or -1
};
HeaderItemTable ItemTableNamedByHeader(RomFile& file, const RomState& state);

// Whether any 4-byte aligned word of the ROM names `offset`, read in chunks and stopped at the
// first: the game's code reaches a table it reads through such words, mostly early in the file.
Result<bool> AnyWordNames(RomFile& file, std::int64_t offset);

// Whether the four characters are printable: anything else is no GBA header code.
bool IsPrintableHeaderCode(std::string_view headerCode);

// Takes a profile section's or found numbers into the state, refusing missing, out-of-range and
// absurd values with a message naming `where`.
Status TakeTables(RomState& state, const GameFamily& family, const ProfileTables& tables, std::string_view where);

}  // namespace quillbox
