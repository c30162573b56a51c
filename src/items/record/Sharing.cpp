#include "items/record/Sharing.h"

#include "items/record/ItemOperations.h"

#include <algorithm>

namespace quillbox {

namespace {

constexpr int kImageEntrySize = 8;

// The place a pointer word names, or -1; `word` is where it stands, `bytes` holds it at `base`.
std::int64_t PointerTarget(std::span<const Byte> bytes, std::int64_t base, std::int64_t word, std::int64_t fileSize)
{
    const std::int64_t at = word - base;
    if (at < 0 || at + 4 > static_cast<std::int64_t>(bytes.size())) {
        return -1;
    }
    const auto i = static_cast<std::size_t>(at);
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[i]) | static_cast<std::uint32_t>(bytes[i + 1]) << 8 |
                                static_cast<std::uint32_t>(bytes[i + 2]) << 16 |
                                static_cast<std::uint32_t>(bytes[i + 3]) << 24;
    if (value < kRomBase || value >= kRomAddressEnd || value - kRomBase >= fileSize) {
        return -1;
    }
    return value - kRomBase;
}

// Builds the lists from the item table and the image table, each held with its file offset.
ItemPointers Collect(const RomState& state, std::span<const Byte> itemTable, std::int64_t itemBase,
                     std::span<const Byte> imageTable, std::int64_t imageBase, std::int64_t fileSize)
{
    ItemPointers pointers;
    const GameFamily* family = state.Family();
    if (family == nullptr) {
        return pointers;
    }
    for (int position = 0; position < state.ItemCount(); ++position) {
        const std::int64_t word =
            static_cast<std::int64_t>(state.itemTableOffset) + std::int64_t{kItemRecordSize} * position + ItemField::DescPointer;
        pointers.descriptionWord.push_back(word);
        pointers.description.push_back(PointerTarget(itemTable, itemBase, word, fileSize));
        if (family->hasImages) {
            const std::int64_t entry = static_cast<std::int64_t>(state.imageTableOffset) + std::int64_t{kImageEntrySize} * position;
            pointers.imageWord.push_back(entry);
            pointers.image.push_back(PointerTarget(imageTable, imageBase, entry, fileSize));
            pointers.paletteWord.push_back(entry + 4);
            pointers.palette.push_back(PointerTarget(imageTable, imageBase, entry + 4, fileSize));
        }
    }
    return pointers;
}

std::vector<int> Users(std::span<const std::int64_t> places, std::int64_t offset, int except)
{
    std::vector<int> users;
    if (offset < 0) {
        return users;
    }
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (places[i] == offset && static_cast<int>(i) != except) {
            users.push_back(static_cast<int>(i));
        }
    }
    return users;
}

SharedPlace Shared(const ItemPointers& pointers, const PointerTargets* targets, std::int64_t offset,
                   std::vector<int> items)
{
    SharedPlace place{offset, std::move(items), std::nullopt};
    if (targets != nullptr && offset >= 0) {
        const std::uint32_t all = targets->CountAt(offset);
        const std::uint32_t own = pointers.ItemWordsNaming(offset);
        place.otherPointers = all > own ? all - own : 0;
    }
    return place;
}

}  // namespace

std::vector<int> ItemPointers::DescriptionUsers(std::int64_t offset, int except) const
{
    return Users(description, offset, except);
}

std::vector<int> ItemPointers::ImageDataUsers(std::int64_t offset, int except) const
{
    std::vector<int> users = Users(image, offset, except);
    const std::vector<int> palettes = Users(palette, offset, except);
    users.insert(users.end(), palettes.begin(), palettes.end());
    std::sort(users.begin(), users.end());
    users.erase(std::unique(users.begin(), users.end()), users.end());
    return users;
}

std::uint32_t ItemPointers::ItemWordsNaming(std::int64_t offset) const
{
    std::uint32_t count = 0;
    // A scan counts only words on a 4-byte boundary.
    auto tally = [&](const std::vector<std::int64_t>& places, const std::vector<std::int64_t>& words) {
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (places[i] == offset && words[i] % 4 == 0) ++count;
        }
    };
    tally(description, descriptionWord);
    tally(image, imageWord);
    tally(palette, paletteWord);
    return count;
}

ItemPointers ItemPointersFromRom(const RomState& state, std::span<const Byte> rom)
{
    const auto size = static_cast<std::int64_t>(rom.size());
    return Collect(state, rom, 0, rom, 0, size);
}

Result<ItemPointers> ReadItemPointers(const RomState& state)
{
    const GameFamily* family = state.Family();  // known once the file opens
    auto file = OpenItemTableRom(state);
    if (!file) {
        return file.error();
    }
    const std::int64_t items = state.ItemCount();
    auto itemTable = file->ReadAt(state.itemTableOffset, kItemRecordSize * items);
    if (!itemTable) {
        return itemTable.error();
    }
    Bytes imageTable;
    if (family->hasImages) {
        auto block = file->ReadAt(state.imageTableOffset, kImageEntrySize * items);
        if (!block) {
            return block.error();
        }
        imageTable = std::move(*block);
    }
    return Collect(state, *itemTable, state.itemTableOffset, imageTable, state.imageTableOffset, file->Size());
}

std::vector<int> ItemSharing::ImageSharedWith() const
{
    std::vector<int> items;
    for (const auto& place : {image, palette}) {
        if (place) items.insert(items.end(), place->items.begin(), place->items.end());
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

ItemSharing FindSharing(const ItemPointers& pointers, const PointerTargets* targets, int position)
{
    ItemSharing sharing;
    const auto at = static_cast<std::size_t>(position);
    if (position < 0 || at >= pointers.description.size()) {
        return sharing;
    }
    const std::int64_t description = pointers.description[at];
    sharing.description = Shared(pointers, targets, description, pointers.DescriptionUsers(description, position));
    if (at < pointers.image.size()) {
        const std::int64_t image = pointers.image[at];
        const std::int64_t palette = pointers.palette[at];
        sharing.image = Shared(pointers, targets, image, Users(pointers.image, image, position));
        sharing.palette = Shared(pointers, targets, palette, Users(pointers.palette, palette, position));
    }
    return sharing;
}

namespace {

// The end mark of a description starting at `start`, an argument of a control code skipped;
// the search gives up where a description read would (256 bytes).
std::int64_t DescriptionEnd(std::span<const Byte> rom, std::int64_t start)
{
    bool argument = false;
    const auto last = std::min<std::int64_t>(start + 256, static_cast<std::int64_t>(rom.size()));
    for (std::int64_t at = start; at < last; ++at) {
        const Byte b = rom[static_cast<std::size_t>(at)];
        if (argument) {
            argument = false;
        } else if (b == 0xFF) {
            return at;
        } else if (b == 0xFC || b == 0xFD) {
            argument = true;
        }
    }
    return -1;
}

PlaceUse FreeOrUnused(std::span<const Byte> rom, const PointerTargets& targets, std::int64_t offset)
{
    const bool free = offset >= 0 && offset < static_cast<std::int64_t>(rom.size()) &&
                      rom[static_cast<std::size_t>(offset)] == 0xFF && targets.CountAt(offset) == 0;
    return {free ? PlaceUse::Kind::Free : PlaceUse::Kind::UnusedData, {}};
}

}  // namespace

PlaceUse DescribeDescriptionPlace(std::span<const Byte> rom, const PointerTargets& targets,
                                  const ItemPointers& pointers, std::int64_t offset, int position)
{
    std::vector<int> users;
    for (std::size_t i = 0; i < pointers.description.size(); ++i) {
        const std::int64_t start = pointers.description[i];
        if (static_cast<int>(i) == position || start < 0 || start > offset) continue;
        const std::int64_t end = DescriptionEnd(rom, start);
        if (end >= offset) users.push_back(static_cast<int>(i));
    }
    if (!users.empty()) {
        return {PlaceUse::Kind::UsedByItems, std::move(users)};
    }
    return FreeOrUnused(rom, targets, offset);
}

PlaceUse DescribeImagePlace(std::span<const Byte> rom, const PointerTargets& targets, const ItemPointers& pointers,
                            std::int64_t offset, int position)
{
    if (std::vector<int> users = pointers.ImageDataUsers(offset, position); !users.empty()) {
        return {PlaceUse::Kind::UsedByItems, std::move(users)};
    }
    return FreeOrUnused(rom, targets, offset);
}

}  // namespace quillbox
