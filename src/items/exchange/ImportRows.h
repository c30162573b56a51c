#pragma once

#include "base/Error.h"
#include "items/exchange/ItemColumns.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// One row of an import file: each column's value as the file gave it, in the order of
// ItemColumns(); a column the row does not give is empty.
struct ImportRow {
    int number = 0;  // counted from 1, the CSV header not counted
    std::vector<std::optional<ColumnInput>> cells = std::vector<std::optional<ColumnInput>>(ItemColumns().size());
};

// A refusal of the import file (BadImportFile) with what is wrong.
Error ImportRefusal(std::string detail);

// An unknown column, naming the columns there are; `where` goes first ("row 2: ").
Error UnknownImportColumn(std::string_view key, const std::string& where = {});

// The rows of what `export` writes in JSON: a list of items, or one item as `show --json`
// prints it. Refuses text that is not JSON, a row that is no item and an unknown key.
Result<std::vector<ImportRow>> ReadJsonRows(std::string_view file);

// The rows of CSV as the export writes it and spreadsheets save it, under a header line naming
// the columns. Refuses an unknown or repeated column, a row of another length than the header and
// quotes that do not close.
Result<std::vector<ImportRow>> ReadCsvRows(std::string_view file);

}  // namespace quillbox
