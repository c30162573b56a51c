#pragma once

#include "items/opening/RomState.h"
#include "items/record/Sharing.h"
#include "rom/Patch.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// The words the window and the page show the user, in UTF-8, so that both say the same.
inline constexpr std::string_view kProgramTitle = "Quillbox";
inline constexpr std::string_view kItemChanged = "Item Changed";
inline constexpr std::string_view kUnsupportedRom = "Unsupported ROM or no ROM opened!";
inline constexpr std::string_view kImagesNotExpected = "This shouldnt be enabled. Please report this";
inline constexpr std::string_view kAddItemTitle = "Add Item";
inline constexpr std::string_view kAddItemQuestion = "Add an item like:";
inline constexpr std::string_view kAddItemNameLabel = "Name (empty keeps the other's):";
inline constexpr std::string_view kTmMoveUnavailable = "unavailable";
inline constexpr std::string_view kTmMovesUnknownTip = "This ROM's TM/HM move list is unknown";
inline constexpr std::string_view kAuthorshipLine = "Quillbox 1.0.0, written by the Quillbox authors";
// What the pocket list holds before a ROM is opened; a ROM's game then gives its own.
inline constexpr std::array<std::string_view, 6> kStartupPocketEntries{"???",     "General", "Key Items",
                                                                       "Poke Balls", "TM Case", "Berry Pouch"};

// The title of the message box that shows an error: "Error: " and its number.
std::string ErrorTitle(const Error& error);

// The About dialog.
inline constexpr std::string_view kAboutTitle = "About Quillbox";
inline constexpr std::string_view kAboutVersion = "Version: 1.0.0";
inline constexpr std::string_view kAboutCredits =
    "Credits:\n"
    "Quillbox edits the item table of Game Boy Advance ROM images: names, prices, pockets, "
    "descriptions, usage code pointers and item icons.\n"
    "The game text table, the LZ77 decoder and the icon drawing were written for this project. "
    "The banner and the icon are drawn by a script that ships with the source.";
inline constexpr std::string_view kAboutDisclaimer = "Written by the Quillbox authors.";

// "1 other item", "3 other items".
std::string OtherItems(std::size_t count);
// "10, 12 and 3 more": a message names a few positions, not hundreds.
std::string NamePositions(const std::vector<int>& items);

// What opening said beside the ROM it opened, one line each.
std::string OpenedWithWarnings(std::span<const std::string> warnings);
// After a description Repoint to a place where no text ends within reach.
std::string DescriptionWithoutRoom(std::string_view offsetText);
std::string IconImported(std::int64_t imageOffset, std::int64_t paletteOffset);

// How the history names "Use like…" of the item at `position`, from every front end alike: the
// write gives it the item's name, "Use Like of POTION".
ChangeLabel UseLikeChange(int position);

// Who else uses the shown item's description, or its icon's tiles and palette: the tooltip of
// the description box and of the icon. Empty when nothing is known (no ROM, no icons).
std::string DescriptionSharingTip(const RomState& state, int position);
std::string IconSharingTip(const RomState& state, int position);

// What lies at the places a Repoint is about to point the item at, said once it is done.
std::string DescribeDescriptionTarget(const RomState& state, int position, std::int64_t offset);
std::string DescribeImageTargets(const RomState& state, int position, std::int64_t imageOffset,
                                 std::int64_t paletteOffset);

}  // namespace quillbox
