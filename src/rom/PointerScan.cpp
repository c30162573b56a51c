#include "rom/PointerScan.h"

#include <algorithm>
#include <memory>

namespace quillbox {

namespace {

// The scan reads every word of up to 32 MiB: GCC and clang turn these four bytes into one load
// on a little-endian host, and the same code stays right on any other.
std::uint32_t WordAt(std::span<const Byte> rom, std::size_t at)
{
    const Byte* bytes = rom.data() + at;
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A buffer of words left uninitialised: only the pages a scan fills are ever touched.
std::unique_ptr<std::uint32_t[]> UninitialisedWords(std::size_t count)
{
    return std::unique_ptr<std::uint32_t[]>(new std::uint32_t[count]);
}

// Two passes of a 13-bit radix sort cover every offset below 2^26; a real ROM holds hundreds of
// thousands of such words, where a comparison sort would cost more than the scan itself. The
// sorted values end where they began, in `values`.
void RadixSort(std::span<std::uint32_t> values, std::span<std::uint32_t> scratch)
{
    constexpr int kBits = 13;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    std::vector<std::uint32_t> starts(kBuckets + 1);
    std::span<std::uint32_t> from = values;
    std::span<std::uint32_t> to = scratch;
    for (int shift = 0; shift < 2 * kBits; shift += kBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (std::uint32_t value : from) {
            ++starts[((value >> shift) & (kBuckets - 1)) + 1];
        }
        for (std::size_t bucket = 1; bucket <= kBuckets; ++bucket) {
            starts[bucket] += starts[bucket - 1];
        }
        for (std::uint32_t value : from) {
            to[starts[(value >> shift) & (kBuckets - 1)]++] = value;
        }
        std::swap(from, to);
    }
}

}  // namespace

PointerTargets ScanPointers(std::span<const Byte> rom)
{
    PointerTargets result;
    const std::uint32_t reach = static_cast<std::uint32_t>(std::min<std::uint64_t>(rom.size(), kRomAddressEnd - kRomBase));
    // Every word is written and only the ones naming the ROM advance the end, so the loop has
    // no branch to mispredict on data where pointers and other words alternate at random.
    const std::size_t words = rom.size() / 4;
    auto buffer = UninitialisedWords(words + 1);
    std::size_t count = 0;
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint32_t target = WordAt(rom, 4 * i) - kRomBase;
        buffer[count] = target;
        count += target < reach ? 1 : 0;
    }
    const std::span<std::uint32_t> targets(buffer.get(), count);
    auto scratch = UninitialisedWords(count);
    RadixSort(targets, std::span(scratch.get(), count));
    // Each distinct offset goes to the front of the sorted words and its count to the front of
    // the scratch, which the sort no longer needs: the result is these two buffers.
    std::size_t distinct = 0;
    for (std::size_t i = 0; i < targets.size();) {
        std::size_t j = i;
        while (j < targets.size() && targets[j] == targets[i]) {
            ++j;
        }
        targets[distinct] = targets[i];
        scratch[distinct] = static_cast<std::uint32_t>(j - i);
        ++distinct;
        i = j;
    }
    result.offsets_ = std::move(buffer);
    result.counts_ = std::move(scratch);
    result.distinct_ = distinct;
    return result;
}

std::uint32_t PointerTargets::CountAt(std::int64_t offset) const
{
    if (offset < 0 || offset > 0xFFFFFFFF) {
        return 0;
    }
    const auto offsets = Offsets();
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), static_cast<std::uint32_t>(offset));
    if (it == offsets.end() || *it != offset) {
        return 0;
    }
    return counts_[static_cast<std::size_t>(it - offsets.begin())];
}

std::int64_t PointerTargets::FirstAtOrAfter(std::int64_t offset) const
{
    if (offset > 0xFFFFFFFF) {
        return -1;
    }
    const auto offsets = Offsets();
    const auto it = std::lower_bound(offsets.begin(), offsets.end(),
                                     static_cast<std::uint32_t>(std::max<std::int64_t>(offset, 0)));
    return it == offsets.end() ? -1 : static_cast<std::int64_t>(*it);
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
    // Whole blocks of words are first asked whether any of them names the place: a loop of a
    // fixed length without branches, which the compiler runs many words at a time.
    constexpr std::size_t kBlock = 64;
    const std::size_t words = rom.size() / 4;
    std::size_t block = 0;
    for (; block + kBlock <= words; block += kBlock) {
        std::uint32_t any = 0;
        for (std::size_t k = 0; k < kBlock; ++k) any |= static_cast<std::uint32_t>(WordAt(rom, 4 * (block + k)) == wanted);
        if (any == 0) continue;
        for (std::size_t k = block; k < block + kBlock; ++k) {
            if (WordAt(rom, 4 * k) == wanted) places.push_back(static_cast<std::uint32_t>(4 * k));
        }
    }
    for (; block < words; ++block) {
        if (WordAt(rom, 4 * block) == wanted) places.push_back(static_cast<std::uint32_t>(4 * block));
    }
    return places;
}

std::span<const Byte> WholeRom::View() const
{
    if (const auto* mapped = std::get_if<MappedFile>(&data_)) return mapped->View();
    return std::get<Bytes>(data_);
}

Result<WholeRom> ReadWholeRom(const std::filesystem::path& rom)
{
    // Opening first gives the same refusals as every other read of a ROM.
    auto file = RomFile::Open(rom);
    if (!file) {
        return file.error();
    }
    if (auto mapped = MappedFile::Map(rom, file->Size())) {
        return WholeRom(std::move(*mapped));
    }
    auto bytes = file->ReadAt(0, file->Size());
    if (!bytes) {
        return bytes.error();
    }
    return WholeRom(std::move(*bytes));
}

}  // namespace quillbox
