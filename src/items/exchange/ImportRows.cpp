#include "items/exchange/ImportRows.h"

namespace quillbox {

Error ImportRefusal(std::string detail) { return MakeError(ErrorCode::BadImportFile, std::move(detail)); }

Error UnknownImportColumn(std::string_view key, const std::string& where)
{
    std::string known;
    for (const ItemColumn& column : ItemColumns()) known += (known.empty() ? "" : ", ") + std::string(column.key);
    return ImportRefusal(where + "unknown column \"" + std::string(key) + "\"; the columns are " + known);
}

}  // namespace quillbox
