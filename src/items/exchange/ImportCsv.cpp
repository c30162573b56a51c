// The CSV reader of import.
#include "items/exchange/ImportRows.h"

#include <algorithm>

namespace quillbox {

namespace {

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
                    return ImportRefusal("row " + std::to_string(records.size()) + ": text after the closing quote of a field");
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
    if (quoted) return ImportRefusal("row " + std::to_string(records.size()) + ": a quoted field is not closed");
    if (any || !field.empty() || !record.empty()) endRecord();
    return records;
}

}  // namespace

Result<std::vector<ImportRow>> ReadCsvRows(std::string_view file)
{
    auto records = SplitCsv(file);
    if (!records) return records.error();
    if (records->empty()) return std::vector<ImportRow>{};
    const std::vector<std::string>& header = records->front();
    std::vector<std::size_t> columns;
    for (const std::string& key : header) {
        const auto column = ExportColumnOf(key);
        if (!column) return UnknownImportColumn(key);
        if (std::find(columns.begin(), columns.end(), *column) != columns.end()) return ImportRefusal("column \"" + key + "\" appears twice");
        columns.push_back(*column);
    }
    std::vector<ImportRow> rows;
    rows.reserve(records->size() - 1);
    for (std::size_t r = 1; r < records->size(); ++r) {
        const std::vector<std::string>& fields = (*records)[r];
        ImportRow row;
        row.number = static_cast<int>(r);
        if (fields.size() != columns.size()) {
            return ImportRefusal("row " + std::to_string(row.number) + " has " + std::to_string(fields.size()) + " fields, the header " +
                          std::to_string(columns.size()));
        }
        for (std::size_t f = 0; f < fields.size(); ++f) row.cells[columns[f]] = ColumnInput::Typed(fields[f]);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace quillbox
