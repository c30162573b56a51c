// Input: a mode byte, a flag byte, the file size in 2-byte units (0: the ROM bytes as they are),
// four 16-bit table offsets, a profile length, then (in the raw-profile mode) the profile text and
// the ROM bytes. The ROM bytes repeat up to the file size, so that a few kilobytes of input make
// a file large enough for every table while the fuzzer still decides every byte of it.
//
// Modes 0 to 4 write one of the five known header codes at 0xAC and a profile for it; mode 5
// writes a profile for whatever code the file holds; mode 6 writes a code taken from the input;
// mode 7 takes the whole profile text from the input. A ROM that opens must then read every
// item, every image offset and the icons they name, and what is read must match the file.

#include "ExpectedRoundTrip.h"
#include "FuzzSupport.h"

#include "image/ItemIcon.h"
#include "items/record/ItemOperations.h"
#include "rom/GameFamily.h"
#include "base/HexText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using quillbox::Byte;
using quillbox::Bytes;
using quillbox::fuzz::InputReader;

constexpr int kModes = 8;
constexpr int kProfileFromFileCodeMode = 5;
constexpr int kCodeFromInputMode = 6;
constexpr int kRawProfileMode = 7;
constexpr std::size_t kHeaderCodeEnd = quillbox::kHeaderCodeOffset + 4;
// Each icon decodes two buffers of 32193 bytes; a few distinct icons per run keep runs fast.
constexpr std::size_t kMostIconsChecked = 4;
constexpr std::int64_t kDescriptionReadSize = 256;

enum ProfileFlag : std::uint8_t {
    kDecimal = 1,
    kOmitImageTable = 2,
    kLowerCaseSection = 4,
    kOtherSectionsFirst = 8,
    kBlanksAroundValues = 16,
    kIndexesAsGiven = 32,
};

// Opening refuses an item table whose Index fields mostly differ from their positions, so unless
// the input asks for its own bytes there, each record's Index is set to its position and the
// fuzzer's bytes reach the readers behind that check.
constexpr int kMostItemsChecked = 377;
constexpr std::size_t kIndexField = 14;

struct Layout {
    int mode = 0;
    std::uint8_t flags = 0;
    std::size_t fileSize = 0;
    std::array<std::uint16_t, 4> offsets{};
    std::string headerCode;
    std::string profileText;
    Bytes rom;
};

Bytes RepeatToSize(std::span<const Byte> pattern, std::size_t size)
{
    if (size == 0) return Bytes(pattern.begin(), pattern.end());
    Bytes file(size, 0);
    if (!pattern.empty()) {
        for (std::size_t i = 0; i < size; ++i) file[i] = pattern[i % pattern.size()];
    }
    return file;
}

std::string FormatOffset(std::uint16_t offset, std::uint8_t flags)
{
    std::string text = (flags & kDecimal) != 0 ? std::to_string(offset) : "&H" + quillbox::NumberToHex(offset);
    if ((flags & kBlanksAroundValues) != 0) text = " \t" + text + " \r";
    return text;
}

std::string GeneratedProfile(std::string_view section, const Layout& layout)
{
    std::string profile;
    if ((layout.flags & kOtherSectionsFirst) != 0) {
        profile += "; tables of other games\n[BPRX]\nItemData=&H10\n[]\n=\n";
    }
    std::string name(section);
    if ((layout.flags & kLowerCaseSection) != 0) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    }
    profile += "[" + name + "]\n";
    const std::array<std::string_view, 4> keys{"ItemData", "AttackNames", "TMData", "IMGData"};
    const std::size_t keyCount = (layout.flags & kOmitImageTable) != 0 ? 3 : 4;
    for (std::size_t k = 0; k < keyCount; ++k) {
        profile += std::string(keys[k]) + "=" + FormatOffset(layout.offsets[k], layout.flags) + "\n";
    }
    return profile;
}

Layout ReadLayout(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    Layout layout;
    layout.mode = input.Byte() % kModes;
    layout.flags = input.Byte();
    layout.fileSize = std::size_t{input.Le16()} * 2;
    for (std::uint16_t& offset : layout.offsets) offset = input.Le16();
    const std::size_t profileLength = input.Byte();
    if (layout.mode == kCodeFromInputMode) {
        layout.headerCode = std::string(input.TakeText(4));
        layout.headerCode.resize(4, ' ');
    } else if (layout.mode < static_cast<int>(quillbox::kKnownHeaderCodes.size())) {
        layout.headerCode = std::string(quillbox::kKnownHeaderCodes[static_cast<std::size_t>(layout.mode)]);
    }
    if (layout.mode == kRawProfileMode) layout.profileText = std::string(input.TakeText(profileLength));

    layout.rom = RepeatToSize(input.Rest(), layout.fileSize);
    if (!layout.headerCode.empty() && layout.rom.size() >= kHeaderCodeEnd) {
        std::copy(layout.headerCode.begin(), layout.headerCode.end(), layout.rom.begin() + quillbox::kHeaderCodeOffset);
    }
    if ((layout.flags & kIndexesAsGiven) == 0 && layout.mode != kRawProfileMode) {
        for (int position = 0; position < kMostItemsChecked; ++position) {
            const std::size_t at = layout.offsets[0] + static_cast<std::size_t>(position) * quillbox::kItemRecordSize + kIndexField;
            if (at + 2 > layout.rom.size()) break;
            layout.rom[at] = static_cast<Byte>(position & 0xFF);
            layout.rom[at + 1] = static_cast<Byte>(position >> 8);
        }
    }
    if (layout.mode == kProfileFromFileCodeMode) {
        layout.headerCode = layout.rom.size() >= kHeaderCodeEnd
                                ? std::string(layout.rom.begin() + quillbox::kHeaderCodeOffset,
                                              layout.rom.begin() + kHeaderCodeEnd)
                                : "BPRE";
    }
    if (layout.mode != kRawProfileMode) layout.profileText = GeneratedProfile(layout.headerCode, layout);
    return layout;
}

std::uint16_t Le16At(const Bytes& rom, std::int64_t offset)
{
    const auto at = static_cast<std::size_t>(offset);
    return static_cast<std::uint16_t>(rom[at] | (rom[at + 1] << 8));
}

// `count` bytes at `offset`, those past the end of the file as 0.
Bytes ZeroFilledSlice(const Bytes& rom, std::int64_t offset, std::size_t count)
{
    Bytes slice(count, 0);
    if (offset >= 0 && static_cast<std::size_t>(offset) < rom.size()) {
        const std::size_t available = std::min(count, rom.size() - static_cast<std::size_t>(offset));
        std::copy_n(rom.begin() + offset, available, slice.begin());
    }
    return slice;
}

quillbox::Text TrimTrailingSpaces(quillbox::Text text)
{
    while (!text.empty() && text.back() == U' ') text.pop_back();
    return text;
}

void CheckTablesInside(const quillbox::OpenedRom& opened, std::size_t fileSize)
{
    const auto& state = opened.state;
    const auto inside = [fileSize](std::int64_t offset, std::int64_t size) {
        return offset >= 0 && offset + size <= static_cast<std::int64_t>(fileSize);
    };
    const int items = opened.state.ItemCount();
    QUILLBOX_FUZZ_CHECK(inside(state.itemTableOffset, std::int64_t{quillbox::kItemRecordSize} * items));
    QUILLBOX_FUZZ_CHECK(inside(state.moveNamesOffset, std::int64_t{quillbox::kMoveNameSize} * quillbox::kMoveCount));
    QUILLBOX_FUZZ_CHECK(inside(state.tmMovesOffset, 2 * (quillbox::kLastTmItem - quillbox::kFirstTmItem + 1)));
    if (opened.family->hasImages) QUILLBOX_FUZZ_CHECK(inside(state.imageTableOffset, std::int64_t{8} * items));
    QUILLBOX_FUZZ_CHECK(opened.itemNames.size() == static_cast<std::size_t>(items));
    QUILLBOX_FUZZ_CHECK(opened.moveNames.size() == static_cast<std::size_t>(quillbox::kMoveCount));
}

// A description shown as readable must be exactly what an unedited save writes back.
void CheckDescription(const quillbox::ItemView& item, const Bytes& rom)
{
    if (!item.descriptionReadable) {
        QUILLBOX_FUZZ_CHECK(item.description.empty());
        return;
    }
    QUILLBOX_FUZZ_CHECK(item.descriptionOffset >= 0 && item.descriptionOffset < static_cast<std::int64_t>(rom.size()));
    QUILLBOX_FUZZ_CHECK(item.descriptionRoomBytes >= 1 && item.descriptionRoomBytes <= kDescriptionReadSize);
    QUILLBOX_FUZZ_CHECK(item.descriptionOffset + item.descriptionRoomBytes <= static_cast<std::int64_t>(rom.size()));
    QUILLBOX_FUZZ_CHECK(item.descriptionRoom == quillbox::CountDescriptionCharacters(item.description));
    const auto first = rom.begin() + item.descriptionOffset;
    const std::span<const Byte> stored(&*first, static_cast<std::size_t>(item.descriptionRoomBytes));
    QUILLBOX_FUZZ_CHECK(stored.back() == 0xFF);
    QUILLBOX_FUZZ_CHECK(quillbox::EncodeDescription(item.description) == quillbox::fuzz::ExpectedAfterRoundTrip(stored));
}

void CheckItemAgainstFile(const quillbox::OpenedRom& opened, const quillbox::ItemView& item, const Bytes& rom)
{
    const auto& state = opened.state;
    const int position = item.position;
    const std::int64_t entry = state.itemTableOffset + std::int64_t{quillbox::kItemRecordSize} * position;
    QUILLBOX_FUZZ_CHECK(item.name == TrimTrailingSpaces(opened.itemNames[static_cast<std::size_t>(position)]));
    QUILLBOX_FUZZ_CHECK(item.index == Le16At(rom, entry + quillbox::ItemField::Index));
    QUILLBOX_FUZZ_CHECK(item.price == Le16At(rom, entry + quillbox::ItemField::Price));
    // Hold effect, pocket and battle usage at their places in the 44-byte record.
    QUILLBOX_FUZZ_CHECK(item.holdEffect == rom[static_cast<std::size_t>(entry + 18)]);
    QUILLBOX_FUZZ_CHECK(item.pocket == rom[static_cast<std::size_t>(entry + 26)]);
    QUILLBOX_FUZZ_CHECK(item.battleUsage == rom[static_cast<std::size_t>(entry + 32)]);
    QUILLBOX_FUZZ_CHECK(item.fieldUsageCodePointer.size() == 6 && item.battleUsageCodePointer.size() == 6);
    const std::int64_t pointer = Le16At(rom, entry + quillbox::ItemField::DescPointer) |
                                 (std::int64_t{Le16At(rom, entry + quillbox::ItemField::DescPointer + 2)} << 16);
    QUILLBOX_FUZZ_CHECK(item.descriptionOffset == pointer - quillbox::kRomBase);

    // An unknown TM/HM list shows its items' moves as unavailable, never as numbers read elsewhere.
    const bool tmItem = position >= quillbox::kFirstTmItem && position <= quillbox::kLastTmItem;
    const bool teachesMove = tmItem && state.tmMovesKnown;
    QUILLBOX_FUZZ_CHECK(item.tmMove.has_value() == teachesMove);
    QUILLBOX_FUZZ_CHECK(item.tmMoveUnknown == (tmItem && !state.tmMovesKnown));
    if (teachesMove) {
        QUILLBOX_FUZZ_CHECK(*item.tmMove == Le16At(rom, state.tmMovesOffset + 2 * (position - quillbox::kFirstTmItem)));
    }
    QUILLBOX_FUZZ_CHECK(item.imageOffsetText.has_value() == opened.family->hasImages);
    QUILLBOX_FUZZ_CHECK(item.paletteOffsetText.has_value() == opened.family->hasImages);
    CheckDescription(item, rom);
}

void CheckIcon(const std::filesystem::path& romPath, const Bytes& rom, std::int64_t imageOffset,
               std::int64_t paletteOffset)
{
    auto icon = quillbox::ReadItemIcon(romPath, imageOffset, paletteOffset);
    QUILLBOX_FUZZ_CHECK(icon.has_value());
    const Bytes tiles = ZeroFilledSlice(rom, imageOffset, quillbox::kImageBufferSize);
    const Bytes palette = ZeroFilledSlice(rom, paletteOffset, quillbox::kImageBufferSize);
    QUILLBOX_FUZZ_CHECK(icon->argb == quillbox::DecodeIcon(tiles, palette).argb);
}

void CheckEveryItem(const quillbox::OpenedRom& opened, const std::filesystem::path& romPath, const Bytes& rom)
{
    const auto& state = opened.state;
    const int items = opened.state.ItemCount();
    CheckTablesInside(opened, rom.size());

    auto names = quillbox::ListItemNames(state);
    QUILLBOX_FUZZ_CHECK(names.has_value() && *names == opened.itemNames);
    for (const int outside : {-1, items}) {
        auto item = quillbox::ReadItem(state, outside);
        QUILLBOX_FUZZ_CHECK(!item.has_value() && item.error().code == quillbox::ErrorCode::NoSuchItem);
    }

    std::set<std::pair<std::int64_t, std::int64_t>> icons;
    for (int position = 0; position < items; ++position) {
        auto item = quillbox::ReadItem(state, position);
        // OpenRom has checked every table, so nothing an item reads can lie outside the file.
        QUILLBOX_FUZZ_CHECK(item.has_value());
        QUILLBOX_FUZZ_CHECK(item->position == position);
        CheckItemAgainstFile(opened, *item, rom);

        auto offsets = quillbox::ReadImageOffsets(state, position);
        if (!opened.family->hasImages) {
            QUILLBOX_FUZZ_CHECK(!offsets.has_value() && offsets.error().code == quillbox::ErrorCode::NoImages);
            continue;
        }
        QUILLBOX_FUZZ_CHECK(offsets.has_value());
        QUILLBOX_FUZZ_CHECK(offsets->imageOffsetText == *item->imageOffsetText);
        QUILLBOX_FUZZ_CHECK(offsets->paletteOffsetText == *item->paletteOffsetText);
        if (icons.size() < kMostIconsChecked) {
            icons.emplace(static_cast<std::int64_t>(quillbox::HexToNumber(offsets->imageOffsetText)),
                          static_cast<std::int64_t>(quillbox::HexToNumber(offsets->paletteOffsetText)));
        }
    }
    for (const auto& [image, palette] : icons) CheckIcon(romPath, rom, image, palette);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Layout layout = ReadLayout(data, size);
    const auto romPath = quillbox::fuzz::Scratch() / "rom.gba";
    const auto profilePath = quillbox::fuzz::Scratch() / "roms.ini";
    quillbox::fuzz::WriteWholeFile(romPath, layout.rom);
    quillbox::fuzz::WriteWholeFile(profilePath, layout.profileText);

    auto opened = quillbox::OpenRom(romPath, profilePath);
    if (!opened) return 0;
    QUILLBOX_FUZZ_CHECK(opened->family != nullptr && opened->family == opened->state.Family());
    CheckEveryItem(*opened, romPath, layout.rom);
    return 0;
}
