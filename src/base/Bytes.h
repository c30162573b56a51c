#pragma once

#include <cstdint>
#include <vector>

namespace quillbox {

using Byte = std::uint8_t;
using Bytes = std::vector<Byte>;

}  // namespace quillbox
