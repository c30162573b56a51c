#include "rom/TmHmList.h"

#include "base/LittleEndian.h"

#include <algorithm>
#include <bitset>

namespace quillbox {

namespace {

constexpr int kLeastHmMatches = kHmEntries - 2;
constexpr int kLeastReleasedMatches = kTmHmEntries / 2;
// A literal pool holds a function's few constants together; the item-number bias lies within
// a handful of words of the list's address.
constexpr std::int64_t kLiteralPoolReach = 16;
// The first TM item's number taken from an item number, as a Thumb function computes it: on a
// value shifted into the top half-word, as a plain negative number, or added back from a
// register holding the number itself.
constexpr std::array<std::uint32_t, 3> kTmItemBiasWords{
    static_cast<std::uint32_t>(0x10000 - kFirstTmItem) << 16, 0u - static_cast<std::uint32_t>(kFirstTmItem),
    static_cast<std::uint32_t>(kFirstTmItem)};

}  // namespace

bool TmHmListEvidence::IsTmHmList() const
{
    // A move number or two past 354 is a hack's business, not a sign of another table.
    const bool moves = movesInRange * 10 >= kTmHmEntries * 9;
    return moves && (hmMatches >= kLeastHmMatches || releasedMatches >= kLeastReleasedMatches);
}

std::string TmHmListEvidence::Describe() const
{
    return "HM moves " + std::to_string(hmMatches) + " of " + std::to_string(kHmEntries) + ", as released " +
           std::to_string(releasedMatches) + " of " + std::to_string(kTmHmEntries);
}

bool MayBeTmHmList(std::span<const Byte> rom, std::int64_t offset)
{
    if (offset < 0 || offset + 2 * std::int64_t{kTmHmEntries} > static_cast<std::int64_t>(rom.size())) return false;
    int misses = 0;
    for (int i = kTmHmEntries - kHmEntries; i < kTmHmEntries && misses <= kHmEntries - kLeastHmMatches; ++i) {
        if (ReadLe16(rom, static_cast<std::size_t>(offset + 2 * i)) != kReleasedTmHmMoves[static_cast<std::size_t>(i)]) ++misses;
    }
    return misses <= kHmEntries - kLeastHmMatches;
}

TmHmListEvidence WeighTmHmList(std::span<const Byte> rom, std::int64_t offset)
{
    TmHmListEvidence evidence;
    if (offset < 0 || offset + 2 * std::int64_t{kTmHmEntries} > static_cast<std::int64_t>(rom.size())) return evidence;
    std::bitset<kMoveCount + 1> seen;
    evidence.distinct = true;
    for (int i = 0; i < kTmHmEntries; ++i) {
        const std::uint32_t move = ReadLe16(rom, static_cast<std::size_t>(offset + 2 * i));
        if (move < 1 || move > static_cast<std::uint32_t>(kMoveCount)) {
            evidence.distinct = false;
            continue;
        }
        ++evidence.movesInRange;
        if (seen.test(move)) evidence.distinct = false;
        seen.set(move);
        if (move == kReleasedTmHmMoves[static_cast<std::size_t>(i)]) {
            ++evidence.releasedMatches;
            if (i >= kTmHmEntries - kHmEntries) ++evidence.hmMatches;
        }
    }
    return evidence;
}

bool ReadAsTmHmList(std::span<const Byte> rom, std::span<const std::uint32_t> namingWords)
{
    const auto size = static_cast<std::int64_t>(rom.size());
    for (const std::uint32_t word : namingWords) {
        const std::int64_t first = std::max<std::int64_t>(0, std::int64_t{word} - kLiteralPoolReach);
        const std::int64_t last = std::min<std::int64_t>(size - 4, std::int64_t{word} + kLiteralPoolReach);
        for (std::int64_t at = first; at <= last; at += 4) {
            if (at == word) continue;
            const std::uint32_t value = ReadLe32(rom, static_cast<std::size_t>(at));
            if (std::find(kTmItemBiasWords.begin(), kTmItemBiasWords.end(), value) != kTmItemBiasWords.end()) return true;
        }
    }
    return false;
}

}  // namespace quillbox
