#include "platform/LineEnds.h"

namespace quillbox {

std::string_view CsvRecordEnd() { return "\n"; }

}  // namespace quillbox
