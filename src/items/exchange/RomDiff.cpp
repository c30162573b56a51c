#include "items/exchange/RomDiff.h"

#include "items/effect/ItemEffects.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"

namespace quillbox {

Result<std::vector<ItemChange>> DiffItems(const OpenedRom& first, const OpenedRom& second)
{
    if (first.family != second.family) {
        return MakeError(ErrorCode::UnsupportedRom, "the ROMs hold different games (" + first.state.gameCode + " and " +
                                                        second.state.gameCode + ")");
    }
    auto a = ReadItemTable(first.state);
    if (!a) return a.error();
    auto b = ReadItemTable(second.state);
    if (!b) return b.error();
    const RoutineGroups firstRoutines = RoutineGroups::Of(*a);
    const RoutineGroups secondRoutines = RoutineGroups::Of(*b);
    auto firstEffects = ReadItemEffects(first.state);
    if (!firstEffects) return firstEffects.error();
    auto secondEffects = ReadItemEffects(second.state);
    if (!secondEffects) return secondEffects.error();
    const auto keys = ItemExportKeys();
    std::vector<ItemChange> changes;
    for (std::size_t position = 0; position < a->size() && position < b->size(); ++position) {
        const auto before = ItemExportValues(first, (*a)[position], firstRoutines, &(*firstEffects)[position]);
        const auto after = ItemExportValues(second, (*b)[position], secondRoutines, &(*secondEffects)[position]);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (before[k] != after[k]) changes.push_back({static_cast<int>(position), keys[k], before[k], after[k]});
        }
    }
    return changes;
}

}  // namespace quillbox
