#pragma once

#include "base/HexText.h"
#include "rom/RomFile.h"
#include "platform/MappedFile.h"

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <variant>
#include <vector>

namespace quillbox {

// The GBA maps the cartridge at kRomBase (0x08000000); a 32 MiB ROM reaches up to 0x09FFFFFF.
inline constexpr std::uint32_t kRomAddressEnd = 0x0A000000;

// Every 4-byte aligned little-endian word of a ROM that names a place inside the same ROM,
// gathered in one pass. The game reaches its tables through such words, so the number of words
// naming an offset is the evidence that the game uses what lies there.
class PointerTargets {
public:
    PointerTargets() = default;

    // Distinct file offsets named by at least one word, ascending.
    std::span<const std::uint32_t> Offsets() const { return {offsets_.get(), distinct_}; }
    // How many words name each of Offsets(), in the same order.
    std::span<const std::uint32_t> Counts() const { return {counts_.get(), distinct_}; }
    // How many aligned words name `offset`.
    std::uint32_t CountAt(std::int64_t offset) const;
    // Whether any word names an offset in [begin, end).
    bool AnyIn(std::int64_t begin, std::int64_t end) const;
    // The lowest named offset at or after `offset`, or -1.
    std::int64_t FirstAtOrAfter(std::int64_t offset) const;
    // File offsets of the words that name `offset`, ascending: the places to change when what
    // lies there moves. Found by a second look at the ROM, so only asked for a few targets.
    static std::vector<std::uint32_t> WordsNaming(std::span<const Byte> rom, std::int64_t offset);

    std::size_t DistinctCount() const { return distinct_; }

    friend PointerTargets ScanPointers(std::span<const Byte> rom);

private:
    // The scan's own buffers, which only the first distinct_ words of have been written: a dense
    // ROM names hundreds of thousands of places, and copying them out would map as many pages
    // again.
    std::unique_ptr<std::uint32_t[]> offsets_;
    std::unique_ptr<std::uint32_t[]> counts_;
    std::size_t distinct_ = 0;
};

PointerTargets ScanPointers(std::span<const Byte> rom);

// The whole ROM, for the scans that have to look at every word of it: the file's pages mapped
// where the system can, read into memory elsewhere.
class WholeRom {
public:
    explicit WholeRom(Bytes bytes) : data_(std::move(bytes)) {}
    explicit WholeRom(MappedFile mapped) : data_(std::move(mapped)) {}
    std::span<const Byte> View() const;

private:
    std::variant<Bytes, MappedFile> data_;
};
Result<WholeRom> ReadWholeRom(const std::filesystem::path& rom);

}  // namespace quillbox
