#include "items/exchange/ItemExport.h"

#include "items/effect/ItemEffects.h"
#include "items/record/ItemFields.h"
#include "items/record/RoutineGroups.h"
#include "text/GameText.h"

#include <algorithm>
#include <map>

namespace quillbox {

namespace {

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

// The companion naming what each coded field's value means.
const std::map<std::string_view, std::string_view> kNameColumns{
    {"holdEffect", "holdEffectName"}, {"importance", "importanceName"}, {"registrability", "registrabilityName"},
    {"pocket", "pocketName"},         {"type", "typeName"},             {"battleUsage", "battleUsageName"},
    {"secondaryId", "secondaryIdName"}};

// "effect.healHp" for each member of an effect, kept for the life of the program.
const std::map<std::string_view, std::string>& EffectColumns()
{
    static const auto columns = [] {
        std::map<std::string_view, std::string> result;
        for (const EffectField& field : EffectFields()) result.emplace(field.key, "effect." + std::string(field.key));
        return result;
    }();
    return columns;
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

std::span<const std::string_view> ItemExportKeys()
{
    static const std::vector<std::string_view> keys = [] {
        std::vector<std::string_view> result{"position"};
        for (const RecordField& field : RecordFields()) {
            result.push_back(field.key);
            if (field.meaning != Meaning::None) result.push_back(kNameColumns.at(field.key));
            // The description's place and text stand where its pointer lies in the record.
            if (field.key == "holdEffectParam") {
                result.insert(result.end(), {"holdEffectParamName", "descriptionOffset", "description", "descriptionRoom"});
            }
        }
        result.insert(result.end(), {"tmMove", "tmMoveName", "imageOffset", "paletteOffset", "effect"});
        for (const EffectField& field : EffectFields()) result.push_back(EffectColumns().at(field.key));
        return result;
    }();
    return keys;
}

std::optional<std::size_t> ExportColumnOf(std::string_view key)
{
    if (const RecordField* field = FindRecordField(key)) key = field->key;
    const auto keys = ItemExportKeys();
    const auto found = std::find(keys.begin(), keys.end(), key);
    if (found == keys.end()) return std::nullopt;
    return static_cast<std::size_t>(found - keys.begin());
}

std::optional<std::string_view> ColumnShownFrom(std::string_view key)
{
    if (key == "descriptionRoom") return "description";
    if (key == "effect") return "effect.";
    if (key == "holdEffectParamName") return "holdEffectParam";
    if (key.size() > 4 && key.ends_with("Name")) {
        const std::string_view source = key.substr(0, key.size() - 4);
        if (FindRecordField(source) != nullptr || source == "tmMove") return source;
    }
    return std::nullopt;
}

ExportValues ItemExportValues(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines,
                              const ItemEffectView* effect)
{
    const GameFamily& family = *rom.family;
    const auto keys = ItemExportKeys();
    ExportValues values(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::string_view key = keys[k];
        ExportValue& value = values[k];
        const RecordField* field = FindRecordField(key);
        if (key == "position") {
            value = std::int64_t{item.position};
        } else if (key == "name") {
            value = ToUtf8(item.name);
        } else if (field != nullptr) {
            value = field->kind == FieldKind::Pointer ? ExportValue{FieldValueText(*field, field->read(item))}
                                                      : ExportValue{std::int64_t{field->read(item)}};
        } else if (key == "descriptionOffset") {
            value = item.descriptionOffsetText;
        } else if (key == "description") {
            value = ToUtf8(ReplaceAll(item.description, kWindowsLineBreak, U"\n"));
        } else if (key == "descriptionRoom") {
            value = std::int64_t{item.descriptionRoom};
        } else if (key == "tmMove") {
            if (item.tmMove) value = std::int64_t{*item.tmMove};
        } else if (key == "tmMoveName") {
            if (item.tmMove && *item.tmMove >= 1 && *item.tmMove <= rom.moveNames.size()) {
                value = ToUtf8(rom.moveNames[*item.tmMove - 1u]);
            }
        } else if (key == "imageOffset") {
            value = Optional(item.imageOffsetText);
        } else if (key == "paletteOffset") {
            value = Optional(item.paletteOffsetText);
        } else if (key == "effect") {
            if (effect != nullptr) value = effect->words;
        } else if (key.starts_with("effect.")) {
            if (effect != nullptr && effect->Available()) {
                if (const auto member = FindEffectField(key.substr(7))->get(effect->effect)) value = std::int64_t{*member};
            }
        } else if (key == "holdEffectParamName") {
            value = ExplainHoldEffectParameter(family, item.holdEffect, item.holdEffectParam);
        } else if (const auto source = ColumnShownFrom(key); source && FindRecordField(*source) != nullptr) {
            const RecordField& coded = *FindRecordField(*source);
            const auto users = routines.FieldRoutineUsers(FindRecordField("fieldUsageCodePointer")->read(item));
            const Meaning meaning = MeaningOfField(coded, family, item, users);
            if (const auto name = NameOf(meaning, family, static_cast<int>(coded.read(item)))) value = std::string(*name);
        }
    }
    return values;
}

nlohmann::json ItemToJson(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines,
                          const ItemEffectView* effect)
{
    const auto values = ItemExportValues(rom, item, routines, effect);
    const auto keys = ItemExportKeys();
    nlohmann::json json = nlohmann::json::object();
    for (std::size_t k = 0; k < keys.size(); ++k) json[std::string(keys[k])] = ToJson(values[k]);
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
    const bool quoted = change.field == "name" || change.field == "description" || change.field.ends_with("Name");
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
    const RoutineGroups routines = shared ? **shared : RoutineGroups::Of(items);
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
        json.reserve(items.size() * 700);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto values = ItemExportValues(rom, items[i], routines, effectOf(items[i]));
            json += "    {\n";
            bool first = true;
            for (const std::size_t k : AlphabeticalKeys()) {
                json += first ? "        \"" : ",\n        \"";
                first = false;
                json += ItemExportKeys()[k];
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
    for (std::size_t k = 0; k < ItemExportKeys().size(); ++k) {
        if (k > 0) csv += ',';
        csv += ItemExportKeys()[k];
    }
    csv += csvRecordEnd;
    for (const ItemView& item : items) {
        const auto values = ItemExportValues(rom, item, routines, effectOf(item));
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0) csv += ',';
            csv += CsvField(values[k]);
        }
        csv += csvRecordEnd;
    }
    return csv;
}

}  // namespace quillbox
