#pragma once

#include "items/opening/RomState.h"
#include "base/Error.h"
#include "rom/PointerScan.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillbox {

// The places each item's pointers name, as file offsets; -1 for a pointer that names no place in
// the file. The image and palette lists are empty for a game without icons.
struct ItemPointers {
    std::vector<std::int64_t> description;
    std::vector<std::int64_t> image;
    std::vector<std::int64_t> palette;
    // File offsets of the pointer words themselves, in the same order, so that their own count
    // can be told apart from the rest of the ROM's pointers.
    std::vector<std::int64_t> descriptionWord;
    std::vector<std::int64_t> imageWord;
    std::vector<std::int64_t> paletteWord;

    // The items, `except` left out, whose description pointer names `offset`.
    std::vector<int> DescriptionUsers(std::int64_t offset, int except = -1) const;
    // The items, `except` left out, whose image or palette pointer names `offset`.
    std::vector<int> ImageDataUsers(std::int64_t offset, int except = -1) const;
    // How many of the item tables' own pointer words a pointer scan counts for `offset`.
    std::uint32_t ItemWordsNaming(std::int64_t offset) const;
};

// Reads the item table and, for games with icons, the image table of the open ROM.
Result<ItemPointers> ReadItemPointers(const RomState& state);
ItemPointers ItemPointersFromRom(const RomState& state, std::span<const Byte> rom);

// Who else uses the data at one place.
struct SharedPlace {
    std::int64_t offset = -1;
    std::vector<int> items;  // the other items whose pointers name it, ascending
    // Words elsewhere in the ROM naming it; unknown without a pointer scan.
    std::optional<std::uint32_t> otherPointers;
};

struct ItemSharing {
    SharedPlace description;
    std::optional<SharedPlace> image;    // games with icons only
    std::optional<SharedPlace> palette;  // games with icons only

    // The other items that share the icon's tiles or its palette, ascending.
    std::vector<int> ImageSharedWith() const;
};

// `targets` may be null when the other pointers need not be counted.
ItemSharing FindSharing(const ItemPointers& pointers, const PointerTargets* targets, int position);

// What a place held before an item was pointed at it by hand.
struct PlaceUse {
    enum class Kind { Free, UsedByItems, UnusedData };
    Kind kind = Kind::UnusedData;
    std::vector<int> items;  // the other items using it
};
// For a description: free when it reads 0xFF and nothing names it; used when it lies within the
// text of other items' descriptions (their start up to their end mark).
PlaceUse DescribeDescriptionPlace(std::span<const Byte> rom, const PointerTargets& targets,
                                  const ItemPointers& pointers, std::int64_t offset, int position);
// For icon data: used when other items' image or palette pointers name it.
PlaceUse DescribeImagePlace(std::span<const Byte> rom, const PointerTargets& targets, const ItemPointers& pointers,
                            std::int64_t offset, int position);

}  // namespace quillbox
