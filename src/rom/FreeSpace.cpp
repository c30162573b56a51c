#include "rom/FreeSpace.h"

#include "base/HexText.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace quillbox {

namespace {

std::string HexOf(std::int64_t value) { return NumberToHex(static_cast<std::uint64_t>(value)); }

constexpr std::int64_t kSmallestUsefulRun = 2 * kFreeSpaceMargin + 1;

std::int64_t AlignUp(std::int64_t value) { return (value + kFreeSpaceAlignment - 1) / kFreeSpaceAlignment * kFreeSpaceAlignment; }

// The place for `size` bytes inside a run, or -1.
std::int64_t PlaceIn(const ByteRange& run, std::int64_t size)
{
    const std::int64_t start = AlignUp(run.begin + kFreeSpaceMargin);
    return start + size + kFreeSpaceMargin <= run.end ? start : -1;
}

// The end of the run of 0xFF bytes starting at `at`, a word at a time where it can.
std::size_t FreeRunEnd(std::span<const Byte> rom, std::size_t at)
{
    constexpr std::uint64_t kAllFree = ~std::uint64_t{0};
    while (at + 32 <= rom.size()) {
        std::uint64_t words[4];
        std::memcpy(words, rom.data() + at, 32);
        if ((words[0] & words[1] & words[2] & words[3]) != kAllFree) break;
        at += 32;
    }
    while (at + 8 <= rom.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, rom.data() + at, 8);
        if (word != kAllFree) break;
        at += 8;
    }
    while (at < rom.size() && rom[at] == kFreeByte) ++at;
    return at;
}

// Adds [begin, end) less every named place and every known table.
void AddRun(std::vector<ByteRange>& runs, std::int64_t begin, std::int64_t end, const PointerTargets& targets,
            std::span<const ByteRange> tables)
{
    while (end - begin >= kSmallestUsefulRun) {
        std::int64_t cut = end;
        std::int64_t resume = end;
        if (const std::int64_t named = targets.FirstAtOrAfter(begin); named >= 0 && named < cut) {
            cut = named;
            resume = named + 1;
        }
        for (const ByteRange& table : tables) {
            if (table.Overlaps(begin, cut)) {
                cut = std::max(table.begin, begin);
                resume = table.end;
            }
        }
        if (cut - begin >= kSmallestUsefulRun) {
            runs.push_back({begin, cut});
        }
        if (resume >= end) break;
        begin = resume;
    }
}

}  // namespace

FreeSpace FreeSpace::Build(std::span<const Byte> rom, const PointerTargets& targets,
                           std::span<const ByteRange> knownTables, std::int64_t searchStart)
{
    FreeSpace space;
    space.searchStart_ = std::max<std::int64_t>(searchStart, 0);
    std::size_t at = static_cast<std::size_t>(std::min<std::int64_t>(space.searchStart_, static_cast<std::int64_t>(rom.size())));
    while (at < rom.size()) {
        const void* found = std::memchr(rom.data() + at, kFreeByte, rom.size() - at);
        if (found == nullptr) break;
        auto begin = static_cast<std::size_t>(static_cast<const Byte*>(found) - rom.data());
        const std::size_t end = FreeRunEnd(rom, begin);
        // The first 0xFF after data may be that data's end mark, so it is not counted as free.
        if (begin > 0 && rom[begin - 1] != kFreeByte) ++begin;
        if (end - begin >= static_cast<std::size_t>(kSmallestUsefulRun)) {
            AddRun(space.runs_, static_cast<std::int64_t>(begin), static_cast<std::int64_t>(end), targets, knownTables);
        }
        at = end;
    }
    return space;
}

Result<std::int64_t> FreeSpace::Find(std::int64_t size) const
{
    if (size > 0) {
        for (const ByteRange& run : runs_) {
            if (const std::int64_t place = PlaceIn(run, size); place >= 0) {
                return place;
            }
        }
    }
    std::int64_t largest = 0;
    for (const ByteRange& run : runs_) {
        largest = std::max(largest, run.end - AlignUp(run.begin + kFreeSpaceMargin) - kFreeSpaceMargin);
    }
    return MakeError(ErrorCode::NoFreeSpace,
                     std::to_string(size) + " bytes are needed from " + HexOf(searchStart_) +
                         " on, and the largest free run there holds " + std::to_string(largest) +
                         " (keeping " + std::to_string(kFreeSpaceMargin) + " free bytes on each side)");
}

Result<std::int64_t> FreeSpace::Take(std::int64_t size)
{
    auto place = Find(size);
    if (!place) {
        return place;
    }
    auto run = std::find_if(runs_.begin(), runs_.end(), [&](const ByteRange& r) { return r.begin <= *place && *place < r.end; });
    const ByteRange before{run->begin, *place};
    const ByteRange after{*place + size + 1, run->end};
    run = runs_.erase(run);
    std::vector<ByteRange> pieces;
    for (const ByteRange& piece : {before, after}) {
        if (piece.end - piece.begin >= kSmallestUsefulRun) pieces.push_back(piece);
    }
    runs_.insert(run, pieces.begin(), pieces.end());
    return place;
}

std::int64_t DefaultFreeSpaceStart(std::span<const Byte> rom, const PointerTargets& targets)
{
    const auto offsets = targets.Offsets();
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
        if (*it < rom.size() && rom[*it] != kFreeByte) {
            return static_cast<std::int64_t>(*it) + 1;
        }
    }
    return 0;
}

}  // namespace quillbox
