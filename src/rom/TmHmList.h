#pragma once

#include "rom/GameFamily.h"
#include "rom/RomFile.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace quillbox {

inline constexpr int kTmHmEntries = kLastTmItem - kFirstTmItem + 1;  // 50 TMs and 8 HMs
inline constexpr int kHmEntries = 8;

// The moves TM01 to TM50 and HM01 to HM08 teach in every release of the five games. Many
// tables of a ROM hold 58 move numbers; only the TM/HM list holds these, and hacks that change
// the TMs mostly keep the HMs, which the overworld needs.
inline constexpr std::array<std::uint16_t, kTmHmEntries> kReleasedTmHmMoves{
    264, 337, 352, 347, 46,  92,  258, 339, 331, 237, 241, 269, 58,  59,  63,  113, 182, 240, 202, 219,
    218, 76,  231, 85,  87,  89,  216, 91,  94,  247, 280, 104, 115, 351, 53,  188, 201, 126, 317, 332,
    259, 263, 290, 156, 213, 168, 211, 285, 289, 315, 15,  19,  57,  70,  148, 249, 127, 291};

// How much 58 two-byte entries look like the list the TM/HM items read.
struct TmHmListEvidence {
    int movesInRange = 0;     // entries that are a move number, 1 to 354
    int hmMatches = 0;        // of the last 8, those teaching the released HM move at that place
    int releasedMatches = 0;  // of all 58, those teaching the released move at that place
    bool distinct = false;    // no move twice

    // Nearly every entry a move, and the released HMs (two may have been changed) or most of the
    // released list in place: a table of battle-message ids, Pokédex numbers or sorted move
    // groups has neither.
    bool IsTmHmList() const;
    // "HM moves 8 of 8, as released 58 of 58", for evidence shown to the user.
    std::string Describe() const;
};

// Weighs the 58 entries from `offset`; nothing in range for an offset whose entries do not
// all lie inside the ROM.
TmHmListEvidence WeighTmHmList(std::span<const Byte> rom, std::int64_t offset);

// A quick look at the HM entries alone, for scanning every place of a ROM: false where the
// released HMs are not there, so WeighTmHmList need only weigh the rest.
bool MayBeTmHmList(std::span<const Byte> rom, std::int64_t offset);

// Whether code near any word naming `offset` holds the constant that turns an item number into
// a TM/HM list entry (the first TM item's number subtracted, as the game's code does it): the
// literal pool of the function that reads the list. Looks at the words within a few places of
// each of `namingWords` (file offsets of the words naming the list).
bool ReadAsTmHmList(std::span<const Byte> rom, std::span<const std::uint32_t> namingWords);

}  // namespace quillbox
