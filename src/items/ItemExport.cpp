#include "items/ItemExport.h"

#include "text/GameText.h"

#include <algorithm>

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

// The keys in the order a JSON object lists them.
const std::array<std::size_t, kItemExportKeys.size()>& AlphabeticalKeys()
{
    static const auto order = [] {
        std::array<std::size_t, kItemExportKeys.size()> keys{};
        for (std::size_t k = 0; k < keys.size(); ++k) keys[k] = k;
        std::sort(keys.begin(), keys.end(), [](std::size_t a, std::size_t b) { return kItemExportKeys[a] < kItemExportKeys[b]; });
        return keys;
    }();
    return order;
}

// A JSON string as JsonText writes it: UTF-8 kept, control characters escaped.
void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
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

std::string FormatChange(const ItemChange& change)
{
    const bool quoted = change.field == "name" || change.field == "description" || change.field == "pocketName" ||
                        change.field == "tmMoveName";
    auto show = [quoted](const ExportValue& value) -> std::string {
        if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
        if (const auto* text = std::get_if<std::string>(&value)) return quoted ? nlohmann::json(*text).dump() : *text;
        return "-";
    };
    return std::to_string(change.position) + " " + std::string(change.field) + ": " + show(change.before) + " -> " +
           show(change.after);
}

std::string FormatChanges(std::span<const ItemChange> changes)
{
    std::string text;
    for (const ItemChange& change : changes) text += FormatChange(change) + '\n';
    return text;
}

std::string ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format,
                        std::string_view csvRecordEnd)
{
    if (format == ExportFormat::Json) {
        // Written directly rather than through a JSON tree: the same text as JsonText gives for
        // an array of ItemToJson, several times faster.
        if (items.empty()) return "[]\n";
        std::string json = "[\n";
        json.reserve(items.size() * 700);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto values = ItemExportValues(rom, items[i]);
            json += "    {\n";
            bool first = true;
            for (const std::size_t k : AlphabeticalKeys()) {
                json += first ? "        \"" : ",\n        \"";
                first = false;
                json += kItemExportKeys[k];
                json += "\": ";
                if (const auto* number = std::get_if<std::int64_t>(&values[k])) {
                    json += std::to_string(*number);
                } else if (const auto* text = std::get_if<std::string>(&values[k])) {
                    AppendJsonString(json, *text);
                } else {
                    json += "null";
                }
            }
            json += i + 1 < items.size() ? "\n    },\n" : "\n    }\n";
        }
        return json + "]\n";
    }
    std::string csv;
    csv.reserve(items.size() * 160);
    for (std::size_t k = 0; k < kItemExportKeys.size(); ++k) {
        if (k > 0) csv += ',';
        csv += kItemExportKeys[k];
    }
    csv += csvRecordEnd;
    for (const ItemView& item : items) {
        const auto values = ItemExportValues(rom, item);
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0) csv += ',';
            csv += CsvField(values[k]);
        }
        csv += csvRecordEnd;
    }
    return csv;
}

}  // namespace quillbox
