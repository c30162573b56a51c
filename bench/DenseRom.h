#pragma once

#include "rom/RomFile.h"

#include <cstdint>
#include <random>

namespace quillbox {

// As many places that look like the item-effect table as a real FireRed holds: its detect says
// "41 candidates of 249 places naming a healing POTION record". Copies of the table at `table`
// (every entry, so each holds the table's evidence and no code reads it) and copies with the X
// items left out (a healing POTION and nothing but places in the ROM, yet not the table) are laid
// from `area` on, each named by a few words of the filler between `fillerBegin` and `fillerEnd`.
inline constexpr int kDenseEffectCandidates = 41;
inline constexpr int kDenseEffectPlaces = 249;
void AddEffectLookAlikes(Bytes& rom, std::int64_t table, std::int64_t area, std::int64_t fillerBegin, std::int64_t fillerEnd,
                         std::mt19937& random);

// Code-like filler in which every eighth word names a random place of the ROM, about as many
// pointers as a real game's code holds.
void FillWithPointers(Bytes& rom, std::int64_t begin, std::int64_t end, std::mt19937& random);

}  // namespace quillbox
