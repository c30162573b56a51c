#include "image/IconImport.h"

#include <algorithm>
#include <optional>
#include <string>

namespace quillbox {

namespace {

constexpr int kMostColours = 15;
constexpr int kMostPaletteEntries = 16;
constexpr std::uint32_t kOpaqueFrom = 128;

bool IsTransparent(std::uint32_t argb) { return (argb >> 24) < kOpaqueFrom; }

std::uint16_t Channel5(std::uint32_t value8) { return static_cast<std::uint16_t>(std::min<std::uint32_t>((value8 + 4) / 8, 31)); }

// The colour most often seen on the border, the first of equals in reading order.
std::uint16_t MostCommonBorderColour(const PngImage& picture)
{
    std::vector<std::pair<std::uint16_t, int>> seen;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (y != 0 && y != picture.height - 1 && x != 0 && x != picture.width - 1) continue;
            const std::uint16_t word = ArgbToPaletteWord(picture.At(x, y));
            auto it = std::find_if(seen.begin(), seen.end(), [&](const auto& entry) { return entry.first == word; });
            if (it == seen.end()) {
                seen.emplace_back(word, 1);
            } else {
                ++it->second;
            }
        }
    }
    const auto most = std::max_element(seen.begin(), seen.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return most->first;
}

}  // namespace

std::uint16_t ArgbToPaletteWord(std::uint32_t argb)
{
    return static_cast<std::uint16_t>(Channel5((argb >> 16) & 0xFF) | Channel5((argb >> 8) & 0xFF) << 5 |
                                      Channel5(argb & 0xFF) << 10);
}

Result<IndexedIcon> QuantiseIcon(const PngImage& picture)
{
    if (picture.width != kIconSize || picture.height != kIconSize) {
        return MakeError(ErrorCode::BadImageFile, "an icon is 24 by 24 pixels, this picture is " +
                                                      std::to_string(picture.width) + " by " +
                                                      std::to_string(picture.height));
    }
    if (picture.interlaced) {
        return MakeError(ErrorCode::BadImageFile, "interlaced PNG files are not accepted; save it without interlacing");
    }
    if (picture.indexed && picture.paletteEntries > kMostPaletteEntries) {
        return MakeError(ErrorCode::BadImageFile, "its palette has " + std::to_string(picture.paletteEntries) +
                                                      " entries, and an icon has 16 at most");
    }
    const bool hasTransparency = std::any_of(picture.argb.begin(), picture.argb.end(), IsTransparent);
    std::optional<std::uint16_t> background;
    IndexedIcon icon;
    if (!hasTransparency) {
        background = MostCommonBorderColour(picture);
        icon.palette[0] = *background;
    }
    int used = 0;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const std::uint32_t argb = picture.At(x, y);
            std::uint8_t index = 0;
            if (!IsTransparent(argb)) {
                const std::uint16_t word = ArgbToPaletteWord(argb);
                if (word != background) {
                    const auto begin = icon.palette.begin() + 1;
                    const auto found = std::find(begin, begin + used, word);
                    if (found == begin + used) {
                        if (used == kMostColours) {
                            return MakeError(ErrorCode::BadImageFile,
                                             "it has more than 15 colours besides the transparent one, after "
                                             "rounding to the console's 15-bit colours");
                        }
                        *found = word;
                        ++used;
                    }
                    index = static_cast<std::uint8_t>(found - icon.palette.begin());
                }
            }
            icon.indices[static_cast<std::size_t>(y * kIconSize + x)] = index;
        }
    }
    icon.colours = used;
    return icon;
}

std::vector<std::uint8_t> IconTileBytes(const IndexedIcon& icon)
{
    std::vector<std::uint8_t> tiles(static_cast<std::size_t>(kIconTiles) * 32, 0);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const int tile = (y / kTileSize) * (kIconSize / kTileSize) + x / kTileSize;
            const int k = (y % kTileSize) * 4 + (x % kTileSize) / 2;
            const std::uint8_t index = icon.indices[static_cast<std::size_t>(y * kIconSize + x)];
            std::uint8_t& pair = tiles[static_cast<std::size_t>(tile * 32 + k)];
            pair = static_cast<std::uint8_t>(x % 2 == 0 ? (pair & 0xF0) | index : (pair & 0x0F) | index << 4);
        }
    }
    return tiles;
}

std::vector<std::uint8_t> IconPaletteBytes(const IndexedIcon& icon)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t word : icon.palette) {
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return bytes;
}

}  // namespace quillbox
