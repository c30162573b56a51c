#include "items/exchange/ItemImport.h"

#include "items/effect/ItemEffects.h"
#include "items/exchange/ImportRows.h"
#include "items/record/ItemFields.h"
#include "items/record/RomSpace.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"
#include "base/HexText.h"
#include "text/GameText.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace quillbox {

namespace {


std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

Error Refuse(std::string detail) { return ImportRefusal(std::move(detail)); }

// Names the row and the column in every refusal of one row's values.
class RowReader {
public:
    RowReader(const ImportRow& row, int position) : where_("row " + std::to_string(row.number) + " (position " + std::to_string(position) + ")") {}

    Error Refusal(std::string_view column, const std::string& detail) const
    {
        return Refuse(where_ + ", column " + std::string(column) + ": " + detail);
    }
    Error Wrap(std::string_view column, const Error& error) const
    {
        Error wrapped = error;
        wrapped.message = where_ + ", column " + std::string(column) + ": " + error.message;
        if (wrapped.field.empty()) wrapped.field = std::string(column);
        return wrapped;
    }

private:
    std::string where_;
};

std::uint64_t HexValue(const ExportValue& value) { return HexToNumber(std::get<std::string>(value)); }

// A patch with the row and column it came from, to name both when two rows collide.
struct Write {
    Patch patch;
    int row = 0;
    int position = 0;
    std::string_view column;
};

// Two rows may write the same bytes (two items sharing a description, given the same text), but
// never different bytes to one place: which would win is not the file's to decide.
Status CheckCollisions(const std::vector<Write>& writes)
{
    std::vector<std::size_t> order(writes.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t i, std::size_t j) { return writes[i].patch.offset < writes[j].patch.offset; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Write& first = writes[order[i]];
        const Patch& a = first.patch;
        const std::int64_t end = a.offset + static_cast<std::int64_t>(a.bytes.size());
        for (std::size_t j = i + 1; j < order.size() && writes[order[j]].patch.offset < end; ++j) {
            const Write& second = writes[order[j]];
            const Patch& b = second.patch;
            if (first.row == second.row) continue;
            const std::int64_t overlapEnd = std::min(end, b.offset + static_cast<std::int64_t>(b.bytes.size()));
            for (std::int64_t at = b.offset; at < overlapEnd; ++at) {
                if (a.bytes[static_cast<std::size_t>(at - a.offset)] == b.bytes[static_cast<std::size_t>(at - b.offset)]) continue;
                return Refuse("row " + std::to_string(first.row) + " (position " + std::to_string(first.position) + ", column " +
                              std::string(first.column) + ") and row " + std::to_string(second.row) + " (position " +
                              std::to_string(second.position) + ", column " + std::string(second.column) +
                              ") write different bytes at " + NumberToHex(static_cast<std::uint64_t>(at)));
            }
        }
    }
    return {};
}

std::size_t Column(std::string_view key) { return *ExportColumnOf(key); }

bool IsHexColumn(ColumnKind kind)
{
    return kind == ColumnKind::CodePointer || kind == ColumnKind::DescriptionOffset || kind == ColumnKind::IconOffset;
}

// Plans one row: the changes it makes and the bytes that make them.
Status PlanRow(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines, const ItemEffectView& effect,
               std::optional<FreeSpace>& space, const ImportRow& row, bool replaceUnknownCharacters, ImportPlan& plan,
               std::vector<Write>& writes)
{
    const int position = item.position;
    const RowReader reader(row, position);
    const auto current = ItemExportValues(rom, item, routines, &effect);
    const auto keys = ItemExportKeys();
    const std::size_t kColumns = keys.size();
    std::vector<std::optional<ExportValue>> given(kColumns);
    const std::size_t kDescription = Column("description");
    const std::size_t kDescriptionOffset = Column("descriptionOffset");
    const std::size_t kImageOffset = Column("imageOffset");
    const std::size_t kPaletteOffset = Column("paletteOffset");

    const ColumnSource columnSource{rom, item, routines, &effect};
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!row.cells[k]) continue;
        auto value = ParseColumn(ItemColumns()[k], columnSource, *row.cells[k]);
        if (!value) return reader.Refusal(keys[k], value.error().message);
        given[k] = std::move(*value);
    }

    // Which values differ from the ROM; hexadecimal ones by their value, not their spelling.
    std::vector<bool> changed(kColumns);
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!given[k]) continue;
        const bool bothText = std::holds_alternative<std::string>(*given[k]) && std::holds_alternative<std::string>(current[k]);
        changed[k] = IsHexColumn(ItemColumns()[k].kind) && bothText ? HexValue(*given[k]) != HexValue(current[k]) : *given[k] != current[k];
    }

    // The columns shown for reading follow from others; they may differ only where those change.
    for (std::size_t k = 1; k < kColumns; ++k) {
        const auto source = ColumnShownFrom(keys[k]);
        if (!source) continue;
        bool sourceChanged = false;
        if (*source == "effect.") {
            for (std::size_t j = 0; j < kColumns; ++j) {
                sourceChanged = sourceChanged || (changed[j] && ItemColumns()[j].kind == ColumnKind::EffectMember);
            }
        } else {
            sourceChanged = changed[Column(*source)] || (k == Column("descriptionRoom") && changed[kDescriptionOffset]);
            // A coded field's name also follows from the fields that say how it is read (the
            // pocket for the type, the routine for byte 40).
            for (std::size_t j = 0; j < kColumns && ItemColumns()[k].field != nullptr && !sourceChanged; ++j) {
                const ColumnKind kind = ItemColumns()[j].kind;
                sourceChanged = changed[j] && (kind == ColumnKind::Number || kind == ColumnKind::CodePointer);
            }
        }
        if (changed[k] && !sourceChanged) {
            const std::string instead = *source == "effect." ? "the effect.* columns" : std::string(*source);
            return reader.Refusal(keys[k], "is shown for reading only; change " + instead + " instead");
        }
        changed[k] = false;
    }

    auto add = [&](std::string_view column, std::vector<Patch> patches) {
        for (Patch& patch : patches) writes.push_back({std::move(patch), row.number, position, column});
    };
    auto save = [&](std::size_t k, ItemEdit edit, const DescriptionPlace& place) -> Status {
        edit.replaceUnknownCharacters = replaceUnknownCharacters;
        auto patches = PlanSave(rom.state, position, edit, place);
        if (!patches) return reader.Wrap(keys[k], patches.error());
        add(keys[k], std::move(*patches));
        return {};
    };
    const DescriptionPlace here{item.descriptionOffset, item.descriptionRoomBytes};
    auto number = [&](std::size_t k) { return std::get<std::int64_t>(*given[k]); };

    // The record's fields and the move, each saved by itself so that a refusal names its column.
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!changed[k]) continue;
        const ItemColumn& column = ItemColumns()[k];
        ItemEdit edit;
        switch (column.kind) {
        case ColumnKind::Name: edit.name = FromUtf8(std::get<std::string>(*given[k])); break;
        case ColumnKind::TmMove: edit.tmMove = static_cast<std::uint16_t>(number(k)); break;
        case ColumnKind::CodePointer: column.field->writeText(edit, std::get<std::string>(*given[k])); break;
        case ColumnKind::Number: column.field->write(edit, static_cast<std::uint32_t>(number(k))); break;
        default: continue;
        }
        if (auto saved = save(k, edit, here); !saved) return saved;
    }

    // A new description offset repoints first; the description is then compared with, and
    // written over, what lies at the new place.
    DescriptionPlace place = here;
    ExportValue placeText = current[kDescription];
    if (changed[kDescriptionOffset]) {
        auto repoint = PlanDescriptionRepoint(rom.state, position, std::get<std::string>(*given[kDescriptionOffset]));
        if (!repoint) return reader.Wrap("descriptionOffset", repoint.error());
        place = {repoint->repoint.offset, repoint->repoint.roomBytes};
        placeText = ToUtf8(ReplaceAll(repoint->repoint.description, kWindowsLineBreak, U"\n"));
        add("descriptionOffset", {std::move(repoint->pointer)});
    }
    if (given[kDescription] && *given[kDescription] != placeText) {
        changed[kDescription] = true;
        ItemEdit edit;
        edit.description = FromUtf8(std::get<std::string>(*given[kDescription]));
        if (auto saved = save(kDescription, edit, place); !saved) return saved;
    } else {
        changed[kDescription] = false;
    }

    if (changed[kImageOffset] || changed[kPaletteOffset]) {
        const std::size_t k = changed[kImageOffset] ? kImageOffset : kPaletteOffset;
        auto text = [&](std::size_t column) -> std::string {
            const ExportValue& value = given[column] ? *given[column] : current[column];
            if (const auto* string = std::get_if<std::string>(&value)) return *string;
            return {};
        };
        auto patches = PlanImageRepoint(rom.state, position, text(kImageOffset), text(kPaletteOffset));
        if (!patches) return reader.Wrap(keys[k], patches.error());
        add(keys[k], std::move(*patches));
    }

    // The effect's members make one new record, written where the effect plan says.
    ItemEffect newEffect = effect.effect;
    std::string_view effectColumn;
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!changed[k] || ItemColumns()[k].kind != ColumnKind::EffectMember) continue;
        const ExportValue& value = *given[k];
        const auto* amount = std::get_if<std::int64_t>(&value);
        const EffectField& member = *ItemColumns()[k].effectField;
        member.set(newEffect, amount ? std::optional<int>(static_cast<int>(*amount)) : std::nullopt);
        if (effectColumn.empty()) effectColumn = keys[k];
    }
    if (!effectColumn.empty()) {
        if (!space) {
            auto image = ReadRomImage(rom.state);
            if (!image) return image.error();
            auto found = FindFreeSpace(rom.state, *image);
            if (!found) return found.error();
            space = std::move(*found);
        }
        auto planned = PlanEffectSave(rom.state, position, newEffect, &*space);
        if (!planned) return reader.Wrap(effectColumn, planned.error());
        add(effectColumn, std::move(planned->patches));
    }

    bool any = false;
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!changed[k]) continue;
        // A description moved with the text it had is written at its new place, but the item's
        // text is what it was: only the offset changed, as a diff of the two ROMs says.
        if (k == kDescription && *given[k] == current[k]) continue;
        plan.changes.push_back({position, keys[k], current[k], *given[k]});
        any = true;
    }
    if (any) ++plan.itemsChanged;
    return {};
}

}  // namespace

Result<ImportPlan> PlanImport(const OpenedRom& rom, std::string_view file, ExportFormat format, bool replaceUnknownCharacters)
{
    auto rows = format == ExportFormat::Json ? ReadJsonRows(file) : ReadCsvRows(file);
    if (!rows) return rows.error();
    return PlanImportRows(rom, *rows, replaceUnknownCharacters);
}

Result<ImportPlan> PlanImportRows(const OpenedRom& rom, std::span<const ImportRow> rows, bool replaceUnknownCharacters)
{
    auto items = ReadItemTable(rom.state);
    if (!items) return items.error();

    const RoutineGroups routines = RoutineGroups::Of(*items);
    auto effects = ReadItemEffects(rom.state);
    if (!effects) return effects.error();
    std::optional<FreeSpace> space;
    ImportPlan plan;
    std::vector<Write> writes;
    std::map<int, int> rowOfPosition;
    for (const ImportRow& row : rows) {
        const std::string where = "row " + std::to_string(row.number);
        if (!row.cells[0]) return Refuse(where + ": no position");
        const ColumnInput& cell = *row.cells[0];
        const int last = static_cast<int>(items->size()) - 1;
        const bool digits = (cell.form == ColumnInput::Form::Number || cell.form == ColumnInput::Form::String) && !cell.text.empty() &&
                            cell.text.size() <= 9 && cell.text.find_first_not_of("0123456789") == std::string::npos;
        const int position = digits ? std::stoi(cell.text) : -1;
        if (position < 0 || position > last) {
            const std::string shown = cell.form == ColumnInput::Form::String ? Quote(cell.text)
                                      : cell.form == ColumnInput::Form::Null ? std::string("null")
                                                                             : cell.text;
            return Refuse(where + ", column position: no item at position " + shown + "; positions run from 0 to " +
                          std::to_string(last));
        }
        if (const auto [earlier, fresh] = rowOfPosition.emplace(position, row.number); !fresh) {
            return Refuse(where + ", column position: position " + std::to_string(position) + " is also in row " +
                          std::to_string(earlier->second));
        }
        if (auto planned = PlanRow(rom, (*items)[static_cast<std::size_t>(position)], routines,
                                   (*effects)[static_cast<std::size_t>(position)], space, row, replaceUnknownCharacters, plan, writes);
            !planned) {
            return planned.error();
        }
    }
    if (auto clear = CheckCollisions(writes); !clear) return clear.error();
    plan.patches.reserve(writes.size());
    for (Write& write : writes) plan.patches.push_back(std::move(write.patch));
    return plan;
}

std::string CountChanges(const ImportPlan& plan)
{
    const auto counted = [](std::size_t count, std::string_view one) {
        return std::to_string(count) + " " + std::string(one) + (count == 1 ? "" : "s");
    };
    return counted(plan.changes.size(), "change") + " to " + counted(static_cast<std::size_t>(plan.itemsChanged), "item");
}

Status ApplyImport(const OpenedRom& rom, const ImportPlan& plan)
{
    if (plan.patches.empty()) return {};
    // The history names the one item changed, or how many.
    const ChangeLabel label = plan.itemsChanged == 1 ? ChangeLabel("Import", plan.changes.front().position)
                                                     : ChangeLabel("Import", -1, std::to_string(plan.itemsChanged) + " items");
    return ApplyToRom(rom.state, plan.patches, label);
}

ExportFormat ImportFormatOfFileName(std::string_view name)
{
    return name.ends_with(".csv") || name.ends_with(".CSV") ? ExportFormat::Csv : ExportFormat::Json;
}

}  // namespace quillbox
