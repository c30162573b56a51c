#pragma once

#include "image/ItemIcon.h"
#include "items/opening/RomOpening.h"
#include "items/opening/RomState.h"
#include "base/Error.h"
#include "rom/Patch.h"
#include "rom/Profile.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// Byte offsets inside a 44-byte item record.
namespace ItemField {
inline constexpr int Name = 0;
inline constexpr int Index = 14;
inline constexpr int Price = 16;
inline constexpr int DescPointer = 20;
inline constexpr int FieldUsageCodePointer = 28;
inline constexpr int BattleUsageCodePointer = 36;
}  // namespace ItemField

// The item list as the window lists it, read again after a save.
Result<std::vector<Text>> ListItemNames(const RomState& state);

// One item as the window shows it.
struct ItemView {
    int position = 0;
    Text name;  // every "\x" removed, trailing spaces trimmed
    std::uint16_t index = 0;
    std::uint16_t price = 0;
    std::uint8_t holdEffect = 0;
    std::uint8_t holdEffectParam = 0;
    std::uint8_t importance = 0;
    std::uint8_t registrability = 0;
    std::uint8_t pocket = 0;
    std::uint8_t type = 0;
    std::uint8_t battleUsage = 0;
    std::uint8_t secondaryId = 0;
    std::string fieldUsageCodePointer;   // six digits, leading zeros kept
    std::string battleUsageCodePointer;  // six digits, leading zeros kept
    // The code pointers' top bytes, which the six digits leave out: 0x08 (0x09 past 16 MiB) for
    // a routine in the ROM, 0 for none. The game calls any pointer that is not 0 as a whole.
    std::uint8_t fieldUsageCodePointerTop = 0;
    std::uint8_t battleUsageCodePointerTop = 0;
    std::int64_t descriptionOffset = 0;  // negative for a pointer below 0x08000000
    std::string descriptionOffsetText;   // as Text3 shows it
    Text description;                    // line breaks as carriage return + line feed
    // False when no terminator was found where the description is looked for, or the pointer
    // names no place in the file: the description then shows empty and a save leaves it alone.
    bool descriptionReadable = false;
    int descriptionRoom = 0;       // characters, a line break counting two (Text2)
    int descriptionRoomBytes = 0;  // bytes a save may write there, terminator included
    std::optional<std::uint16_t> tmMove;  // items 289 to 346 only, while the TM/HM list is known
    bool tmMoveUnknown = false;           // a TM/HM item of a ROM whose TM/HM list is unknown
    std::optional<std::string> imageOffsetText;    // games with item images only
    std::optional<std::string> paletteOffsetText;  // games with item images only
};

Result<ItemView> ReadItem(const RomState& state, int position);
// The same from the ROM opened with OpenOpenedRom, for a caller reading more of it at once.
Result<ItemView> ReadItem(const RomState& state, RomFile& file, int position);

// Characters as the description counters count them: a line break counts two.
int CountDescriptionCharacters(TextView description);

// Where a save writes the description and how many bytes, terminator included, fit there.
struct DescriptionPlace {
    std::int64_t offset = 0;
    int roomBytes = 0;
};

// What a save changes; an empty member leaves that field exactly as it is stored.
struct ItemEdit {
    std::optional<Text> name;
    std::optional<std::uint16_t> index;
    std::optional<std::uint16_t> price;
    std::optional<std::uint8_t> holdEffect;
    std::optional<std::uint8_t> holdEffectParam;
    std::optional<std::uint8_t> importance;
    std::optional<std::uint8_t> registrability;
    std::optional<std::uint8_t> pocket;
    std::optional<std::uint8_t> type;
    std::optional<std::uint8_t> battleUsage;
    std::optional<std::uint8_t> secondaryId;
    std::optional<std::string> fieldUsageCodePointer;   // hex text, brought to six digits
    std::optional<std::string> battleUsageCodePointer;  // hex text, brought to six digits
    // A code pointer's top byte as another item holds it (Use like copies pointers whole); empty
    // lets the save give the six digits the top byte a routine has (see CodePointerOf).
    std::optional<std::uint8_t> fieldUsageCodePointerTop;
    std::optional<std::uint8_t> battleUsageCodePointerTop;
    std::optional<Text> description;  // line breaks as "\r\n" or "\n"
    std::optional<std::uint16_t> tmMove;  // items 289 to 346 only
    // Characters of the name or description that the game's character set lacks are written as
    // spaces instead of refusing the save.
    bool replaceUnknownCharacters = false;
};

// The characters of the edit's name and description that a save writes as spaces (see
// UnknownCharacters): the name's first, then the description's as the save encodes it, each once.
Text UnknownCharactersOf(const ItemEdit& edit);
// Refuses (UnknownCharacters) a name or description holding such characters, naming them and
// their field, unless the edit asks to replace them.
Status CheckUnknownCharacters(const ItemEdit& edit);

// Checks every value first and writes nothing when any is refused; then writes all of them and
// puts back what it wrote if a write fails part-way, so the save lands whole or not at all.
Status SaveItem(const RomState& state, int position, const ItemEdit& edit, const DescriptionPlace& description);

// A name's bytes as a save writes them: the encoded text, then 0xFF up to 14 bytes.
Result<Bytes> EncodeItemName(TextView name);
// A description's bytes as a save writes them: line breaks become 0xFE, 0xFF ends it.
Bytes EncodeDescription(TextView description);

// Description repointing: the item's pointer now names `offsetText` (hex, empty is 0), and the
// description shown is what lies there.
struct DescriptionRepoint {
    std::int64_t offset = 0;
    Text description;
    bool readable = false;   // false when no terminator lies within reach of the new place
    bool freeSpace = false;  // the place begins with free 0xFF bytes
    int room = 0;            // Text2
    int roomBytes = 0;
};
Result<DescriptionRepoint> RepointDescription(const RomState& state, int position, std::string_view offsetText);

// The two offsets of an item's icon as six digits each.
struct ImageOffsets {
    std::string imageOffsetText;
    std::string paletteOffsetText;
};
Result<ImageOffsets> ReadImageOffsets(const RomState& state, int position);

// Reads both compressed streams (bytes past the end of the file read as zero) and decodes the icon.
Result<IconPixels> ReadItemIcon(const std::filesystem::path& rom, std::int64_t imageOffset, std::int64_t paletteOffset);
// The same for the open ROM, refusing a file that changed on disk since it was opened.
Result<IconPixels> ReadItemIcon(const RomState& state, std::int64_t imageOffset, std::int64_t paletteOffset);
Result<IconPixels> ReadItemIcon(RomFile& file, std::int64_t imageOffset, std::int64_t paletteOffset);

// Writes the low three bytes of both icon pointers of an item; hex texts, empty is 0.
Status RepointItemImage(const RomState& state, int position, std::string_view imageOffsetText,
                        std::string_view paletteOffsetText);

// The same operations as plans: each checks everything and returns the bytes it would write,
// writing nothing, so that several changes can land together in one all-or-nothing write.
Result<std::vector<Patch>> PlanSave(const RomState& state, int position, const ItemEdit& edit,
                                    const DescriptionPlace& description);
struct PlannedDescriptionRepoint {
    DescriptionRepoint repoint;
    Patch pointer;
};
Result<PlannedDescriptionRepoint> PlanDescriptionRepoint(const RomState& state, int position,
                                                          std::string_view offsetText);
Result<std::vector<Patch>> PlanImageRepoint(const RomState& state, int position, std::string_view imageOffsetText,
                                            std::string_view paletteOffsetText);
// Opens the ROM of an opened state, refusing a file that is no longer the one that was opened.
Result<RomFile> OpenOpenedRom(const RomState& state);

// The same for reading the item table: refuses (UnsupportedRom) a state of none of the five games.
Result<RomFile> OpenItemTableRom(const RomState& state);

// Writes planned bytes to the open ROM, all or nothing, through the one write door: the change
// is recorded in the ROM's history under `label` unless the state turns the history off. A label
// with an item position and no name is given the item's name as the write leaves it.
Status ApplyToRom(const RomState& state, std::span<const Patch> patches, const ChangeLabel& label);

}  // namespace quillbox
