#include "items/record/DescriptionGrowth.h"

#include <algorithm>

namespace quillbox {

namespace {

Bytes PointerBytes(std::int64_t offset)
{
    const auto pointer = static_cast<std::uint32_t>(offset) + kRomBase;
    return {static_cast<Byte>(pointer), static_cast<Byte>(pointer >> 8), static_cast<Byte>(pointer >> 16),
            static_cast<Byte>(pointer >> 24)};
}

}  // namespace

DescriptionNeeds AssessDescription(TextView description, const DescriptionPlace& place, const ItemPointers& pointers,
                                   int position)
{
    DescriptionNeeds needs;
    needs.bytes = static_cast<int>(EncodeDescription(description).size());
    needs.roomBytes = place.offset >= 0 ? std::max(place.roomBytes, 0) : 0;
    needs.fits = place.offset >= 0 && needs.bytes <= needs.roomBytes;
    needs.sharedWith = pointers.DescriptionUsers(place.offset, position);
    return needs;
}

Result<DescriptionPlacement> PlaceDescription(const RomState& state, int position, TextView description,
                                              const DescriptionPlace& place, DescriptionMove move,
                                              const ItemPointers& pointers, FreeSpace& space)
{
    const DescriptionNeeds needs = AssessDescription(description, place, pointers, position);
    DescriptionPlacement placement;
    placement.place = place;
    if (move == DescriptionMove::None || (move == DescriptionMove::Relocate && needs.fits)) {
        return placement;
    }
    auto offset = space.Take(needs.bytes);
    if (!offset) {
        return offset.error();
    }
    placement.moved = true;
    placement.place = DescriptionPlace{*offset, needs.bytes};
    placement.repointed = {position};
    if (move == DescriptionMove::Relocate) {
        placement.repointed.insert(placement.repointed.end(), needs.sharedWith.begin(), needs.sharedWith.end());
        std::sort(placement.repointed.begin(), placement.repointed.end());
    }
    for (int item : placement.repointed) {
        placement.pointers.push_back({static_cast<std::int64_t>(state.itemTableOffset) +
                                          std::int64_t{kItemRecordSize} * item + ItemField::DescPointer,
                                      PointerBytes(*offset)});
    }
    return placement;
}

Result<ItemSavePlan> PlanItemSave(const RomState& state, int position, const ItemEdit& edit,
                                  const DescriptionPlace& place, DescriptionMove move,
                                  std::span<const ByteRange> extraTables)
{
    ItemSavePlan plan;
    plan.description.place = place;
    if (edit.description && move != DescriptionMove::None) {
        // Refused before free space is looked for: the refusal is about the text, not its room.
        if (auto known = CheckUnknownCharacters(edit); !known) {
            return known.error();
        }
        auto rom = ReadRomImage(state);
        if (!rom) {
            return rom.error();
        }
        auto space = FindFreeSpace(state, *rom, extraTables);
        if (!space) {
            return space.error();
        }
        auto placed = PlaceDescription(state, position, *edit.description, place, move,
                                       ItemPointersFromRom(state, rom->bytes), *space);
        if (!placed) {
            return placed.error();
        }
        plan.description = std::move(*placed);
    }
    auto patches = PlanSave(state, position, edit, plan.description.place);
    if (!patches) {
        return patches.error();
    }
    plan.patches = std::move(*patches);
    plan.patches.insert(plan.patches.end(), plan.description.pointers.begin(), plan.description.pointers.end());
    return plan;
}

}  // namespace quillbox
