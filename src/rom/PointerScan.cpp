#include "rom/PointerScan.h"

#include <algorithm>
#include <array>

namespace quillbox {

namespace {

std::uint32_t WordAt(std::span<const Byte> rom, std::size_t at)
{
    return static_cast<std::uint32_t>(rom[at]) | static_cast<std::uint32_t>(rom[at + 1]) << 8 |
           static_cast<std::uint32_t>(rom[at + 2]) << 16 | static_cast<std::uint32_t>(rom[at + 3]) << 24;
}

// Two passes of a 13-bit radix sort cover every offset below 2^26; a real ROM holds hundreds of
// thousands of such words, where a comparison sort would cost more than the scan itself.
void RadixSort(std::vector<std::uint32_t>& values)
{
    constexpr int kBits = 13;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    std::vector<std::uint32_t> scratch(values.size());
    for (int shift = 0; shift < 2 * kBits; shift += kBits) {
        std::vector<std::uint32_t> starts(kBuckets + 1, 0);
        for (std::uint32_t value : values) {
            ++starts[((value >> shift) & (kBuckets - 1)) + 1];
        }
        for (std::size_t bucket = 1; bucket <= kBuckets; ++bucket) {
            starts[bucket] += starts[bucket - 1];
        }
        for (std::uint32_t value : values) {
            scratch[starts[(value >> shift) & (kBuckets - 1)]++] = value;
        }
        values.swap(scratch);
    }
}

}  // namespace

PointerTargets ScanPointers(std::span<const Byte> rom)
{
    PointerTargets result;
    const std::uint64_t end = kRomBase + std::min<std::uint64_t>(rom.size(), kRomAddressEnd - kRomBase);
    std::vector<std::uint32_t> targets;
    targets.reserve(rom.size() / 64);
    for (std::size_t at = 0; at + 4 <= rom.size(); at += 4) {
        const std::uint32_t word = WordAt(rom, at);
        if (word >= kRomBase && word < end) {
            targets.push_back(word - kRomBase);
        }
    }
    RadixSort(targets);
    for (std::size_t i = 0; i < targets.size();) {
        std::size_t j = i;
        while (j < targets.size() && targets[j] == targets[i]) {
            ++j;
        }
        result.offsets_.push_back(targets[i]);
        result.counts_.push_back(static_cast<std::uint32_t>(j - i));
        i = j;
    }
    return result;
}

std::uint32_t PointerTargets::CountAt(std::int64_t offset) const
{
    if (offset < 0 || offset > 0xFFFFFFFF) {
        return 0;
    }
    const auto it = std::lower_bound(offsets_.begin(), offsets_.end(), static_cast<std::uint32_t>(offset));
    if (it == offsets_.end() || *it != offset) {
        return 0;
    }
    return counts_[static_cast<std::size_t>(it - offsets_.begin())];
}

std::int64_t PointerTargets::FirstAtOrAfter(std::int64_t offset) const
{
    if (offset > 0xFFFFFFFF) {
        return -1;
    }
    const auto it = std::lower_bound(offsets_.begin(), offsets_.end(),
                                     static_cast<std::uint32_t>(std::max<std::int64_t>(offset, 0)));
    return it == offsets_.end() ? -1 : static_cast<std::int64_t>(*it);
}

bool PointerTargets::AnyIn(std::int64_t begin, std::int64_t end) const
{
    const std::int64_t first = FirstAtOrAfter(begin);
    return first >= 0 && first < end;
}

std::vector<std::uint32_t> PointerTargets::WordsNaming(std::span<const Byte> rom, std::int64_t offset)
{
    std::vector<std::uint32_t> places;
    if (offset < 0 || offset >= kRomAddressEnd - kRomBase || static_cast<std::uint64_t>(offset) >= rom.size()) {
        return places;
    }
    const std::uint32_t wanted = kRomBase + static_cast<std::uint32_t>(offset);
    for (std::size_t at = 0; at + 4 <= rom.size(); at += 4) {
        if (WordAt(rom, at) == wanted) {
            places.push_back(static_cast<std::uint32_t>(at));
        }
    }
    return places;
}

Result<Bytes> ReadWholeRom(const std::filesystem::path& rom)
{
    auto file = RomFile::Open(rom);
    if (!file) {
        return file.error();
    }
    return file->ReadAt(0, file->Size());
}

}  // namespace quillbox
