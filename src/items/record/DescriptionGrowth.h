#pragma once

#include "items/record/ItemOperations.h"
#include "items/record/RomSpace.h"
#include "items/record/Sharing.h"

#include <span>
#include <vector>

namespace quillbox {

// What a save does with a description that does not fit its room or that other items share.
enum class DescriptionMove {
    None,      // written in place; refused when it does not fit, as always
    Relocate,  // in place when it fits; else moved to free space and every item sharing it repointed
    OwnCopy,   // moved to free space and only this item repointed; the others keep the old text
};

// What the caller needs to know before a description is saved, to decide or ask.
struct DescriptionNeeds {
    int bytes = 0;       // the encoded text with its end mark
    int roomBytes = 0;   // what its present place holds
    bool fits = false;
    std::vector<int> sharedWith;  // the other items whose pointer names the present place
};
DescriptionNeeds AssessDescription(TextView description, const DescriptionPlace& place, const ItemPointers& pointers,
                                   int position);

// Where the description goes and which pointers change with it.
struct DescriptionPlacement {
    DescriptionPlace place;      // the room the save writes into
    bool moved = false;
    std::vector<int> repointed;  // the items whose pointer names the new place
    std::vector<Patch> pointers;
};
// The old text is never erased: other code may still read it. Free space is taken from `space`.
Result<DescriptionPlacement> PlaceDescription(const RomState& state, int position, TextView description,
                                              const DescriptionPlace& place, DescriptionMove move,
                                              const ItemPointers& pointers, FreeSpace& space);

// A whole item save with its description placed as `move` says: every field, the text and the
// pointers, in one plan to be applied all or nothing.
struct ItemSavePlan {
    std::vector<Patch> patches;
    DescriptionPlacement description;
};
Result<ItemSavePlan> PlanItemSave(const RomState& state, int position, const ItemEdit& edit,
                                  const DescriptionPlace& place, DescriptionMove move,
                                  std::span<const ByteRange> extraTables = {});

}  // namespace quillbox
