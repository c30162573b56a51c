#pragma once

#include <string_view>

namespace quillbox {

// How a record of a CSV file ends as this system's spreadsheets and editors expect it: a carriage
// return and a line feed on Windows, a line feed alone elsewhere.
std::string_view CsvRecordEnd();

}  // namespace quillbox
