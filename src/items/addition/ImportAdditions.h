#pragma once

#include "items/addition/ItemAddition.h"
#include "items/exchange/ItemImport.h"
#include "rom/Profile.h"

#include <optional>
#include <string_view>

namespace quillbox {

// An import whose rows name items past the last one: those items are added first, as copies of
// item 0 past the last item (the tables grown), and every row is then planned against the ROM as
// the addition leaves it. One change of the history, all or nothing.
struct ImportAddingPlan {
    ImportPlan import;
    std::optional<ItemAdditionPlan> addition;  // none where every row names an item the ROM has
    std::vector<Patch> patches;                // the addition's, then the import's
};

// Plans it, writing nothing to the ROM (a copy of it in the folder for temporary files is grown
// to plan the rows against). Without rows past the last item, the plan is PlanImport's. Rows
// must then name every new position from the last item on, with none left out.
Result<ImportAddingPlan> PlanImportAdding(const OpenedRom& rom, const ProfileFiles& profiles, std::string_view file,
                                          ExportFormat format, bool replaceUnknownCharacters = false);

// An import that adds nothing, as the same kind of plan.
Result<ImportAddingPlan> ImportWithoutAdding(Result<ImportPlan> import);

// Writes it as one change: "Import Adding Items of N items" where items were added, as
// ApplyImport names it otherwise.
Status ApplyImportAdding(const OpenedRom& rom, const ImportAddingPlan& plan);

}  // namespace quillbox
