#include "platform/LineEnds.h"

namespace quillbox {

std::string_view CsvRecordEnd() { return "\r\n"; }

}  // namespace quillbox
