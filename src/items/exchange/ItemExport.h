#pragma once

#include "items/record/ItemOperations.h"

#include <nlohmann/json.hpp>

#include <array>
#include <functional>
#include <optional>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillbox {

class RoutineGroups;

struct ItemEffectView;

// The columns of an exported item, in the order CSV lists them (JSON objects list their keys
// alphabetically): the record's fields as the field table names them, each coded one followed by
// its meaning ("…Name", shown for reading), then what lies outside the record, last the effect
// when used: its words ("effect", shown for reading) and each of its members ("effect.healHp").
std::span<const std::string_view> ItemExportKeys();

// The column a key names, by its name or the name older exports used ("special1" for
// "holdEffect"); nothing for none.
std::optional<std::size_t> ExportColumnOf(std::string_view key);

// The column whose value a shown-for-reading column follows from ("pocket" for "pocketName",
// "description" for "descriptionRoom"); nothing for a column that is itself a value.
std::optional<std::string_view> ColumnShownFrom(std::string_view key);

// One exported value: nothing (JSON null, an empty CSV field), a whole number, or UTF-8 text.
using ExportValue = std::variant<std::monostate, std::int64_t, std::string>;
// An item's values in the order of ItemExportKeys().
using ExportValues = std::vector<ExportValue>;

// An item's values, every text exactly as the window shows it, except that line breaks in the
// description are a lone line feed. `routines` are the ROM's routine groups, which say how byte
// 40 of the item is read; `effect` its effect when used (null: shown as unavailable).
ExportValues ItemExportValues(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines,
                              const ItemEffectView* effect);

// Which members an item's JSON carries: every column (as `show --json` prints one item), or only
// those the item has (as the export writes them, leaving out the nulls of columns it lacks).
enum class JsonMembers { Every, ItemHas };

nlohmann::json ItemToJson(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines,
                          const ItemEffectView* effect, JsonMembers members = JsonMembers::Every);

// JSON as the tool prints it: four-space indent, a line break at the end.
std::string JsonText(const nlohmann::json& json);

// One CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const ExportValue& value);
// The same appended to `out`, without a string of its own.
void AppendCsvField(std::string& out, const ExportValue& value);

enum class ExportFormat { Json, Csv };

// One field of one item that differs: between the ROM and an import file, or between two ROMs.
struct ItemChange {
    int position = 0;
    std::string_view field;  // one of ItemExportKeys()
    ExportValue before;
    ExportValue after;
};

// "position field: before -> after" on one line: numbers and offsets as exported, names and
// descriptions quoted as JSON strings (so a line break shows as \n), nothing as "-".
std::string FormatChange(const ItemChange& change);

// Each change on a line of its own, as the import listing and diff show them.
std::string FormatChanges(std::span<const ItemChange> changes);

// Every item given, as a JSON array of objects (each with the members the item has, as
// JsonMembers::ItemHas) or as CSV with a header line, every column, and each record ending in
// `csvRecordEnd`; a line break inside a description stays a line feed either way, as
// spreadsheets write it.
std::string ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format,
                        std::string_view csvRecordEnd = "\n");
// The same text handed to `write` in parts of whole items, in order, so that an export to a
// stream takes the same memory whatever the size of the table.
void ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format,
                 const std::function<void(std::string_view)>& write, std::string_view csvRecordEnd = "\n");

}  // namespace quillbox
