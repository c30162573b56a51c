#pragma once

#include "items/ItemOperations.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace quillbox {

// The columns of an exported item, in the order CSV lists them (JSON objects list their keys
// alphabetically).
inline constexpr std::array<std::string_view, 20> kItemExportKeys{
    "position",    "name",          "index",    "price",      "special1",  "special2",
    "descriptionOffset", "description", "descriptionRoom", "mystery1", "mystery2", "pocket",
    "pocketName",  "fieldUsageCodePointer", "battleUsage", "battleUsageCodePointer", "tmMove",
    "tmMoveName",  "imageOffset",   "paletteOffset"};

// One exported value: nothing (JSON null, an empty CSV field), a whole number, or UTF-8 text.
using ExportValue = std::variant<std::monostate, std::int64_t, std::string>;

// An item's values in the order of kItemExportKeys, every text exactly as the window shows it,
// except that line breaks in the description are a lone line feed.
std::array<ExportValue, kItemExportKeys.size()> ItemExportValues(const OpenedRom& rom, const ItemView& item);

nlohmann::json ItemToJson(const OpenedRom& rom, const ItemView& item);

// JSON as the tool prints it: four-space indent, a line break at the end.
std::string JsonText(const nlohmann::json& json);

// One CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const ExportValue& value);

enum class ExportFormat { Json, Csv };

// One field of one item that differs: between the ROM and an import file, or between two ROMs.
struct ItemChange {
    int position = 0;
    std::string_view field;  // one of kItemExportKeys
    ExportValue before;
    ExportValue after;
};

// "position field: before -> after" on one line: numbers and offsets as exported, names and
// descriptions quoted as JSON strings (so a line break shows as \n), nothing as "-".
std::string FormatChange(const ItemChange& change);

// Each change on a line of its own, as the import listing and diff show them.
std::string FormatChanges(std::span<const ItemChange> changes);

// Every item given, as a JSON array of objects or as CSV with a header line and each record
// ending in `csvRecordEnd`; a line break inside a description stays a line feed either way, as
// spreadsheets write it.
std::string ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format,
                        std::string_view csvRecordEnd = "\n");

}  // namespace quillbox
