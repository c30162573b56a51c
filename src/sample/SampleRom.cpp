#include "sample/SampleRom.h"

#include "image/ItemIcon.h"
#include "image/Lz77.h"
#include "rom/GameFamily.h"
#include "text/GameText.h"

#include <array>
#include <cmath>
#include <fstream>
#include <string>

namespace quillbox {

namespace {

// Everything the samples add besides the tables lives above the highest table of any game.
constexpr std::int64_t kDescriptionArea = 0x800000;
constexpr std::int64_t kIconArea = 0x900000;
constexpr std::int64_t kCodeArea = 0x0A0000;
constexpr int kIconStyles = 24;

constexpr std::string_view kAdjectives[] = {"Amber", "Brass", "Cinder", "Dusk",  "Ember", "Frost", "Gale",
                                            "Hazel", "Iron",  "Jade",   "Kelp",  "Lunar", "Moss",  "Nimbus",
                                            "Onyx",  "Pearl", "Quartz", "Rust",  "Sable", "Tide"};
constexpr std::string_view kNouns[] = {"Tonic", "Charm", "Lure",  "Seed", "Shard", "Bell",  "Flute",
                                       "Rope",  "Plate", "Salve", "Orb",  "Key",   "Map",   "Band",
                                       "Stone", "Fang",  "Leaf",  "Drop", "Coin"};
constexpr std::string_view kMoveFirst[] = {"Static", "Pebble", "Whirl", "Thorn", "Glint", "Murk",
                                           "Spark",  "Bramble", "Ripple", "Crag", "Vapor", "Quill",
                                           "Hollow", "Blaze",  "Drift", "Gleam", "Husk",  "Zephyr"};
constexpr std::string_view kMoveSecond[] = {"Jab",  "Toss", "Rush", "Veil", "Snap", "Howl", "Beam",
                                            "Spin", "Drum", "Bite", "Wave", "Step", "Ward", "Roar",
                                            "Pulse", "Hook", "Sweep", "Tap", "Dash", "Burst"};
constexpr std::string_view kEffects[] = {"restores 20 HP", "wakes a sleeper", "lifts a burn",     "calms a foe",
                                         "lights the way", "draws in fish",   "sharpens focus",   "keeps pests off",
                                         "opens old locks", "guides travelers", "hums at dawn", "warms cold paws"};

Text Widen(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }

void Put(Bytes& rom, std::int64_t offset, std::span<const Byte> bytes)
{
    std::copy(bytes.begin(), bytes.end(), rom.begin() + offset);
}

void PutLe16(Bytes& rom, std::int64_t offset, std::uint16_t value)
{
    rom[static_cast<std::size_t>(offset)] = static_cast<Byte>(value & 0xFF);
    rom[static_cast<std::size_t>(offset + 1)] = static_cast<Byte>(value >> 8);
}

void PutPointer(Bytes& rom, std::int64_t offset, std::int64_t target)
{
    const auto pointer = static_cast<std::uint32_t>(target) + 0x08000000u;
    for (int i = 0; i < 4; ++i) {
        rom[static_cast<std::size_t>(offset + i)] = static_cast<Byte>(pointer >> (8 * i));
    }
}

Text ItemName(int position)
{
    if (position == 0) return U"????????";
    if (position == 1) return U"[PK][MN] Kit";
    if (position == 2) return U"Lv Seed [Lv]";
    const int pair = position - 3;
    const auto adjective = kAdjectives[static_cast<std::size_t>(pair) % std::size(kAdjectives)];
    const auto noun = kNouns[static_cast<std::size_t>(pair / static_cast<int>(std::size(kAdjectives))) % std::size(kNouns)];
    return Widen(adjective) + U" " + Widen(noun);
}

Text MoveName(int move)
{
    const auto first = kMoveFirst[static_cast<std::size_t>(move) % std::size(kMoveFirst)];
    const auto second = kMoveSecond[static_cast<std::size_t>(move / static_cast<int>(std::size(kMoveFirst))) % std::size(kMoveSecond)];
    return Widen(first) + U" " + Widen(second);
}

// Descriptions carry line breaks ("\n"), a control code with its argument and accented letters,
// so that whoever opens a sample sees every kind of token the editor handles.
Text Description(int position, const Text& name)
{
    const auto effect = Widen(kEffects[static_cast<std::size_t>(position) % std::size(kEffects)]);
    switch (position % 4) {
    case 0: return U"A " + name + U" that\\n" + effect + U".";
    case 1: return U"This " + name + U"\\n" + effect + U"\\nwhen used.";
    case 2: return U"Café-made item:\\nit " + effect + U"!";
    default: return U"\\c\\h01Rare!\\n" + name + U" " + effect + U".";
    }
}

std::uint16_t Rgb15(int red, int green, int blue)
{
    return static_cast<std::uint16_t>((red & 31) | (green & 31) << 5 | (blue & 31) << 10);
}

// A round gem in two shades with a highlight, its colours turned by `style`.
Bytes IconTiles(int style)
{
    Bytes tiles(static_cast<std::size_t>(kIconTiles) * 32, 0);
    const double radius = 7.5 + (style % 4);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const double dx = x - 11.5;
            const double dy = y - 11.5;
            const double distance = std::sqrt(dx * dx + dy * dy);
            int colour = 0;
            if (distance <= radius) colour = (dx + dy < 0) ? 2 : 3;
            if (distance <= radius && distance > radius - 1.2) colour = 1;
            if (std::abs(dx + 4) < 1.5 && std::abs(dy + 4) < 1.5) colour = 4;
            const int tile = (y / kTileSize) * (kIconSize / kTileSize) + x / kTileSize;
            const int k = (y % kTileSize) * 4 + (x % kTileSize) / 2;
            Byte& b = tiles[static_cast<std::size_t>(tile * 32 + k)];
            b = static_cast<Byte>((x % 2 == 0) ? ((b & 0xF0) | colour) : ((b & 0x0F) | colour << 4));
        }
    }
    return tiles;
}

Bytes IconPalette(int style)
{
    const int hue = style * 5;
    const std::array<std::uint16_t, 16> words{
        Rgb15(0, 0, 0),      Rgb15(4, 4, 6),
        Rgb15((hue + 10) % 32, (hue * 3 + 6) % 32, (hue * 7 + 20) % 32),
        Rgb15((hue + 20) % 32, (hue * 3 + 16) % 32, (hue * 7 + 28) % 32),
        Rgb15(31, 31, 31)};
    Bytes bytes;
    for (std::uint16_t word : words) {
        bytes.push_back(static_cast<Byte>(word & 0xFF));
        bytes.push_back(static_cast<Byte>(word >> 8));
    }
    return bytes;
}

}  // namespace

Result<SampleTables> SampleTablesFor(std::string_view headerCode)
{
    if (headerCode == "BPRE") return SampleTables{0x3DB028, 0x2470A1, 0x45A80C, 0x3D4294};
    if (headerCode == "BPGE") return SampleTables{0x3DAE64, 0x24707D, 0x45A22C, 0x3D40D0};
    if (headerCode == "BPEE") return SampleTables{0x5839A0, 0x319789, 0x616040, 0x614410};
    if (headerCode == "AXVE") return SampleTables{0x3C5564, 0x1F832D, 0x376504, 0};
    if (headerCode == "AXPE") return SampleTables{0x3C55BC, 0x1F82BD, 0x376494, 0};
    return MakeError(ErrorCode::BadValue, "no sample for header code \"" + std::string(headerCode) +
                                              "\"; use BPRE, BPGE, BPEE, AXVE or AXPE");
}

Result<Bytes> BuildSampleRom(std::string_view headerCode)
{
    auto tables = SampleTablesFor(headerCode);
    if (!tables) {
        return tables.error();
    }
    const GameFamily* family = FindGameFamily(GameCodeOf(headerCode));
    // Unused space of a cartridge image reads 0xFF, which is also what description repointing
    // counts as free room.
    Bytes rom(static_cast<std::size_t>(kSampleRomSize), 0xFF);

    const std::string_view title = "QUILLBOXDEMO";
    std::copy(title.begin(), title.end(), rom.begin() + 0xA0);
    std::copy(headerCode.begin(), headerCode.end(), rom.begin() + kHeaderCodeOffset);
    rom[0xB0] = '0';
    rom[0xB1] = '1';
    rom[0xB2] = 0x96;
    for (std::size_t i = 0xB3; i < 0xBD; ++i) rom[i] = 0;
    int check = 0;
    for (std::size_t i = 0xA0; i < 0xBD; ++i) check -= rom[i];
    rom[0xBD] = static_cast<Byte>((check - 0x19) & 0xFF);

    for (int move = 0; move < kMoveCount; ++move) {
        Bytes name = EncodeGameText(MoveName(move) + U"\\x");
        name.resize(kMoveNameSize, 0xFF);
        Put(rom, tables->attackNames + std::int64_t{kMoveNameSize} * move, name);
    }
    for (int i = 0; i <= kLastTmItem - kFirstTmItem; ++i) {
        PutLe16(rom, tables->tmData + 2 * i, static_cast<std::uint16_t>(1 + (i * 37 + 11) % kMoveCount));
    }

    std::int64_t descriptionAt = kDescriptionArea;
    for (int position = 0; position < family->itemCount; ++position) {
        const std::int64_t entry = tables->itemData + std::int64_t{kItemRecordSize} * position;
        const Text name = ItemName(position);
        Bytes nameBytes = EncodeGameText(name + U"\\x");
        nameBytes.resize(kItemNameSize, 0xFF);
        Put(rom, entry, nameBytes);
        PutLe16(rom, entry + 14, static_cast<std::uint16_t>(position));
        PutLe16(rom, entry + 16, static_cast<std::uint16_t>(position == 0 ? 0 : (position * 150) % 10000));
        rom[static_cast<std::size_t>(entry + 18)] = static_cast<Byte>(position % 7);
        rom[static_cast<std::size_t>(entry + 19)] = static_cast<Byte>(position % 3);
        const Bytes description = EncodeGameText(Description(position, name) + U"\\x");
        Put(rom, descriptionAt, description);
        PutPointer(rom, entry + 20, descriptionAt);
        descriptionAt += static_cast<std::int64_t>(description.size());
        rom[static_cast<std::size_t>(entry + 24)] = static_cast<Byte>(position % 3);
        rom[static_cast<std::size_t>(entry + 25)] = static_cast<Byte>(position % 2);
        rom[static_cast<std::size_t>(entry + 26)] = static_cast<Byte>(1 + position % 5);
        rom[static_cast<std::size_t>(entry + 27)] = static_cast<Byte>(position & 0xFF);
        PutPointer(rom, entry + 28, kCodeArea + 0x40 * position + 1);
        rom[static_cast<std::size_t>(entry + 32)] = static_cast<Byte>(position % family->battleUsageEntries.size());
        rom[static_cast<std::size_t>(entry + 33)] = 0x11;
        rom[static_cast<std::size_t>(entry + 34)] = 0x22;
        rom[static_cast<std::size_t>(entry + 35)] = 0x33;
        PutPointer(rom, entry + 36, kCodeArea + 0x40 * position + 0x21);
        PutLe16(rom, entry + 40, static_cast<std::uint16_t>(position * 3));
        PutLe16(rom, entry + 42, 0xBEEF);
    }

    if (family->hasImages) {
        std::int64_t iconAt = kIconArea;
        std::array<std::pair<std::int64_t, std::int64_t>, kIconStyles> icons{};
        for (int style = 0; style < kIconStyles; ++style) {
            const Bytes tiles = CompressLz77(IconTiles(style));
            const Bytes palette = CompressLz77(IconPalette(style));
            Put(rom, iconAt, tiles);
            icons[static_cast<std::size_t>(style)].first = iconAt;
            iconAt += (static_cast<std::int64_t>(tiles.size()) + 3) & ~std::int64_t{3};
            Put(rom, iconAt, palette);
            icons[static_cast<std::size_t>(style)].second = iconAt;
            iconAt += (static_cast<std::int64_t>(palette.size()) + 3) & ~std::int64_t{3};
        }
        for (int position = 0; position < family->itemCount; ++position) {
            const auto& [image, palette] = icons[static_cast<std::size_t>(position % kIconStyles)];
            PutPointer(rom, tables->imgData + 8 * std::int64_t{position}, image);
            PutPointer(rom, tables->imgData + 8 * std::int64_t{position} + 4, palette);
        }
    }
    return rom;
}

Status WriteSampleRom(const std::filesystem::path& path, std::string_view headerCode)
{
    auto rom = BuildSampleRom(headerCode);
    if (!rom) {
        return rom.error();
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return MakeError(ErrorCode::FileWrite, path.string());
    }
    out.write(reinterpret_cast<const char*>(rom->data()), static_cast<std::streamsize>(rom->size()));
    out.close();
    if (!out) {
        return MakeError(ErrorCode::FileWrite, path.string());
    }
    return {};
}

}  // namespace quillbox
