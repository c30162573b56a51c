#pragma once

#include "items/effect/ItemEffect.h"
#include "items/effect/ItemEffectTable.h"
#include "items/record/ItemOperations.h"
#include "items/opening/RomState.h"
#include "rom/FreeSpace.h"
#include "rom/Patch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillbox {

// The item-effect table's entries (kFirstEffectItem and the count come from ItemEffectTable.h,
// which the table finder shares).
inline constexpr int kEffectEntries = kItemEffectEntries;

// What an item does when used, as the open ROM holds it.
struct ItemEffectView {
    // Why the effect cannot be shown or changed ("this ROM's item-effect table is unknown", "only
    // items 13 to 175 have an effect entry"); empty when it can.
    std::string unavailable;
    std::int64_t entryOffset = -1;   // the table entry of the item
    std::int64_t recordOffset = -1;  // the record it names; -1 when the entry is 0 (no effect)
    ItemEffect effect;
    int length = 0;                  // bytes of the record
    std::vector<int> sharedWith;     // other items whose entries name the same record, ascending
    std::string words;               // ItemEffectSummary, or what stands in its place

    bool Available() const { return unavailable.empty(); }
};

Result<ItemEffectView> ReadItemEffect(const RomState& state, int position);
// The same from the ROM opened with OpenOpenedRom.
Result<ItemEffectView> ReadItemEffect(const RomState& state, RomFile& file, int position);

// Every item's effect, read with one read of the table (positions outside it are unavailable).
Result<std::vector<ItemEffectView>> ReadItemEffects(const RomState& state);

// The bytes that make `effect` the item's effect. A record of the same length that no other
// entry names is changed in place, only the bytes that differ; otherwise the new record goes
// into free space and only this item's entry is pointed at it, so a record other items share is
// never changed under them. Refuses an item without an entry, an unknown table, a value the
// record cannot hold (naming the field) and a ROM without room.
struct EffectPlan {
    std::vector<Patch> patches;
    bool moved = false;             // the record was written to a new place
    std::int64_t recordOffset = -1; // where the item's record is after the change
};
// `space`, when given, is the free space several plans share, so that their records land apart.
Result<EffectPlan> PlanEffectSave(const RomState& state, int position, const ItemEffect& effect, FreeSpace* space = nullptr);

// Plans and writes it, recorded in the history as "Change Effect of NAME".
Status SaveItemEffect(const RomState& state, int position, const ItemEffect& effect);

}  // namespace quillbox
