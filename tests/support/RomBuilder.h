#pragma once

#include "TestFiles.h"

#include "rom/RomFile.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace quillbox::test {

// Where a fixture keeps its tables; the defaults fit every family into 64 KiB.
struct FixtureTables {
    std::int32_t itemData = 0x1000;
    std::int32_t attackNames = 0x5200;
    std::int32_t tmData = 0x6400;
    std::int32_t imgData = 0x6500;
};

// A small ROM laid out in code, byte by byte as a test needs it: the header code at 0xAC,
// the tables where FixtureTables says, every record's description pointer aimed at one shared
// description "A" (0xBB 0xFF) at kDefaultDescription, tables that pass the opening check, and
// everything else the fill byte.
// Write() also writes a profile beside the ROM with one section naming those tables.
class RomBuilder {
public:
    static constexpr std::int64_t kDefaultSize = 0x10000;
    static constexpr std::int64_t kDefaultDescription = 0x8000;
    static constexpr std::int64_t kFreeArea = 0x9000;
    // An empty compressed stream every icon entry names by default.
    static constexpr std::int64_t kDefaultImage = 0x8010;

    explicit RomBuilder(std::string_view headerCode, std::int64_t size = kDefaultSize, Byte fill = 0x00,
                        FixtureTables tables = {});

    const FixtureTables& Tables() const { return tables_; }
    std::int64_t Entry(int position) const;
    std::int64_t TmEntry(int position) const;
    std::int64_t ImageEntry(int position) const;
    std::int64_t Size() const { return static_cast<std::int64_t>(bytes_.size()); }

    RomBuilder& Put(std::int64_t offset, std::span<const Byte> bytes);
    RomBuilder& Put(std::int64_t offset, std::initializer_list<Byte> bytes);
    RomBuilder& Fill(std::int64_t offset, std::int64_t count, Byte value);
    RomBuilder& PutLe16(std::int64_t offset, std::uint16_t value);
    RomBuilder& PutLe32(std::int64_t offset, std::uint32_t value);
    // A ROM pointer: 0x08000000 plus the file offset.
    RomBuilder& PutPointer(std::int64_t offset, std::int64_t target);

    // Extra lines for the profile section, or a whole profile text replacing the generated one.
    RomBuilder& ProfileLines(std::string lines);
    RomBuilder& ProfileText(std::string text);
    RomBuilder& OmitImageTableFromProfile();

    Bytes& Data() { return bytes_; }
    const Bytes& Data() const { return bytes_; }

    // Writes the ROM as `dir / name` and the profile as `dir / "roms.ini"`; returns the ROM's path.
    std::filesystem::path Write(const TempDir& dir, std::string_view name = "fixture.gba") const;
    static std::filesystem::path ProfilePath(const TempDir& dir) { return dir / "roms.ini"; }

private:
    std::string headerCode_;
    FixtureTables tables_;
    Bytes bytes_;
    std::string extraProfileLines_;
    std::string profileText_;
    bool writeImageTable_ = true;
    bool profileReplaced_ = false;
};

// The bytes of plain text in the game's character set: letters, digits, space and ".".
// Kept apart from the codec so that tests compare the codec with an independent table.
Bytes PlainGameBytes(std::string_view ascii);

}  // namespace quillbox::test
