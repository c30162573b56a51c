#include "items/exchange/ItemExport.h"

#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemColumns.h"
#include "items/record/ItemFields.h"
#include "items/record/RoutineGroups.h"
#include "base/JsonText.h"
#include "base/WordScan.h"
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

void AppendDigits(std::string& out, std::int64_t number)
{
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    out.append(digits, end);
}

// Decimal digits straight into the output, as CSV and JSON both write a number. Most values are
// flags and small counts, a single digit that needs no buffer.
inline void AppendNumber(std::string& out, std::int64_t number)
{
    if (number >= 0 && number < 10) {
        out += static_cast<char>('0' + number);
    } else {
        AppendDigits(out, number);
    }
}

bool NeedsCsvQuotes(std::string_view text)
{
    using namespace word_scan;
    return AnyStop(text, [](std::uint64_t word) {
        return HasByte(word, ',') || HasByte(word, '"') || HasByte(word, '\n') || HasByte(word, '\r');
    });
}

void AppendCsvText(std::string& out, std::string_view text)
{
    if (!NeedsCsvQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// An export is handed on in parts of about this size, each of whole items, so that the memory it
// takes does not grow with the table: a whole JSON export is over half a megabyte, and every page
// of it is one more the system maps and fills.
constexpr std::size_t kPartBytes = 60 * 1024;

void HandOnFull(std::string& part, const std::function<void(std::string_view)>& write)
{
    if (part.size() < kPartBytes) return;
    write(part);
    part.clear();
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
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        AppendCsvText(out, *text);
    }
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

void ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format,
                 const std::function<void(std::string_view)>& write, std::string_view csvRecordEnd)
{
    // Byte 40 is read by the item's routine, so its meaning needs the whole table's routines,
    // also when only some items are exported. Items that are the whole table give them at once,
    // without reading and decoding the table again.
    const auto count = static_cast<std::size_t>(std::max(rom.state.ItemCount(), 0));
    bool wholeTable = items.size() == count;
    for (std::size_t i = 0; wholeTable && i < items.size(); ++i) wholeTable = items[i].position == static_cast<int>(i);
    std::shared_ptr<const RoutineGroups> shared;
    if (!wholeTable) {
        if (auto groups = RoutineGroupsOf(rom.state)) shared = std::move(*groups);
    }
    const std::optional<RoutineGroups> own = shared ? std::nullopt : std::optional(RoutineGroups::Of(items));
    const RoutineGroups& routines = own ? *own : *shared;
    auto effects = ReadItemEffects(rom.state);
    auto effectOf = [&](const ItemView& item) -> const ItemEffectView* {
        if (!effects || item.position < 0 || static_cast<std::size_t>(item.position) >= effects->size()) return nullptr;
        return &(*effects)[static_cast<std::size_t>(item.position)];
    };
    const auto columns = ItemColumns();
    // Each value is written straight into the output: a text made for it goes through this one
    // buffer, and words that many items share are made once, so that an item costs no
    // allocation of its own.
    std::string scratch;
    SharedColumnWords words;
    if (format == ExportFormat::Json) {
        // Written directly rather than through a JSON tree: the same text as JsonText gives for
        // an array of ItemToJson, several times faster.
        if (items.empty()) {
            write("[]\n");
            return;
        }
        std::string json;
        json.reserve(kPartBytes + 4096);  // an item with its effect is about 1,500 bytes
        json += "[\n";
        // Each member's lead-in ("        \"key\": ", with ",\n" before all but the first) made once.
        static const std::vector<std::string> leadIns = [] {
            std::vector<std::string> made(ItemExportKeys().size());
            for (std::size_t k = 0; k < made.size(); ++k) made[k] = ",\n        \"" + std::string(ItemExportKeys()[k]) + "\": ";
            return made;
        }();
        const std::vector<std::size_t>& order = AlphabeticalKeys();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const ColumnSource source{rom, items[i], routines, effectOf(items[i]), &words};
            json += "    {\n";
            bool first = true;
            for (const std::size_t k : order) {
                // An item without an effect entry has none of its members: most items of a table.
                if (columns[k].kind == ColumnKind::EffectMember && !ItemHasColumn(columns[k], source)) continue;
                const ExportValueView value = ColumnValueView(columns[k], source, scratch);
                // A column the item does not have is left out rather than written as null.
                const bool nothing = std::holds_alternative<std::monostate>(value);
                if (nothing && !ItemHasColumn(columns[k], source)) continue;
                json.append(std::string_view(leadIns[k]).substr(first ? 2 : 0));
                first = false;
                if (const auto* number = std::get_if<std::int64_t>(&value)) {
                    AppendNumber(json, *number);
                } else if (const auto* text = std::get_if<std::string_view>(&value)) {
                    AppendJsonString(json, *text);
                } else {
                    json += "null";
                }
            }
            json += i + 1 < items.size() ? "\n    },\n" : "\n    }\n";
            HandOnFull(json, write);
        }
        json += "]\n";
        write(json);
        return;
    }
    std::string csv;
    csv.reserve(kPartBytes + 1024);  // a row is about 320 bytes
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (k > 0) csv += ',';
        csv += columns[k].key;
    }
    csv += csvRecordEnd;
    for (const ItemView& item : items) {
        const ColumnSource source{rom, item, routines, effectOf(item), &words};
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (k > 0) csv += ',';
            // An item without an effect entry has none of its members: most items of a table.
            if (columns[k].kind == ColumnKind::EffectMember && !ItemHasColumn(columns[k], source)) continue;
            const ExportValueView value = ColumnValueView(columns[k], source, scratch);
            if (const auto* number = std::get_if<std::int64_t>(&value)) {
                AppendNumber(csv, *number);
            } else if (const auto* text = std::get_if<std::string_view>(&value)) {
                AppendCsvText(csv, *text);
            }
        }
        csv += csvRecordEnd;
        HandOnFull(csv, write);
    }
    write(csv);
}

std::string ExportItems(const OpenedRom& rom, std::span<const ItemView> items, ExportFormat format,
                        std::string_view csvRecordEnd)
{
    std::string whole;
    ExportItems(rom, items, format, [&whole](std::string_view part) { whole += part; }, csvRecordEnd);
    return whole;
}

}  // namespace quillbox
