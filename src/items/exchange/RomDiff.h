#pragma once

#include "items/exchange/ItemExport.h"
#include "items/record/ItemOperations.h"

#include <vector>

namespace quillbox {

// Every field of every item that differs between two ROMs of the same game, each read through
// its own profile offsets, in position order and then in column order (`before` is the first
// ROM's value). Refuses ROMs of different games.
Result<std::vector<ItemChange>> DiffItems(const OpenedRom& first, const OpenedRom& second);

}  // namespace quillbox
