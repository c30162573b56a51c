#include "items/exchange/ItemImport.h"

#include "items/effect/ItemEffects.h"
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


// One value as the file holds it. CSV has no kinds: its fields are read as the column needs.
struct Cell {
    enum class Kind { Null, Number, Text, Other, Csv } kind = Kind::Null;
    std::string text;  // a number as decimal digits, a text as is, anything else as its JSON
};

struct Row {
    int number = 0;  // counted from 1, the CSV header not counted
    std::vector<std::optional<Cell>> cells = std::vector<std::optional<Cell>>(ItemExportKeys().size());
};

std::optional<std::size_t> ColumnOf(std::string_view key) { return ExportColumnOf(key); }

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

Error Refuse(std::string detail) { return MakeError(ErrorCode::BadImportFile, std::move(detail)); }

Error UnknownColumn(std::string_view key, const std::string& where = {})
{
    std::string known;
    for (std::string_view k : ItemExportKeys()) known += (known.empty() ? "" : ", ") + std::string(k);
    return Refuse(where + "unknown column " + Quote(key) + "; the columns are " + known);
}

// Collects rows straight from the parser's events, without building a JSON tree: a list of
// items, or one item (as `show --json` prints it).
class JsonRows {
public:
    using number_integer_t = std::int64_t;
    using number_unsigned_t = std::uint64_t;
    using number_float_t = double;
    using string_t = std::string;
    using binary_t = nlohmann::json::binary_t;

    bool null() { return Value({Cell::Kind::Null, {}}); }
    bool boolean(bool value) { return Value({Cell::Kind::Other, value ? "true" : "false"}); }
    bool number_integer(std::int64_t value) { return Value({Cell::Kind::Number, std::to_string(value)}); }
    bool number_unsigned(std::uint64_t value) { return Value({Cell::Kind::Number, std::to_string(value)}); }
    bool number_float(double, const std::string& text) { return Value({Cell::Kind::Other, text}); }
    bool string(std::string& value) { return Value({Cell::Kind::Text, std::move(value)}); }
    bool binary(binary_t&) { return Value({Cell::Kind::Other, "binary data"}); }
    bool start_object(std::size_t) { return Open(true); }
    bool start_array(std::size_t) { return Open(false); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(std::string& key)
    {
        if (depth_ != ItemDepth()) return true;
        column_ = ColumnOf(key);
        if (!column_) return Stop(UnknownColumn(key, "row " + std::to_string(rows_.size()) + ": "));
        return true;
    }
    bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception&)
    {
        if (!error_) error_ = Refuse("the file is not JSON (at byte " + std::to_string(at) + ")");
        return false;
    }

    Result<std::vector<Row>> Take()
    {
        if (error_) return *error_;
        return std::move(rows_);
    }

private:
    int ItemDepth() const { return oneItem_ ? 1 : 2; }
    bool Stop(Error error)
    {
        error_ = std::move(error);
        return false;
    }
    bool NotAnItem() { return Stop(Refuse("row " + std::to_string(rows_.size() + 1) + " is not an item")); }

    bool Value(Cell cell)
    {
        if (depth_ == 0) return Stop(Refuse("the file holds neither a list of items nor one item"));
        if (depth_ < ItemDepth()) return NotAnItem();
        if (depth_ == ItemDepth()) rows_.back().cells[*column_] = std::move(cell);
        return true;
    }
    bool Open(bool object)
    {
        if (depth_ == 0 && object) oneItem_ = true;
        if (depth_ + 1 == ItemDepth()) {
            if (!object) return NotAnItem();
            rows_.emplace_back();
            rows_.back().number = static_cast<int>(rows_.size());
        } else if (depth_ == ItemDepth()) {
            Value({Cell::Kind::Other, object ? "an object" : "a list"});
        }
        ++depth_;
        return true;
    }
    bool Close()
    {
        --depth_;
        return true;
    }

    std::vector<Row> rows_;
    std::optional<Error> error_;
    int depth_ = 0;
    bool oneItem_ = false;
    std::optional<std::size_t> column_;
};

Result<std::vector<Row>> ParseJson(std::string_view file)
{
    JsonRows rows;
    if (!nlohmann::json::sax_parse(file, &rows) ) {
        auto result = rows.Take();
        if (result) return Refuse("the file is not JSON");
        return result;
    }
    return rows.Take();
}

// Splits CSV as the export writes it and spreadsheets save it: fields in double quotes may hold
// commas, doubled quotes and line breaks; records end with a line feed or carriage return + line feed.
Result<std::vector<std::vector<std::string>>> SplitCsv(std::string_view file)
{
    if (file.starts_with("\xEF\xBB\xBF")) file.remove_prefix(3);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;      // inside quotes
    bool wasQuoted = false;   // the field began with a quote
    bool any = false;         // the record has begun
    auto endField = [&] {
        record.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    auto endRecord = [&] {
        endField();
        // A blank line is no record.
        if (!(record.size() == 1 && record.front().empty() && !any)) records.push_back(std::move(record));
        record.clear();
        any = false;
    };
    for (std::size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < file.size() && file[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
                if (i + 1 < file.size() && file[i + 1] != ',' && file[i + 1] != '\n' && file[i + 1] != '\r') {
                    return Refuse("row " + std::to_string(records.size()) + ": text after the closing quote of a field");
                }
            }
            continue;
        }
        if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = any = true;
        } else if (c == ',') {
            endField();
            any = true;
        } else if (c == '\n') {
            endRecord();
        } else if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n') {
            continue;
        } else {
            field += c;
            any = true;
        }
    }
    if (quoted) return Refuse("row " + std::to_string(records.size()) + ": a quoted field is not closed");
    if (any || !field.empty() || !record.empty()) endRecord();
    return records;
}

Result<std::vector<Row>> ParseCsv(std::string_view file)
{
    auto records = SplitCsv(file);
    if (!records) return records.error();
    if (records->empty()) return std::vector<Row>{};
    const std::vector<std::string>& header = records->front();
    std::vector<std::size_t> columns;
    for (const std::string& key : header) {
        const auto column = ColumnOf(key);
        if (!column) return UnknownColumn(key);
        if (std::find(columns.begin(), columns.end(), *column) != columns.end()) return Refuse("column " + Quote(key) + " appears twice");
        columns.push_back(*column);
    }
    std::vector<Row> rows;
    rows.reserve(records->size() - 1);
    for (std::size_t r = 1; r < records->size(); ++r) {
        const std::vector<std::string>& fields = (*records)[r];
        Row row;
        row.number = static_cast<int>(r);
        if (fields.size() != columns.size()) {
            return Refuse("row " + std::to_string(row.number) + " has " + std::to_string(fields.size()) + " fields, the header " +
                          std::to_string(columns.size()));
        }
        for (std::size_t f = 0; f < fields.size(); ++f) row.cells[columns[f]] = Cell{Cell::Kind::Csv, fields[f]};
        rows.push_back(std::move(row));
    }
    return rows;
}

// A value as the file wrote it: texts in quotes, JSON numbers and the like as they are.
std::string Shown(const Cell& cell)
{
    if (cell.kind == Cell::Kind::Null) return "null";
    if (cell.kind == Cell::Kind::Text || cell.kind == Cell::Kind::Csv) return Quote(cell.text);
    return cell.text;
}

// Reads one row's values, naming the row and the column in every refusal.
class RowReader {
public:
    RowReader(const Row& row, int position) : where_("row " + std::to_string(row.number) + " (position " + std::to_string(position) + ")") {}

    Error Refusal(std::string_view column, const std::string& detail) const
    {
        return Refuse(where_ + ", column " + std::string(column) + ": " + detail);
    }
    Error Wrap(std::string_view column, const Error& error) const
    {
        Error wrapped = error;
        wrapped.message = where_ + ", column " + std::string(column) + ": " + error.message;
        return wrapped;
    }

    // A whole number up to `limit`; nothing when the column allows it and the cell is empty.
    Result<std::optional<std::int64_t>> Whole(std::string_view column, const Cell& cell, std::int64_t limit, bool nullable) const
    {
        if (nullable && (cell.kind == Cell::Kind::Null || (cell.kind == Cell::Kind::Csv && cell.text.empty()))) {
            return std::optional<std::int64_t>{};
        }
        const bool digits = (cell.kind == Cell::Kind::Number || cell.kind == Cell::Kind::Csv) && !cell.text.empty() &&
                            cell.text.find_first_not_of("0123456789") == std::string::npos;
        const std::size_t significant = cell.text.find_first_not_of('0');
        const bool small = digits && (significant == std::string::npos || cell.text.size() - significant <= 12);
        if (!small || std::stoll(cell.text) > limit) {
            return Refusal(column, "takes a whole number from 0 to " + std::to_string(limit) + ", not " + Shown(cell));
        }
        return std::optional<std::int64_t>{std::stoll(cell.text)};
    }

    Result<std::string> Words(std::string_view column, const Cell& cell) const
    {
        if (cell.kind != Cell::Kind::Text && cell.kind != Cell::Kind::Csv) {
            return Refusal(column, "takes text, not " + Shown(cell));
        }
        return ToUtf8(FromUtf8(cell.text));
    }

    // Hexadecimal text of at most `digits` digits; nothing when the column allows it and the
    // cell is empty.
    Result<std::optional<std::string>> Hex(std::string_view column, const Cell& cell, std::size_t digits, bool nullable) const
    {
        if (nullable && (cell.kind == Cell::Kind::Null || (cell.kind == Cell::Kind::Csv && cell.text.empty()))) {
            return std::optional<std::string>{};
        }
        const bool text = cell.kind == Cell::Kind::Text || cell.kind == Cell::Kind::Csv;
        if (!text || cell.text.empty() || cell.text.size() > digits || !IsHexText(std::string_view(cell.text))) {
            return Refusal(column, "takes hexadecimal text of at most " + std::to_string(digits) + " digits, not " + Shown(cell));
        }
        return std::optional<std::string>{cell.text};
    }

private:
    std::string where_;
};

std::string WithLineFeeds(std::string text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        result += text[i];
    }
    return result;
}

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

bool IsHexColumn(std::string_view key)
{
    const RecordField* field = FindRecordField(key);
    return (field != nullptr && field->kind == FieldKind::Pointer) || key == "descriptionOffset" || key == "imageOffset" ||
           key == "paletteOffset";
}

// Plans one row: the changes it makes and the bytes that make them.
Status PlanRow(const OpenedRom& rom, const ItemView& item, const RoutineGroups& routines, const ItemEffectView& effect,
               std::optional<FreeSpace>& space, const Row& row, bool replaceUnknownCharacters, ImportPlan& plan,
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
    const std::size_t kTmMove = Column("tmMove");

    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!row.cells[k]) continue;
        const Cell& cell = *row.cells[k];
        const std::string_view column = keys[k];
        const RecordField* field = FindRecordField(column);
        auto whole = [&](std::int64_t limit, bool nullable) -> Status {
            auto value = reader.Whole(column, cell, limit, nullable);
            if (!value) return value.error();
            given[k] = *value ? ExportValue{**value} : ExportValue{};
            return {};
        };
        auto hex = [&](std::size_t digits, bool nullable) -> Status {
            auto value = reader.Hex(column, cell, digits, nullable);
            if (!value) return value.error();
            given[k] = *value ? ExportValue{**value} : ExportValue{};
            return {};
        };
        Status read;
        if (const EffectField* member = column.starts_with("effect.") ? FindEffectField(column.substr(7)) : nullptr) {
            const bool empty = cell.kind == Cell::Kind::Null || (cell.kind == Cell::Kind::Csv && cell.text.empty());
            const std::string& text = cell.text;
            const bool digits = !text.empty() && text.size() <= 4 && text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) == std::string::npos &&
                                text != "-";
            const bool amount = member->kind == EffectFieldKind::Amount || member->kind == EffectFieldKind::SignedAmount;
            if (empty) {
                // Null is an amount switched off, or no effect at all where the item has none;
                // a flag given null where the item has an effect is refused below.
                given[k] = ExportValue{};
            } else if ((cell.kind == Cell::Kind::Number || cell.kind == Cell::Kind::Csv) && digits && std::stoi(text) >= member->minimum &&
                       std::stoi(text) <= member->maximum) {
                given[k] = ExportValue{std::int64_t{std::stoi(text)}};
            } else {
                return reader.Refusal(column, "takes a whole number from " + std::to_string(member->minimum) + " to " +
                                                  std::to_string(member->maximum) + (amount ? " or null (off)" : "") + ", not " + Shown(cell));
            }
            continue;
        }
        const bool shownForReading = ColumnShownFrom(column).has_value() && column != "descriptionRoom";
        if (column == "name" || column == "description" || shownForReading) {
            if (shownForReading && (cell.kind == Cell::Kind::Null || (cell.kind == Cell::Kind::Csv && cell.text.empty()))) {
                given[k] = ExportValue{};
                continue;
            }
            auto text = reader.Words(column, cell);
            if (!text) return text.error();
            given[k] = k == kDescription ? WithLineFeeds(std::move(*text)) : std::move(*text);
        } else if (field != nullptr && field->kind == FieldKind::Number) {
            read = whole(field->Maximum(), false);
        } else if (field != nullptr && field->kind == FieldKind::Pointer) {
            read = hex(6, false);
        } else if (k == kTmMove) {
            read = whole(65535, true);
        } else if (column == "descriptionRoom") {
            read = whole(0x7FFFFFFF, false);
        } else if (k == kDescriptionOffset) {
            read = hex(8, false);
        } else if (k == kImageOffset || k == kPaletteOffset) {
            read = hex(6, true);
        }
        if (!read) return read.error();
    }

    // Which values differ from the ROM; hexadecimal ones by their value, not their spelling.
    std::vector<bool> changed(kColumns);
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!given[k]) continue;
        const bool bothText = std::holds_alternative<std::string>(*given[k]) && std::holds_alternative<std::string>(current[k]);
        changed[k] = IsHexColumn(keys[k]) && bothText ? HexValue(*given[k]) != HexValue(current[k]) : *given[k] != current[k];
    }

    // The columns shown for reading follow from others; they may differ only where those change.
    for (std::size_t k = 1; k < kColumns; ++k) {
        const auto source = ColumnShownFrom(keys[k]);
        if (!source) continue;
        bool sourceChanged = false;
        if (*source == "effect.") {
            for (std::size_t j = 0; j < kColumns; ++j) sourceChanged = sourceChanged || (changed[j] && keys[j].starts_with("effect."));
        } else {
            sourceChanged = changed[Column(*source)] || (k == Column("descriptionRoom") && changed[kDescriptionOffset]);
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

    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!changed[k] || k == kDescription || k == kDescriptionOffset || k == kImageOffset || k == kPaletteOffset ||
            keys[k].starts_with("effect.")) {
            continue;
        }
        const RecordField* field = FindRecordField(keys[k]);
        ItemEdit edit;
        if (k == Column("name")) {
            edit.name = FromUtf8(std::get<std::string>(*given[k]));
        } else if (k == kTmMove) {
            if (!std::holds_alternative<std::int64_t>(*given[k])) {
                return reader.Refusal(keys[k], "takes a whole number from 0 to " + std::to_string(kMoveCount) + ", not null");
            }
            if (item.tmMove && number(k) > kMoveCount) {
                return reader.Refusal(keys[k], "takes a whole number from 0 to " + std::to_string(kMoveCount) + ", not " +
                                                              std::to_string(number(k)));
            }
            edit.tmMove = static_cast<std::uint16_t>(number(k));
        } else if (field != nullptr && field->kind == FieldKind::Pointer) {
            field->writeText(edit, std::get<std::string>(*given[k]));
        } else if (field != nullptr) {
            field->write(edit, static_cast<std::uint32_t>(number(k)));
        } else {
            continue;
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
        if (!given[k] || !std::holds_alternative<std::string>(*given[k])) {
            return reader.Refusal(keys[k], "takes hexadecimal text of at most 6 digits, not null");
        }
        auto patches = PlanImageRepoint(rom.state, position, text(kImageOffset), text(kPaletteOffset));
        if (!patches) return reader.Wrap(keys[k], patches.error());
        add(keys[k], std::move(*patches));
    }

    // The effect's members make one new record, written where the effect plan says.
    ItemEffect newEffect = effect.effect;
    std::string_view effectColumn;
    for (std::size_t k = 1; k < kColumns; ++k) {
        if (!changed[k] || !keys[k].starts_with("effect.")) continue;
        const ExportValue& value = *given[k];
        const auto* amount = std::get_if<std::int64_t>(&value);
        const EffectField& member = *FindEffectField(keys[k].substr(7));
        if (amount == nullptr && member.kind != EffectFieldKind::Amount && member.kind != EffectFieldKind::SignedAmount) {
            return reader.Refusal(keys[k], "takes a whole number from " + std::to_string(member.minimum) + " to " +
                                               std::to_string(member.maximum) + ", not null");
        }
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
    auto rows = format == ExportFormat::Json ? ParseJson(file) : ParseCsv(file);
    if (!rows) return rows.error();
    auto items = ReadItemTable(rom.state);
    if (!items) return items.error();

    const RoutineGroups routines = RoutineGroups::Of(*items);
    auto effects = ReadItemEffects(rom.state);
    if (!effects) return effects.error();
    std::optional<FreeSpace> space;
    ImportPlan plan;
    std::vector<Write> writes;
    std::map<int, int> rowOfPosition;
    for (const Row& row : *rows) {
        const std::string where = "row " + std::to_string(row.number);
        if (!row.cells[0]) return Refuse(where + ": no position");
        const Cell& cell = *row.cells[0];
        const int last = static_cast<int>(items->size()) - 1;
        const bool digits = (cell.kind == Cell::Kind::Number || cell.kind == Cell::Kind::Csv) && !cell.text.empty() &&
                            cell.text.size() <= 9 && cell.text.find_first_not_of("0123456789") == std::string::npos;
        const int position = digits ? std::stoi(cell.text) : -1;
        if (position < 0 || position > last) {
            return Refuse(where + ", column position: no item at position " + Shown(cell) + "; positions run from 0 to " +
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
