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

struct SampleCodePlaces {
    std::int64_t sanitizer = 0;
    std::int64_t iconRoutine = 0;               // 0 without icons
    std::vector<std::int64_t> effectReaders;     // every routine returning an item's effect entry (r0 = id)
    std::vector<std::int64_t> effectChecks;      // of those, the ones checking the id first
    std::vector<std::int64_t> effectLoads;       // their `ldr` of the item-effect table
    std::vector<std::int64_t> effectWords;       // the words those load
    std::vector<std::int64_t> effectCheckSubs;   // the checks' `subs #13`
    std::vector<std::int64_t> arrowWords;        // FireRed/LeafGreen menus' words holding the arrow's id
};

// The places the sample built with these options keeps its code at.
Result<SampleCodePlaces> SampleCodeFor(std::string_view headerCode, const SampleOptions& options);

// Writes the code; `tables.itemCount` is the count its sites hold.
SampleCodePlaces WriteSampleCode(Bytes& rom, const GameFamily& family, const SampleTables& tables, const SampleOptions& options);

}  // namespace quillbox
