#pragma once

#include "items/record/ItemOperations.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillbox {

// An item's fields as its 44-byte record holds them; the description is left to
// DecodeItemDescription, because it lies elsewhere in the file.
ItemView DecodeItemRecord(int position, std::span<const Byte> record);

// Fills the description of an item from the bytes at its description pointer (at most 256 are
// looked at; fewer near the end of the file). Without a terminator the description stays empty
// and unreadable.
void DecodeItemDescription(ItemView& item, std::span<const Byte> bytes);

// The number of bytes before the first terminator that is not the argument of a control code,
// or -1 when there is none.
int TerminatorPosition(std::span<const Byte> bytes);

// Names of `length` bytes lying `stride` bytes apart, decoded as the lists show them: every
// "\x" removed, nothing trimmed.
std::vector<Text> DecodeNames(std::span<const Byte> block, int count, int stride, int length);
// The names of `count` item records (their first 14 bytes).
std::vector<Text> DecodeItemNames(std::span<const Byte> records, int count);

// Every item of the open ROM as ReadItem shows it, read with a few block reads: the item table,
// the TM/HM move list and the image table once each, and the descriptions together when they lie
// near one another.
Result<std::vector<ItemView>> ReadItemTable(const RomState& state);

}  // namespace quillbox
