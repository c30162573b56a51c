#pragma once

#include "items/exchange/ItemExport.h"
#include "items/record/ItemOperations.h"

#include <span>
#include <string_view>
#include <vector>

namespace quillbox {

// What an import would change: every differing field, and the bytes that change them.
struct ImportPlan {
    std::vector<ItemChange> changes;  // by row, then in column order
    std::vector<Patch> patches;       // one list, to be written all or nothing
    int itemsChanged = 0;
};

// Reads what `export` writes, in either format: all items or some, all columns or some, each row
// naming its item by `position`. Compares every value with the ROM and checks each that differs
// by the rules of a save (PlanSave and the repoint plans), so that the plan is refused whole,
// with the row and column named, when any value is: an unknown column, a missing, repeated or
// out-of-range position, a value out of range or of the wrong kind, a name or description that
// does not fit, a column shown only for reading (pocketName, tmMoveName, descriptionRoom) changed
// on its own, a name or description holding characters the game cannot show (unless
// `replaceUnknownCharacters` lets them be written as spaces), or two rows writing different
// bytes to one place. Reads the ROM; writes nothing.
Result<ImportPlan> PlanImport(const OpenedRom& rom, std::string_view file, ExportFormat format,
                              bool replaceUnknownCharacters = false);

// The same for rows already read from the file.
struct ImportRow;
Result<ImportPlan> PlanImportRows(const OpenedRom& rom, std::span<const ImportRow> rows, bool replaceUnknownCharacters = false);

// The format an import file is in, as its name says: ".csv" (either case) is CSV, anything else JSON.
ExportFormat ImportFormatOfFileName(std::string_view name);

// "3 changes to 2 items": how much a plan with changes would write.
std::string CountChanges(const ImportPlan& plan);

// Writes the plan's bytes in one all-or-nothing step, journaled as "Import of N items" (or of the
// one item's name); a plan without changes writes nothing and journals nothing.
Status ApplyImport(const OpenedRom& rom, const ImportPlan& plan);

}  // namespace quillbox
