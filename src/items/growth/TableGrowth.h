#pragma once

// The plan of growing the item table to a new count: a pure function of the ROM's bytes that
// says every write, so that one change (ApplyPatches) makes it and the history can take it back.

#include "items/growth/ItemCodeSites.h"

#include "base/Error.h"
#include "rom/FreeSpace.h"
#include "rom/GameFamily.h"
#include "rom/Patch.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

// 0xFFFF ends the games' item lists (and is Emerald's Cancel-row id): it is never an item id, so
// the last id is at most 0xFFFE.
inline constexpr int kLargestItemCount = 0xFFFF;

// Bytes to write at one offset, and why, as a person reading the plan would want it said.
struct GrowthWrite {
    std::int64_t offset = 0;
    Bytes bytes;
    std::string reason;
};

struct TableGrowthPlan {
    int oldCount = 0;
    int newCount = 0;
    // The new places, taken from the free space; 0 for a table the game does not have or that was
    // not given.
    std::int64_t itemTable = 0;
    std::int64_t iconTable = 0;
    std::int64_t effectTable = 0;
    std::vector<GrowthWrite> writes;

    // The writes as ApplyPatches takes them, in the same order.
    std::vector<Patch> Patches() const;
};

// Plans growing the item table of `rom` from tables.itemCount to `newCount` items.
//
// `tables` names where the tables lie now: the item table, the icon table (FireRed/LeafGreen and
// Emerald; 0 for Ruby/Sapphire) and the item-effect table (0 leaves it and its code alone), and
// the count, which must be the sanitiser's. Places are taken from `space` (as FindFreeSpace
// builds it for the open ROM), which is left as it was when the plan is refused.
//
// The plan: the item table written anew with newCount 44-byte records (the old ones copied, the
// new ones copies of item 0's, so an unfilled id still reads as the game's unknown item); every
// getter's word and the header word at 0x1C8 naming it; the sanitiser's bound newCount - 1, in
// its `movs; lsls #1` when that holds it (an even value up to 510), else the routine rewritten in
// its own bytes to compare against a word; the icon table anew with newCount + 1 entries (new ones
// item 0's, the Cancel-row arrow's entry moved to index newCount), its word repointed and every
// word holding the arrow's id or the bound changed together (Emerald's routine rewritten when
// `movs; lsls` cannot hold the bound); the item-effect table anew with 2^k entries, k the least
// with 2^k >= newCount - 13 (old entries copied, the rest null, so ids from newCount to
// 13 + 2^k - 1 read no effect, as every item without one does), its words repointed, and every
// check in front of it rewritten in its own ten bytes as `subs rX, #13; lsls rY, rX, #16;
// lsrs rY, rY, #(16 + k); nop; bne|beq`, its branch keeping its offset: only where the
// instructions after the check and at its branch's target are the released ones, which prove rY
// and the flags unread after it (FindEffectSites refuses any other). Nothing is placed near the
// code, so free space anywhere in the file serves. The old tables stay as they were.
//
// Refused, with nothing planned: newCount not above the count (BadValue) or above
// kLargestItemCount (BadValue); with the item-effect table, newCount above 13 + 2^15 (BadValue:
// a shift by at most 31 leaves k at most 15); a site differing from the released code
// (UnsupportedRom, naming the site, what was expected and found); too little free space
// (NoFreeSpace, naming the table). Leaving the item-effect table out (tables.effectTable = 0)
// leaves it and its code alone, the new ids without effects, as the released checks refuse every
// id above 178.
Result<TableGrowthPlan> PlanTableGrowth(std::span<const Byte> rom, const GameFamily& family, const ItemTables& tables,
                                        FreeSpace& space, int newCount);

}  // namespace quillbox
