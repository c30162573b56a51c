#pragma once

#include "rom/GameFamily.h"
#include "rom/PointerScan.h"
#include "rom/RomFile.h"
#include "rom/TmHmList.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

inline constexpr int kTmMoveCount = kTmHmEntries;
inline constexpr int kImageTableEntrySize = 8;  // image pointer, palette pointer
// Move 0 has a name slot too; the game's pointers name that slot, one before move 1's.
inline constexpr int kMoveNameSlots = kMoveCount + 1;
// The header for outside programs in FireRed, LeafGreen and Emerald: the words that name move
// name 0 and the item table.
inline constexpr std::int64_t kHeaderMoveNamesWord = 0x148;
inline constexpr std::int64_t kHeaderItemTableWord = 0x1C8;

// What the ROM says about one table.
struct TableEvidence {
    std::int64_t offset = -1;        // file offset of the table; -1 when not found
    std::uint32_t pointerCount = 0;  // aligned words naming the place the game reads (header included)
    bool namedByHeader = false;      // the header at 0x100 names it
    int matchingRecords = 0;         // records, slots or entries in a row that fit the table's pattern
    int candidates = 0;              // places the game's pointers name that fit the pattern
    // When the best candidates have equal evidence, all of them, ascending; offset then stays -1.
    std::vector<std::int64_t> tied;

    bool Found() const { return offset >= 0; }
};

// The tables the game reads, found from the ROM's bytes alone. Offsets mean what the profile
// keys mean: `items` is `ItemData`, `moveNames` is `AttackNames` (the name of move 1),
// `tmMoves` is `TMData`, `images` is `IMGData`.
struct FoundTables {
    TableEvidence items;
    int itemCount = 0;  // records of the found item table; 0 when not found
    // The pointers name move name 0, 13 bytes before `offset`; pointerCount and namedByHeader
    // are about that place, matchingRecords counts name slots from move 0 on.
    TableEvidence moveNames;
    // candidates counts the places holding the TM/HM list's own moves; tied lists them when
    // more than one does and no code tells which the game reads.
    TableEvidence tmMoves;
    TmHmListEvidence tmList;          // of the chosen list
    bool tmListReadByCode = false;    // the code that reads TM/HM moves names the chosen list
    int tmLookAlikes = 0;             // places the pointers name holding 58 move numbers
    // matchingRecords counts entries, one more than there are items in the real games.
    TableEvidence images;
    bool imagesSearched = false;  // false for the games without item images
    // One sentence each, for the user: equal candidates, a header naming another table, ...
    std::vector<std::string> problems;

    bool AllFound() const
    {
        return items.Found() && moveNames.Found() && tmMoves.Found() && (!imagesSearched || images.Found());
    }
    // What a ROM needs to be opened: the TM/HM list may stay unknown, its moves then unavailable.
    bool UsableFound() const { return items.Found() && moveNames.Found() && (!imagesSearched || images.Found()); }
};

// Finds the item table, the move names, the TM/HM list and (for the games with item images, or
// any ROM when `family` is null) the item image table. Candidates are only the places the
// ROM's aligned words name, so a copy nothing points at is never chosen; among the candidates
// that fit a table's pattern the one most words name wins, the header at 0x100 breaking ties.
// Candidates still equal are all reported and none is chosen. The TM/HM list is never chosen
// by pointers: many tables of 58 move numbers are named more often than it is, so only a place
// holding the list's own moves is a candidate, and of several only the one the TM code reads.
// Nothing here depends on the game's language. `family` sets the least number of items an item table must hold; without it
// the smallest family's count is used.
FoundTables FindTables(std::span<const Byte> rom, const PointerTargets& pointers, const GameFamily* family);
// The same, showing each 4-aligned named place and the number of words naming it to
// `alsoLookAt` in the same pass, while its bytes are at hand: a table sought elsewhere costs no
// second trip through hundreds of thousands of places all over the ROM.
using NamedPlaceLook = std::function<void(std::int64_t offset, std::uint32_t count)>;
FoundTables FindTables(std::span<const Byte> rom, const PointerTargets& pointers, const GameFamily* family,
                       const NamedPlaceLook& alsoLookAt);
// The same with the ROM's pointers scanned here.
FoundTables FindTables(std::span<const Byte> rom, const GameFamily* family);

// The byte-level patterns, for checking offsets that come from elsewhere (a profile). Each
// counts from `offset` how many records in a row fit, at most `limit`; 0 for an offset outside
// the ROM.
//
// Item records: a name of game text ending in 0xFF within its 14 bytes, the description
// pointer naming a place in the ROM, and an `Index` equal to the record's position or 0 (an
// unused entry); record 0 must have `Index` 0. `matchingRecords` of an item table is its count.
int CountItemRecords(std::span<const Byte> rom, std::int64_t offset, int limit);
// Name slots of 13 bytes, each a name of at least one character ending in 0xFF. `offset` is
// the slot to start at (move name 0 for the game's table).
int CountNameSlots(std::span<const Byte> rom, std::int64_t offset, int limit);
// Two-byte little-endian move numbers from 1 to 354 (the pattern alone, which look-alikes share).
int CountMoveNumbers(std::span<const Byte> rom, std::int64_t offset, int limit);
// Pairs of pointers, each naming an LZ77 stream (first byte 0x10, a length of 1..32 KiB) in the ROM.
int CountImageEntries(std::span<const Byte> rom, std::int64_t offset, int limit);

}  // namespace quillbox
