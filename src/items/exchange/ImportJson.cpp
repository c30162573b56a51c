// The JSON reader of import: rows straight from the parser's events.
#include "items/exchange/ImportRows.h"

#include <nlohmann/json.hpp>

namespace quillbox {

namespace {

// Collects rows straight from the parser's events, without building a JSON tree: a list of
// items, or one item (as `show --json` prints it).
class JsonRows {
public:
    using number_integer_t = std::int64_t;
    using number_unsigned_t = std::uint64_t;
    using number_float_t = double;
    using string_t = std::string;
    using binary_t = nlohmann::json::binary_t;

    bool null() { return Value(ColumnInput{{}, ColumnInput::Form::Null}); }
    bool boolean(bool value) { return Value(ColumnInput{value ? "true" : "false", ColumnInput::Form::Boolean}); }
    bool number_integer(std::int64_t value) { return Value(ColumnInput{std::to_string(value), ColumnInput::Form::Number}); }
    bool number_unsigned(std::uint64_t value) { return Value(ColumnInput{std::to_string(value), ColumnInput::Form::Number}); }
    bool number_float(double, const std::string& text) { return Value(ColumnInput{text, ColumnInput::Form::Other}); }
    bool string(std::string& value) { return Value(ColumnInput{std::move(value), ColumnInput::Form::String}); }
    bool binary(binary_t&) { return Value(ColumnInput{"binary data", ColumnInput::Form::Other}); }
    bool start_object(std::size_t) { return Open(true); }
    bool start_array(std::size_t) { return Open(false); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(std::string& key)
    {
        if (depth_ != ItemDepth()) return true;
        column_ = ExportColumnOf(key);
        if (!column_) return Stop(UnknownImportColumn(key, "row " + std::to_string(rows_.size()) + ": "));
        return true;
    }
    bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception&)
    {
        if (!error_) error_ = ImportRefusal("the file is not JSON (at byte " + std::to_string(at) + ")");
        return false;
    }

    Result<std::vector<ImportRow>> Take()
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
    bool NotAnItem() { return Stop(ImportRefusal("row " + std::to_string(rows_.size() + 1) + " is not an item")); }

    bool Value(ColumnInput cell)
    {
        if (depth_ == 0) return Stop(ImportRefusal("the file holds neither a list of items nor one item"));
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
            Value(ColumnInput{object ? "an object" : "a list", ColumnInput::Form::Other});
        }
        ++depth_;
        return true;
    }
    bool Close()
    {
        --depth_;
        return true;
    }

    std::vector<ImportRow> rows_;
    std::optional<Error> error_;
    int depth_ = 0;
    bool oneItem_ = false;
    std::optional<std::size_t> column_;
};

}  // namespace

Result<std::vector<ImportRow>> ReadJsonRows(std::string_view file)
{
    JsonRows rows;
    if (!nlohmann::json::sax_parse(file, &rows)) {
        auto result = rows.Take();
        if (result) return ImportRefusal("the file is not JSON");
        return result;
    }
    return rows.Take();
}

}  // namespace quillbox
