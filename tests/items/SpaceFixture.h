#pragma once

#include "ItemTestSupport.h"

#include "image/ItemIcon.h"
#include "image/Lz77.h"

#include <set>

namespace quillbox::test {

// A ROM in which descriptions and icons are shared the way the games share them: every item
// has its own one-letter description except items 10 to 12, which share item 10's and which one
// more word of the ROM names; item i draws image i mod 7 with palette i mod 3. The bytes from
// kFree to the end are free.
class SpaceFixture {
public:
    static constexpr std::int64_t kDescriptions = 0x8000;
    static constexpr std::int64_t kImages = 0x7100;
    static constexpr std::int64_t kPalettes = 0x7800;
    static constexpr std::int64_t kStrayWord = 0x7F00;
    static constexpr std::int64_t kFree = 0x9000;
    static constexpr int kImageCount = 7;
    static constexpr int kPaletteCount = 3;
    inline static const std::set<int> kSharedGroup{10, 11, 12};

    explicit SpaceFixture(std::string_view headerCode = "BPRE", std::string profileLines = {})
        : builder_(headerCode, RomBuilder::kDefaultSize, 0x00)
    {
        const GameFamily* family = FindGameFamily(GameCodeOf(headerCode));
        for (int position = 0; position < family->itemCount; ++position) {
            builder_.Put(Description(position), {static_cast<Byte>(0xBB + position % 26), 0xFF});
            builder_.PutPointer(builder_.Entry(position) + ItemField::DescPointer,
                                kSharedGroup.contains(position) ? Description(10) : Description(position));
            if (family->hasImages) {
                builder_.PutPointer(builder_.ImageEntry(position), Image(position % kImageCount));
                builder_.PutPointer(builder_.ImageEntry(position) + 4, Palette(position % kPaletteCount));
            }
        }
        for (int k = 0; k < kImageCount; ++k) {
            Bytes tiles(static_cast<std::size_t>(kIconTiles) * 32);
            for (std::size_t i = 0; i < tiles.size(); ++i) tiles[i] = static_cast<Byte>((i * (k + 3) / 7) & 0x33);
            builder_.Put(Image(k), CompressLz77(tiles));
        }
        for (int k = 0; k < kPaletteCount; ++k) {
            Bytes words(32);
            for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<Byte>(i * 9 + static_cast<std::size_t>(k) * 40);
            builder_.Put(Palette(k), CompressLz77(words));
        }
        builder_.PutPointer(kStrayWord, Description(10));
        builder_.Fill(kFree, builder_.Size() - kFree, 0xFF);
        builder_.ProfileLines(std::move(profileLines));
        rom_ = builder_.Write(dir_);
        state_ = OpenOrFail(rom_, RomBuilder::ProfilePath(dir_));
    }

    static std::int64_t Description(int position) { return kDescriptions + 2 * std::int64_t{position}; }
    static std::int64_t Image(int k) { return kImages + 0x100 * std::int64_t{k}; }
    static std::int64_t Palette(int k) { return kPalettes + 0x40 * std::int64_t{k}; }

    const RomBuilder& Builder() const { return builder_; }
    const std::filesystem::path& Rom() const { return rom_; }
    const RomState& State() const { return state_; }
    Bytes Read() const { return ReadFile(rom_); }

private:
    TempDir dir_;
    RomBuilder builder_;
    std::filesystem::path rom_;
    RomState state_;
};

inline Bytes PointerTo(std::int64_t offset)
{
    const auto pointer = static_cast<std::uint32_t>(offset + 0x08000000);
    return {static_cast<Byte>(pointer), static_cast<Byte>(pointer >> 8), static_cast<Byte>(pointer >> 16),
            static_cast<Byte>(pointer >> 24)};
}

inline void PutInto(Bytes& file, std::int64_t offset, const Bytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Free bytes all around [offset, offset + size) in `file`, margins included.
inline bool WasFree(const Bytes& file, std::int64_t offset, std::int64_t size)
{
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(offset - 16);
    return offset % 4 == 0 && std::all_of(begin, begin + static_cast<std::ptrdiff_t>(size + 32), [](Byte b) { return b == 0xFF; });
}

}  // namespace quillbox::test
