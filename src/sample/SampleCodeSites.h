#pragma once

// The released games' code at the places that hold the item count, written into a sample: the
// sanitiser and the getters, the icon routine and the menus passing the arrow's id, the
// item-effect checks and readers, and look-alikes of each.

#include "base/Bytes.h"
#include "base/Error.h"
#include "rom/GameFamily.h"
#include "sample/SampleRom.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillbox {

// Where the code lies, and the size the builder keeps for it.
inline constexpr std::int64_t kSampleReleasedCode = 0x030000;
inline constexpr std::int64_t kSampleReleasedCodeSize = 0x2000;

// What GetItemEffectType-like readers return for ENIGMA BERRY (175), whose effect lies in the
// save block: a work-RAM address, as the game's is.
inline constexpr std::uint32_t kSampleEnigmaEffect = 0x02026108u;
inline constexpr std::uint32_t kSampleEnigmaItem = 175;

// A function with an item-effect check, r0 the id: the released check and the instructions around
// it that a growth's rewrite rests on, the rest cut short to return the entry it reads.
struct SampleEffectCheck {
    std::int64_t function = 0;
    std::int64_t subs = 0;          // its `subs #13`
    std::uint32_t refused = 0;      // what it returns for an id the check refuses
    bool enigma = false;            // 175 returns kSampleEnigmaEffect, not its entry
    std::int64_t writesAfter = 0;   // the instruction after the check that writes the compare register
    std::int64_t writesAtTarget = 0;  // and the one at the refused way's start that writes it
};

struct SampleCodePlaces {
    std::int64_t sanitizer = 0;
    std::int64_t iconRoutine = 0;               // 0 without icons
    std::vector<std::int64_t> effectReaders;     // every routine returning an item's effect entry (r0 = id)
    std::vector<SampleEffectCheck> effectChecks;  // of those, the ones checking the id first, in order
    std::vector<std::int64_t> effectLoads;       // their `ldr` of the item-effect table
    std::vector<std::int64_t> effectWords;       // the words those load
    std::vector<std::int64_t> arrowWords;        // FireRed/LeafGreen menus' words holding the arrow's id
};

// The places the sample built with these options keeps its code at.
Result<SampleCodePlaces> SampleCodeFor(std::string_view headerCode, const SampleOptions& options);

// Writes the code; `tables.itemCount` is the count its sites hold.
SampleCodePlaces WriteSampleCode(Bytes& rom, const GameFamily& family, const SampleTables& tables, const SampleOptions& options);

}  // namespace quillbox
