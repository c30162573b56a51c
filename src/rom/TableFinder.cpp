#include "rom/TableFinder.h"

#include "base/HexText.h"
#include "base/LittleEndian.h"

#include <algorithm>
#include <limits>

namespace quillbox {

namespace {

// Tables longer than this are counted no further; no game or hack comes near.
constexpr int kScanLimit = 4096;
constexpr int kItemIndexField = 14;
constexpr int kItemDescriptionField = 20;
constexpr std::uint32_t kLz77Tag = 0x10;
constexpr std::uint32_t kLongestImageStream = 0x8000;

// The file offset a word names, or -1 when it names no place inside this ROM.
std::int64_t Target(std::span<const Byte> rom, std::uint32_t word)
{
    if (word < kRomBase || word >= kRomAddressEnd) return -1;
    const std::int64_t target = word - kRomBase;
    return target < static_cast<std::int64_t>(rom.size()) ? target : -1;
}

// How many whole records of `size` bytes fit from `offset` to the end of the ROM, at most `limit`.
int RecordsInside(std::span<const Byte> rom, std::int64_t offset, int size, int limit)
{
    if (offset < 0 || limit <= 0 || offset >= static_cast<std::int64_t>(rom.size())) return 0;
    const std::int64_t room = (static_cast<std::int64_t>(rom.size()) - offset) / size;
    return static_cast<int>(std::min<std::int64_t>(room, limit));
}

// A name of at least one character ending in 0xFF inside its slot.
bool IsNameSlot(std::span<const Byte> slot)
{
    if (slot[0] == 0xFF) return false;
    return std::find(slot.begin() + 1, slot.end(), Byte{0xFF}) != slot.end();
}

bool IsItemRecord(std::span<const Byte> rom, std::size_t at, int position)
{
    const std::uint32_t index = ReadLe16(rom, at + kItemIndexField);
    const bool indexFits = position <= 1 ? index == static_cast<std::uint32_t>(position)
                                         : index == static_cast<std::uint32_t>(position) || index == 0;
    return indexFits && IsNameSlot(rom.subspan(at, kItemNameSize)) &&
           Target(rom, ReadLe32(rom, at + kItemDescriptionField)) >= 0;
}

bool IsImageStream(std::span<const Byte> rom, std::uint32_t word)
{
    const std::int64_t target = Target(rom, word);
    if (target < 0 || target + 4 > static_cast<std::int64_t>(rom.size())) return false;
    const std::uint32_t header = ReadLe32(rom, static_cast<std::size_t>(target));
    const std::uint32_t length = header >> 8;
    return (header & 0xFF) == kLz77Tag && length > 0 && length <= kLongestImageStream;
}

struct Candidate {
    std::int64_t offset = 0;  // where the pointers point
    std::uint32_t pointers = 0;
    bool namedByHeader = false;
    int records = 0;
};

bool Stronger(const Candidate& a, const Candidate& b)
{
    if (a.pointers != b.pointers) return a.pointers > b.pointers;
    return a.namedByHeader && !b.namedByHeader;
}

bool EquallyStrong(const Candidate& a, const Candidate& b) { return !Stronger(a, b) && !Stronger(b, a); }

std::string Hex(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

// Picks the strongest candidate; equal best ones are reported and none is chosen. `shift` turns
// the place the pointers name into the offset the profile key means.
TableEvidence Choose(std::vector<Candidate> candidates, std::int64_t shift, std::string_view what,
                     std::int64_t headerTarget, std::vector<std::string>& problems)
{
    TableEvidence evidence;
    evidence.candidates = static_cast<int>(candidates.size());
    if (candidates.empty()) {
        problems.push_back("No place the ROM's pointers name holds " + std::string(what));
        return evidence;
    }
    std::stable_sort(candidates.begin(), candidates.end(), Stronger);
    const Candidate& best = candidates.front();
    if (candidates.size() > 1 && EquallyStrong(best, candidates[1])) {
        std::string places;
        for (const Candidate& candidate : candidates) {
            if (!EquallyStrong(best, candidate)) break;
            evidence.tied.push_back(candidate.offset + shift);
            places += (places.empty() ? "" : ", ") + Hex(candidate.offset + shift);
        }
        std::sort(evidence.tied.begin(), evidence.tied.end());
        problems.push_back(std::to_string(evidence.tied.size()) + " places could be " + std::string(what) +
                           " with equal evidence (" + std::to_string(best.pointers) +
                           " pointers each): " + places + "; none of them is used");
        return evidence;
    }
    evidence.offset = best.offset + shift;
    evidence.pointerCount = best.pointers;
    evidence.namedByHeader = best.namedByHeader;
    evidence.matchingRecords = best.records;
    if (headerTarget >= 0 && !best.namedByHeader) {
        const bool headerNamesCandidate = std::any_of(candidates.begin(), candidates.end(),
                                                      [&](const Candidate& c) { return c.offset == headerTarget; });
        if (headerNamesCandidate) {
            problems.push_back("The header at 0x100 names " + std::string(what) + " at " + Hex(headerTarget + shift) +
                               ", but the game's code reads the one at " + Hex(evidence.offset));
        }
    }
    return evidence;
}

std::int64_t HeaderTarget(std::span<const Byte> rom, std::int64_t word)
{
    if (static_cast<std::int64_t>(rom.size()) < word + 4) return -1;
    return Target(rom, ReadLe32(rom, static_cast<std::size_t>(word)));
}

int SmallestItemCount()
{
    int smallest = std::numeric_limits<int>::max();
    for (const GameFamily& family : AllGameFamilies()) smallest = std::min(smallest, family.itemCount);
    return smallest;
}

// Only places holding the released TM/HM moves are candidates. One is the list; of several, the
// one the code turning item numbers into list entries names is; otherwise none is chosen:
// the moves stay unknown rather than being written into some other table.
void ChooseTmHmList(std::span<const Byte> rom, const std::vector<Candidate>& candidates,
                    const std::vector<TmHmListEvidence>& evidence, FoundTables& found)
{
    TableEvidence& chosen = found.tmMoves;
    chosen.candidates = static_cast<int>(candidates.size());
    std::size_t pick = candidates.size();
    if (candidates.size() == 1) {
        pick = 0;
        found.tmListReadByCode = ReadAsTmHmList(rom, PointerTargets::WordsNaming(rom, candidates[0].offset));
    } else {
        std::vector<std::size_t> readByCode;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (ReadAsTmHmList(rom, PointerTargets::WordsNaming(rom, candidates[i].offset))) readByCode.push_back(i);
        }
        if (readByCode.size() == 1) {
            pick = readByCode.front();
            found.tmListReadByCode = true;
        }
    }
    if (pick < candidates.size()) {
        chosen.offset = candidates[pick].offset;
        chosen.pointerCount = candidates[pick].pointers;
        chosen.matchingRecords = candidates[pick].records;
        found.tmList = evidence[pick];
        return;
    }
    if (candidates.empty()) {
        found.problems.push_back("No place the ROM's pointers name holds the TM/HM move list (" +
                                 std::to_string(found.tmLookAlikes) +
                                 " hold 58 move numbers, none of them the TM/HM moves); TM/HM moves are unknown");
        return;
    }
    std::string places;
    for (const Candidate& candidate : candidates) {
        chosen.tied.push_back(candidate.offset);
        places += (places.empty() ? "" : ", ") + Hex(candidate.offset);
    }
    found.problems.push_back(std::to_string(candidates.size()) +
                             " places hold the TM/HM moves and no code tells which the game reads: " + places +
                             "; none of them is used, TM/HM moves are unknown");
}

}  // namespace

int CountItemRecords(std::span<const Byte> rom, std::int64_t offset, int limit)
{
    const int inside = RecordsInside(rom, offset, kItemRecordSize, limit);
    int count = 0;
    while (count < inside &&
           IsItemRecord(rom, static_cast<std::size_t>(offset + std::int64_t{kItemRecordSize} * count), count)) {
        ++count;
    }
    return count;
}

int CountNameSlots(std::span<const Byte> rom, std::int64_t offset, int limit)
{
    const int inside = RecordsInside(rom, offset, kMoveNameSize, limit);
    int count = 0;
    while (count < inside &&
           IsNameSlot(rom.subspan(static_cast<std::size_t>(offset + std::int64_t{kMoveNameSize} * count), kMoveNameSize))) {
        ++count;
    }
    return count;
}

int CountMoveNumbers(std::span<const Byte> rom, std::int64_t offset, int limit)
{
    const int inside = RecordsInside(rom, offset, 2, limit);
    int count = 0;
    while (count < inside) {
        const std::uint32_t move = ReadLe16(rom, static_cast<std::size_t>(offset + 2 * std::int64_t{count}));
        if (move < 1 || move > static_cast<std::uint32_t>(kMoveCount)) break;
        ++count;
    }
    return count;
}

int CountImageEntries(std::span<const Byte> rom, std::int64_t offset, int limit)
{
    const int inside = RecordsInside(rom, offset, kImageTableEntrySize, limit);
    int count = 0;
    while (count < inside) {
        const auto at = static_cast<std::size_t>(offset + std::int64_t{kImageTableEntrySize} * count);
        if (!IsImageStream(rom, ReadLe32(rom, at)) || !IsImageStream(rom, ReadLe32(rom, at + 4))) break;
        ++count;
    }
    return count;
}

FoundTables FindTables(std::span<const Byte> rom, const PointerTargets& pointers, const GameFamily* family)
{
    return FindTables(rom, pointers, family, {});
}

FoundTables FindTables(std::span<const Byte> rom, const PointerTargets& pointers, const GameFamily* family,
                       const NamedPlaceLook& alsoLookAt)
{
    FoundTables found;
    const int leastItems = family != nullptr ? family->itemCount : SmallestItemCount();
    found.imagesSearched = family == nullptr || family->hasImages;
    const std::int64_t headerItems = HeaderTarget(rom, kHeaderItemTableWord);
    const std::int64_t headerNames = HeaderTarget(rom, kHeaderMoveNamesWord);

    std::vector<Candidate> items;
    std::vector<Candidate> names;
    std::vector<Candidate> tmLists;
    std::vector<TmHmListEvidence> tmEvidence;
    std::vector<Candidate> images;
    const auto offsets = pointers.Offsets();
    const auto counts = pointers.Counts();
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::int64_t at = offsets[i];
        const std::uint32_t count = counts[i];
        if (at % 4 == 0) {
            const int records = CountItemRecords(rom, at, kScanLimit);
            if (records >= leastItems) items.push_back({at, count, at == headerItems, records});
            if (found.imagesSearched) {
                const int entries = CountImageEntries(rom, at, kScanLimit);
                if (entries > leastItems) images.push_back({at, count, false, entries});
            }
            if (alsoLookAt) alsoLookAt(at, count);
        }
        const int slots = CountNameSlots(rom, at, kScanLimit);
        if (slots >= kMoveNameSlots) names.push_back({at, count, at == headerNames, slots});
        if (at % 2 == 0) {
            // A list whose first TM is no move is not looked at further; it keeps the scan to
            // the few places whose first word could start the list.
            const int leading = CountMoveNumbers(rom, at, kTmMoveCount);
            if (leading == kTmMoveCount) ++found.tmLookAlikes;
            if (leading == kTmMoveCount || (leading > 0 && MayBeTmHmList(rom, at))) {
                const TmHmListEvidence evidence = WeighTmHmList(rom, at);
                if (evidence.IsTmHmList()) {
                    tmLists.push_back({at, count, false, evidence.movesInRange});
                    tmEvidence.push_back(evidence);
                }
            }
        }
    }

    found.items = Choose(std::move(items), 0, "the item table", headerItems, found.problems);
    if (found.items.Found()) found.itemCount = found.items.matchingRecords;
    found.moveNames = Choose(std::move(names), kMoveNameSize, "the move names", headerNames, found.problems);
    ChooseTmHmList(rom, tmLists, tmEvidence, found);
    if (found.imagesSearched) {
        // The table holds an entry past the last item.
        const int leastEntries = (found.items.Found() ? found.itemCount : leastItems) + 1;
        const auto longest = std::max_element(images.begin(), images.end(), [](const Candidate& a, const Candidate& b) {
            return a.records < b.records;
        });
        if (longest != images.end() && longest->records < leastEntries) {
            found.problems.push_back("The item image table at " + Hex(longest->offset) + " holds " +
                                     std::to_string(longest->records) + " entries, fewer than the " +
                                     std::to_string(leastEntries) + " the item table needs");
        }
        std::erase_if(images, [&](const Candidate& c) { return c.records < leastEntries; });
        found.images = Choose(std::move(images), 0, "the item image table", -1, found.problems);
    }
    return found;
}

FoundTables FindTables(std::span<const Byte> rom, const GameFamily* family)
{
    return FindTables(rom, ScanPointers(rom), family);
}

}  // namespace quillbox
