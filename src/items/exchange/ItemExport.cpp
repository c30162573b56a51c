#include "items/exchange/ItemExport.h"

#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemColumns.h"
#include "items/record/ItemFields.h"
#include "items/record/RoutineGroups.h"
#include "text/GameText.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace quillbox {

namespace {

nlohmann::json ToJson(const ExportValue& value)
{
    if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return nullptr;
}

// The keys in the order a JSON object lists them.
const std::vector<std::size_t>& AlphabeticalKeys()
{
    static const auto order = [] {
        const auto names = ItemExportKeys();
        std::vector<std::size_t> keys(names.size());
        for (std::size_t k = 0; k < keys.size(); ++k) keys[k] = k;
        std::sort(keys.begin(), keys.end(), [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
        return keys;
    }();
    return order;
}

// Decimal digits straight into the output, as CSV and JSON both write a number.
void AppendNumber(std::string& out, std::int64_t number)
{
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    out.append(digits, end);
}

// A JSON string as JsonText writes it: UTF-8 kept, control characters escaped.
void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    // Runs of characters that need no escape, which is nearly all of them, go in at once.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text.substr(run, i - run));
        run = i + 1;
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
            }
        }
    }
    out.append(text.substr(run));
    out += '"';
}

}  // namespace

std::span<const std::string_view> ItemExportKeys()
{
    static const std::vector<std::string_view> keys = [] {
        std::vector<std::string_view> result;
        for (const ItemColumn& column : ItemColumns()) result.push_back(column.key);
        return result;
    }();
    return keys;
}

std::optional<std::size_t> ExportColumnOf(std::string_view key)
{
    const ItemColumn* column = FindItemColumn(key);
    if (column == nullptr) return std::nullopt;
    return static_cast<std::size_t>(column - ItemColumns().data());
}

std::optional<std::string_view> ColumnShownFrom(std::string_view key)
{
    const ItemColumn* column = FindItemColumn(key);
    if (column == nullptr || column->shownFrom.empty()) return std::nullopt;
    return column->shownFrom;
}

ExportValues ItemExportValues(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines,
                              const ItemEffectView* effect)
{
    const ColumnSource source{rom, item, routines, effect};
    const auto columns = ItemColumns();
    ExportValues values;
    values.reserve(columns.size());
    for (const ItemColumn& column : columns) values.push_back(ColumnValue(column, source));
    return values;
}

nlohmann::json ItemToJson(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines,
                          const ItemEffectView* effect, JsonMembers members)
{
    const ColumnSource source{rom, item, routines, effect};
    const auto values = ItemExportValues(rom, item, routines, effect);
    const auto keys = ItemExportKeys();
    nlohmann::json json = nlohmann::json::object();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const bool lacks = std::holds_alternative<std::monostate>(values[k]) && !ItemHasColumn(ItemColumns()[k], source);
        if (members == JsonMembers::ItemHas && lacks) continue;
        json[std::string(keys[k])] = ToJson(values[k]);
    }
    return json;
}

std::string JsonText(const nlohmann::json& json) { return json.dump(4) + '\n'; }

std::string CsvField(const ExportValue& value)
{
    std::string text;
    AppendCsvField(text, value);
    return text;
}

void AppendCsvField(std::string& out, const ExportValue& value)
{
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        AppendNumber(out, *number);
        return;
    }
    const auto* string = std::get_if<std::string>(&value);
    if (string == nullptr) return;
    // One pass for the four characters that need quotes: most fields have none.
    const bool plain = std::none_of(string->begin(), string->end(),
                                    [](char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; });
    if (plain) {
        out += *string;
        return;
    }
    out += '"';
    for (const char c : *string) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string FormatChange(const ItemChange& change)
{
    // Texts are quoted; the description's room is a number shown for reading.
    const ItemColumn* column = FindItemColumn(change.field);
    const bool quoted = column != nullptr && (column->kind == ColumnKind::Name || column->kind == ColumnKind::Description ||
                                              (column->kind == ColumnKind::Shown && column->shownFrom != "description"));
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
    // Byte 40 is read by the item's routine, so its meaning needs the whole table's routines,
    // also when only some items are exported.
    auto shared = RoutineGroupsOf(rom.state);
    const std::optional<RoutineGroups> own = shared ? std::nullopt : std::optional(RoutineGroups::Of(items));
    const RoutineGroups& routines = shared ? **shared : *own;
    auto effects = ReadItemEffects(rom.state);
    auto effectOf = [&](const ItemView& item) -> const ItemEffectView* {
        if (!effects || item.position < 0 || static_cast<std::size_t>(item.position) >= effects->size()) return nullptr;
        return &(*effects)[static_cast<std::size_t>(item.position)];
    };
    if (format == ExportFormat::Json) {
        // Written directly rather than through a JSON tree: the same text as JsonText gives for
        // an array of ItemToJson, several times faster.
        if (items.empty()) return "[]\n";
        std::string json = "[\n";
        json.reserve(items.size() * 1700);  // about 1,500 bytes an item with its effect
        // Each member's lead-in ("        \"key\": ", with ",\n" before all but the first) made once.
        static const std::vector<std::string> leadIns = [] {
            std::vector<std::string> made(ItemExportKeys().size());
            for (std::size_t k = 0; k < made.size(); ++k) made[k] = ",\n        \"" + std::string(ItemExportKeys()[k]) + "\": ";
            return made;
        }();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const ItemEffectView* effect = effectOf(items[i]);
            const ColumnSource source{rom, items[i], routines, effect};
            const auto values = ItemExportValues(rom, items[i], routines, effect);
            json += "    {\n";
            bool first = true;
            for (const std::size_t k : AlphabeticalKeys()) {
                // A column the item does not have is left out rather than written as null.
                if (std::holds_alternative<std::monostate>(values[k]) && !ItemHasColumn(ItemColumns()[k], source)) continue;
                json.append(std::string_view(leadIns[k]).substr(first ? 2 : 0));
                first = false;
                if (const auto* number = std::get_if<std::int64_t>(&values[k])) {
                    AppendNumber(json, *number);
                } else if (const auto* text = std::get_if<std::string>(&values[k])) {
                    AppendJsonString(json, *text);
                } else {
                    json += "null";
                }
            }
            json += i + 1 < items.size() ? "\n    },\n" : "\n    }\n";
        }
        json += "]\n";
        return json;
    }
    std::string csv;
    csv.reserve(items.size() * 400);  // about 320 bytes a row
    for (std::size_t k = 0; k < ItemExportKeys().size(); ++k) {
        if (k > 0) csv += ',';
        csv += ItemExportKeys()[k];
    }
    csv += csvRecordEnd;
    for (const ItemView& item : items) {
        const auto values = ItemExportValues(rom, item, routines, effectOf(item));
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0) csv += ',';
            AppendCsvField(csv, values[k]);
        }
        csv += csvRecordEnd;
    }
    return csv;
}

}  // namespace quillbox
