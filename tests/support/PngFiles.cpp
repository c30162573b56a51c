#include "PngFiles.h"

#include "base/Crc32.h"

#include <algorithm>
#include <array>

namespace quillbox::test {

namespace {

void PutBigEndian32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<Byte>(value >> shift));
}

int ChannelsOf(int colourType)
{
    switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
    }
}

// The filtered scanlines of the pixels (x0 + i * dx, y0 + j * dy): a filter byte of 0, then the
// samples packed from the highest bit down.
void AppendScanlines(const HandMadePng& png, int x0, int y0, int dx, int dy, Bytes& out)
{
    const int channels = ChannelsOf(png.colourType);
    for (auto y = static_cast<std::uint32_t>(y0); y < png.height; y += static_cast<std::uint32_t>(dy)) {
        if (static_cast<std::uint32_t>(x0) >= png.width) return;
        out.push_back(0);
        unsigned bits = 0;
        int filled = 0;
        for (auto x = static_cast<std::uint32_t>(x0); x < png.width; x += static_cast<std::uint32_t>(dx)) {
            const auto samples = png.samples(static_cast<int>(x), static_cast<int>(y));
            for (int c = 0; c < channels; ++c) {
                const std::uint16_t sample = samples[static_cast<std::size_t>(c)];
                if (png.bitDepth == 16) {
                    out.push_back(static_cast<Byte>(sample >> 8));
                    out.push_back(static_cast<Byte>(sample));
                } else if (png.bitDepth == 8) {
                    out.push_back(static_cast<Byte>(sample));
                } else {
                    bits = bits << png.bitDepth | sample;
                    filled += png.bitDepth;
                    if (filled == 8) {
                        out.push_back(static_cast<Byte>(bits));
                        bits = 0;
                        filled = 0;
                    }
                }
            }
        }
        if (filled > 0) out.push_back(static_cast<Byte>(bits << (8 - filled)));
    }
}

// A zlib stream of stored blocks: no compression, so no library is needed to write it.
Bytes StoredZlib(const Bytes& data)
{
    Bytes out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(data.size() - at, 0xFFFF);
        const bool last = at + length == data.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<Byte>(length));
        out.push_back(static_cast<Byte>(length >> 8));
        out.push_back(static_cast<Byte>(~length));
        out.push_back(static_cast<Byte>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < data.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const Byte byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian32(out, b << 16 | a);
    return out;
}

}  // namespace

Bytes PngChunk(std::string_view type, const Bytes& data)
{
    Bytes chunk;
    PutBigEndian32(chunk, static_cast<std::uint32_t>(data.size()));
    Bytes typeAndData(type.begin(), type.end());
    typeAndData.insert(typeAndData.end(), data.begin(), data.end());
    const std::uint32_t crc = Crc32(typeAndData);
    chunk.insert(chunk.end(), typeAndData.begin(), typeAndData.end());
    PutBigEndian32(chunk, crc);
    return chunk;
}

Bytes HandMadePng::Write() const
{
    Bytes header;
    PutBigEndian32(header, width);
    PutBigEndian32(header, height);
    header.insert(header.end(), {bitDepth, colourType, 0, 0, static_cast<Byte>(interlaced ? 1 : 0)});

    Bytes scanlines;
    if (interlaced) {
        // The seven passes of Adam7: where each starts and how far its pixels lie apart.
        static constexpr std::array<std::array<int, 4>, 7> kPasses = {{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
        for (const auto& [x0, y0, dx, dy] : kPasses) AppendScanlines(*this, x0, y0, dx, dy, scanlines);
    } else {
        AppendScanlines(*this, 0, 0, 1, 1, scanlines);
    }

    Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& chunk : {PngChunk("IHDR", header), palette.empty() ? Bytes{} : PngChunk("PLTE", palette),
                               PngChunk("IDAT", StoredZlib(scanlines)), PngChunk("IEND", {})}) {
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

Bytes IndexedPng(int width, int height, int entries, bool interlaced)
{
    HandMadePng png;
    png.width = static_cast<std::uint32_t>(width);
    png.height = static_cast<std::uint32_t>(height);
    png.interlaced = interlaced;
    for (int k = 0; k < entries; ++k) png.palette.insert(png.palette.end(), 3, static_cast<Byte>(k * 8));
    png.samples = [entries](int x, int y) { return std::vector<std::uint16_t>{static_cast<std::uint16_t>((x + y) % entries)}; };
    return png.Write();
}

}  // namespace quillbox::test
