#include "items/ItemExport.h"

#include "text/GameText.h"

namespace quillbox {

namespace {

ExportValue ListEntry(std::span<const std::string_view> entries, std::uint8_t value)
{
    if (value >= entries.size()) return std::monostate{};
    return std::string(entries[value]);
}

ExportValue Optional(const std::optional<std::string>& text)
{
    if (!text) return std::monostate{};
    return *text;
}

nlohmann::json ToJson(const ExportValue& value)
{
    if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return nullptr;
}

}  // namespace

std::array<ExportValue, kItemExportKeys.size()> ItemExportValues(const OpenedRom& rom, const ItemView& item)
{
    ExportValue tmMove = std::monostate{};
    ExportValue tmMoveName = std::monostate{};
    if (item.tmMove) {
        tmMove = std::int64_t{*item.tmMove};
        if (*item.tmMove >= 1 && *item.tmMove <= rom.moveNames.size()) tmMoveName = ToUtf8(rom.moveNames[*item.tmMove - 1u]);
    }
    return {std::int64_t{item.position},
            ToUtf8(item.name),
            std::int64_t{item.index},
            std::int64_t{item.price},
            std::int64_t{item.special1},
            std::int64_t{item.special2},
            item.descriptionOffsetText,
            ToUtf8(ReplaceAll(item.description, kWindowsLineBreak, U"\n")),
            std::int64_t{item.descriptionRoom},
            std::int64_t{item.mystery1},
            std::int64_t{item.mystery2},
            std::int64_t{item.pocket},
            ListEntry(rom.family->pocketNames, item.pocket),
            item.fieldUsageCodePointer,
            std::int64_t{item.battleUsage},
            item.battleUsageCodePointer,
            std::move(tmMove),
            std::move(tmMoveName),
            Optional(item.imageOffsetText),
            Optional(item.paletteOffsetText)};
}

nlohmann::json ItemToJson(const OpenedRom& rom, const ItemView& item)
{
    const auto values = ItemExportValues(rom, item);
    nlohmann::json json = nlohmann::json::object();
    for (std::size_t k = 0; k < kItemExportKeys.size(); ++k) json[std::string(kItemExportKeys[k])] = ToJson(values[k]);
    return json;
}

std::string JsonText(const nlohmann::json& json) { return json.dump(4) + '\n'; }

std::string CsvField(const ExportValue& value)
{
    std::string text;
    if (const auto* number = std::get_if<std::int64_t>(&value)) text = std::to_string(*number);
    if (const auto* string = std::get_if<std::string>(&value)) text = *string;
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format)
{
    if (format == ExportFormat::Json) {
        nlohmann::json array = nlohmann::json::array();
        for (const ItemView& item : items) array.push_back(ItemToJson(rom, item));
        return JsonText(array);
    }
    std::string csv;
    csv.reserve(items.size() * 160);
    for (std::size_t k = 0; k < kItemExportKeys.size(); ++k) {
        if (k > 0) csv += ',';
        csv += kItemExportKeys[k];
    }
    csv += '\n';
    for (const ItemView& item : items) {
        const auto values = ItemExportValues(rom, item);
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0) csv += ',';
            csv += CsvField(values[k]);
        }
        csv += '\n';
    }
    return csv;
}

}  // namespace quillbox
