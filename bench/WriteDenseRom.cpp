// Writes the sample ROM of a game as densely filled as a real one, for timing the tool on it:
// code-like filler full of pointers, and the item-effect table's look-alikes of a real FireRed.
//   quillbox_dense_rom OUT.gba [HEADER_CODE]
#include "DenseRom.h"

#include "base/HexText.h"
#include "rom/RomFile.h"
#include "sample/SampleRom.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    using namespace quillbox;
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: quillbox_dense_rom OUT.gba [HEADER_CODE]\n";
        return 2;
    }
    const std::string_view code = argc == 3 ? argv[2] : "BPRE";
    auto rom = BuildSampleRom(code);
    auto tables = SampleTablesFor(code);
    if (!rom || !tables) {
        std::cerr << (rom ? tables.error().message : rom.error().message) << '\n';
        return 1;
    }
    std::mt19937 random(8);
    FillWithPointers(*rom, 0x0B0000, 0x1F0000, random);
    FillWithPointers(*rom, 0x480000, 0x7F0000, random);
    AddEffectLookAlikes(*rom, tables->effectData, 0x600000, 0x0B0000, 0x1F0000, random);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(rom->data()), static_cast<std::streamsize>(rom->size()));
    return out ? 0 : 1;
}
