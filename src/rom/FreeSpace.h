#pragma once

#include "base/Error.h"
#include "rom/PointerScan.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillbox {

// Bytes [begin, end) of the file.
struct ByteRange {
    std::int64_t begin = 0;
    std::int64_t end = 0;

    bool Overlaps(std::int64_t otherBegin, std::int64_t otherEnd) const { return begin < otherEnd && otherBegin < end; }
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// Unused space of a cartridge image reads 0xFF.
inline constexpr Byte kFreeByte = 0xFF;
// Free bytes kept on each side of new data: a run of 0xFF that ends right where something
// begins may be the tail of that thing (a terminator, padding the game reads), so new data
// never touches its neighbours.
inline constexpr std::int64_t kFreeSpaceMargin = 16;
// New data starts on a word boundary, as the console's decompressor and pointers want it.
inline constexpr std::int64_t kFreeSpaceAlignment = 4;

// The free runs of a ROM from a starting offset on, gathered once and then handed out first fit,
// like an allocator. A run is a stretch of 0xFF bytes that no pointer of the ROM names and that
// lies inside no known table, less its first byte when data comes right before it (that 0xFF
// may be the data's end mark); new data is placed inside a run with kFreeSpaceMargin free bytes
// before and after it, so it never sits at or next to a place the game refers to.
class FreeSpace {
public:
    FreeSpace() = default;

    static FreeSpace Build(std::span<const Byte> rom, const PointerTargets& targets,
                           std::span<const ByteRange> knownTables, std::int64_t searchStart);

    // The runs left, ascending; runs too short to hold anything with its margins are left out.
    std::span<const ByteRange> Runs() const { return runs_; }
    std::int64_t SearchStart() const { return searchStart_; }

    // The lowest aligned offset where `size` bytes fit with their margins; NoFreeSpace if none.
    Result<std::int64_t> Find(std::int64_t size) const;
    // The same, and the place is taken, so that the next request lands elsewhere.
    Result<std::int64_t> Take(std::int64_t size);

private:
    std::vector<ByteRange> runs_;
    std::int64_t searchStart_ = 0;
};

// Where a search starts when the profile does not say: just past the last place holding data
// that some pointer of the ROM names. Places that read 0xFF are not data; a stray word naming
// the free area behind the game must not push the search past all of it.
std::int64_t DefaultFreeSpaceStart(std::span<const Byte> rom, const PointerTargets& targets);

}  // namespace quillbox
