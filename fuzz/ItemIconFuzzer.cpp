// Input: a byte choosing how each of the two offsets is read, two 32-bit offsets, then the
// contents of a file. The icon read from the file at those offsets must equal the icon decoded
// from the same bytes in memory, offsets near and past the end of the file included; offsets the
// file cannot have are refused. Composing an icon from short, arbitrary buffers must match a
// pixel-by-pixel reading of the tile layout.

#include "FuzzSupport.h"

#include "image/ItemIcon.h"
#include "items/record/ItemOperations.h"
#include "rom/RomFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

using quillbox::Bytes;
using quillbox::fuzz::InputReader;

// How one offset is read from its 32 input bits.
enum class OffsetKind { AnywhereNearTheFile, InTheLastBytes, Unsigned32, Signed32 };

constexpr std::int64_t kNearby = 64;

std::int64_t PlaceOffset(OffsetKind kind, std::uint32_t bits, std::size_t fileSize)
{
    const auto size = static_cast<std::int64_t>(fileSize);
    switch (kind) {
    case OffsetKind::AnywhereNearTheFile: return static_cast<std::int64_t>(bits % static_cast<std::uint64_t>(size + kNearby));
    case OffsetKind::InTheLastBytes: return std::max<std::int64_t>(size - 1 - static_cast<std::int64_t>(bits % kNearby), 0);
    case OffsetKind::Unsigned32: return static_cast<std::int64_t>(bits);
    case OffsetKind::Signed32: return static_cast<std::int32_t>(bits);
    }
    return 0;
}

Bytes ZeroFilledSlice(std::span<const std::uint8_t> file, std::int64_t offset, std::size_t count)
{
    Bytes slice(count, 0);
    if (offset >= 0 && static_cast<std::size_t>(offset) < file.size()) {
        const std::size_t available = std::min(count, file.size() - static_cast<std::size_t>(offset));
        std::copy_n(file.begin() + offset, available, slice.begin());
    }
    return slice;
}

void CheckPixelsArePaletteColours(const quillbox::IconPixels& icon)
{
    for (const std::uint32_t pixel : icon.argb) {
        const bool transparent = pixel == 0;
        const bool opaque = (pixel >> 24) == 0xFF && (pixel & 0x00070707U) == 0;
        QUILLBOX_FUZZ_CHECK(transparent || opaque);
    }
}

// Pixel (x, y) lies in tile (y / 8) * 3 + x / 8, in that tile's byte (y % 8) * 4 + (x % 8) / 2,
// the low half for even x; colour 0 shows the background.
void CheckComposition(std::span<const std::uint8_t> tiles, std::span<const std::uint8_t> palette)
{
    const auto byteAt = [](std::span<const std::uint8_t> bytes, std::size_t at) -> std::uint32_t {
        return at < bytes.size() ? bytes[at] : 0;
    };
    const quillbox::IconPixels icon = quillbox::ComposeIcon(tiles, palette);
    for (int y = 0; y < quillbox::kIconSize; ++y) {
        for (int x = 0; x < quillbox::kIconSize; ++x) {
            const auto tile = static_cast<std::size_t>((y / 8) * 3 + x / 8);
            const std::uint32_t pair = byteAt(tiles, tile * 32 + static_cast<std::size_t>((y % 8) * 4 + (x % 8) / 2));
            const std::uint32_t colour = x % 2 == 0 ? (pair & 0x0F) : (pair >> 4);
            const auto word = static_cast<std::uint16_t>(byteAt(palette, 2 * colour) | (byteAt(palette, 2 * colour + 1) << 8));
            const std::uint32_t expected = colour == 0 ? 0 : quillbox::PaletteWordToArgb(word);
            QUILLBOX_FUZZ_CHECK(icon.At(x, y) == expected);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    const std::uint8_t kinds = input.Byte();
    const std::uint32_t imageBits = input.Le32();
    const std::uint32_t paletteBits = input.Le32();
    const std::span<const std::uint8_t> file = input.Rest();

    const std::int64_t imageOffset = PlaceOffset(static_cast<OffsetKind>(kinds & 3), imageBits, file.size());
    const std::int64_t paletteOffset = PlaceOffset(static_cast<OffsetKind>((kinds >> 2) & 3), paletteBits, file.size());

    const auto romPath = quillbox::fuzz::Scratch() / "icon.gba";
    quillbox::fuzz::WriteWholeFile(romPath, file);
    auto icon = quillbox::ReadItemIcon(romPath, imageOffset, paletteOffset);
    const auto addressable = [](std::int64_t offset) { return offset >= 0 && offset <= quillbox::kMaxOffset; };
    if (!addressable(imageOffset) || !addressable(paletteOffset)) {
        QUILLBOX_FUZZ_CHECK(!icon.has_value() && icon.error().code == quillbox::ErrorCode::BadOffset);
    } else {
        QUILLBOX_FUZZ_CHECK(icon.has_value());
        const Bytes tiles = ZeroFilledSlice(file, imageOffset, quillbox::kImageBufferSize);
        const Bytes palette = ZeroFilledSlice(file, paletteOffset, quillbox::kImageBufferSize);
        QUILLBOX_FUZZ_CHECK(icon->argb == quillbox::DecodeIcon(tiles, palette).argb);
        CheckPixelsArePaletteColours(*icon);
    }

    // The streams straight from the input, of any length, without going through a file.
    const std::size_t split = file.empty() ? 0 : imageBits % (file.size() + 1);
    CheckPixelsArePaletteColours(quillbox::DecodeIcon(file.first(split), file.subspan(split)));
    CheckComposition(file.first(split), file.subspan(split));
    return 0;
}
