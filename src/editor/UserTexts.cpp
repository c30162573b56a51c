#include "editor/UserTexts.h"

#include "items/record/RomSpace.h"
#include "base/HexText.h"

namespace quillbox {

namespace {

std::string Hex(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

std::string SharedText(const SharedPlace& place)
{
    std::string text = place.items.empty()
                           ? std::string("used by this item only")
                           : "shared with " + OtherItems(place.items.size()) + " (" + NamePositions(place.items) + ")";
    if (place.otherPointers && *place.otherPointers > 0) {
        text += *place.otherPointers == 1 ? std::string(", and 1 more pointer of the ROM names it")
                                          : ", and " + std::to_string(*place.otherPointers) + " more pointers of the ROM name it";
    }
    return text;
}

std::string PlaceText(const PlaceUse& use, std::string_view what)
{
    const std::string place = "The new " + std::string(what) + " place ";
    switch (use.kind) {
    case PlaceUse::Kind::Free: return place + "was free space.";
    case PlaceUse::Kind::UsedByItems:
        return place + "held " + (what == "description" ? "text" : "data") + " used by " + OtherItems(use.items.size()) + ".";
    case PlaceUse::Kind::UnusedData: break;
    }
    return place + "held data no item uses.";
}

std::optional<ItemSharing> SharingOf(const RomState& state, int position)
{
    if (state.Family() == nullptr || position < 0) return std::nullopt;
    auto rom = ReadRomImage(state);
    if (!rom) return std::nullopt;
    return FindSharing(ItemPointersFromRom(state, rom->bytes), &rom->targets, position);
}

}  // namespace

std::string ErrorTitle(const Error& error) { return "Error: " + std::to_string(error.Number()); }

std::string OtherItems(std::size_t count)
{
    return count == 1 ? std::string("1 other item") : std::to_string(count) + " other items";
}

std::string NamePositions(const std::vector<int>& items)
{
    constexpr std::size_t kNamed = 8;
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < kNamed; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(items[i]);
    }
    if (items.size() > kNamed) text += " and " + std::to_string(items.size() - kNamed) + " more";
    return text;
}

std::string OpenedWithWarnings(std::span<const std::string> warnings)
{
    std::string text = "The ROM was opened with these warnings:";
    for (const std::string& warning : warnings) text += "\n- " + warning;
    return text;
}

std::string DescriptionWithoutRoom(std::string_view offsetText)
{
    return "No description ends within 110 bytes of offset " + std::string(offsetText) +
           ": the item now points there, and its description has no room.";
}

std::string IconImported(std::int64_t imageOffset, std::int64_t paletteOffset)
{
    return "Icon imported into free space: image at " + Hex(imageOffset) + ", palette at " + Hex(paletteOffset) + ".";
}

ChangeLabel UseLikeChange(int position) { return ChangeLabel("Use Like", position); }

std::string DescriptionSharingTip(const RomState& state, int position)
{
    const auto sharing = SharingOf(state, position);
    return sharing ? "Description " + SharedText(sharing->description) : std::string();
}

std::string IconSharingTip(const RomState& state, int position)
{
    const auto sharing = SharingOf(state, position);
    if (!sharing || !sharing->image || !sharing->palette) return {};
    return "Image " + SharedText(*sharing->image) + "\nPalette " + SharedText(*sharing->palette);
}

std::string DescribeDescriptionTarget(const RomState& state, int position, std::int64_t offset)
{
    auto rom = ReadRomImage(state);
    if (!rom) return {};
    const ItemPointers pointers = ItemPointersFromRom(state, rom->bytes);
    return PlaceText(DescribeDescriptionPlace(rom->bytes, rom->targets, pointers, offset, position), "description");
}

std::string DescribeImageTargets(const RomState& state, int position, std::int64_t imageOffset, std::int64_t paletteOffset)
{
    auto rom = ReadRomImage(state);
    if (!rom) return {};
    const ItemPointers pointers = ItemPointersFromRom(state, rom->bytes);
    return PlaceText(DescribeImagePlace(rom->bytes, rom->targets, pointers, imageOffset, position), "image") + " " +
           PlaceText(DescribeImagePlace(rom->bytes, rom->targets, pointers, paletteOffset, position), "palette");
}

}  // namespace quillbox
