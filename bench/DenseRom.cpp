#include "DenseRom.h"

#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "items/effect/ItemEffectTable.h"

#include <algorithm>

namespace quillbox {

namespace {

void PutWord(Bytes& rom, std::int64_t at, std::uint32_t word)
{
    for (std::size_t i = 0; i < 4; ++i) rom[static_cast<std::size_t>(at) + i] = static_cast<Byte>(word >> (8 * i));
}

}  // namespace

void FillWithPointers(Bytes& rom, std::int64_t begin, std::int64_t end, std::mt19937& random)
{
    const auto size = static_cast<std::uint32_t>(rom.size());
    for (std::int64_t at = begin; at + 4 <= end; at += 4) {
        auto word = static_cast<std::uint32_t>(random());
        if (word % 8 == 0) word = kRomBase + static_cast<std::uint32_t>(random() % size);
        PutWord(rom, at, word);
    }
}

void AddEffectLookAlikes(Bytes& rom, std::int64_t table, std::int64_t area, std::int64_t fillerBegin, std::int64_t fillerEnd,
                         std::mt19937& random)
{
    const Bytes real(rom.begin() + table, rom.begin() + table + kItemEffectTableSize);
    // The sample holds the table, its copy, and three places whose POTION heals that are not it.
    constexpr int kCopies = kDenseEffectCandidates - 2;
    constexpr int kAdded = kDenseEffectPlaces - 5;
    std::uniform_int_distribution<std::int64_t> filler(fillerBegin / 4, fillerEnd / 4 - 1);
    for (int i = 0; i < kAdded; ++i) {
        // A word naming no place after each: a window shifted into the next copy is no table.
        const std::int64_t at = area + (kItemEffectTableSize + 4) * i;
        std::copy(real.begin(), real.end(), rom.begin() + at);
        PutWord(rom, at + kItemEffectTableSize, 0xFFFFFFFF);
        if (i >= kCopies) {
            for (const int item : kXItems) PutWord(rom, at + 4 * (item - kFirstEffectItem), 0);
        }
        for (int word = 0; word < 1 + i % 3; ++word) PutWord(rom, 4 * filler(random), kRomBase + static_cast<std::uint32_t>(at));
    }
}

}  // namespace quillbox
