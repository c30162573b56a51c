#include "image/PngChunks.h"

#include "base/Crc32.h"

#include <algorithm>
#include <array>
#include <string>

namespace quillbox {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kLongestChunk = 0x7FFFFFFF;

enum ColourType : int { kGrey = 0, kRgb = 2, kIndexed = 3, kGreyAlpha = 4, kRgba = 6 };

std::uint32_t BigEndian32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

Error Broken(const std::string& detail)
{
    return MakeError(ErrorCode::BadImageFile, "the PNG is broken (" + detail + ")");
}

Error CutShort(const std::string& detail)
{
    return MakeError(ErrorCode::BadImageFile, "the PNG is cut short (" + detail + ")");
}

bool IsChunkType(std::span<const std::uint8_t> type)
{
    return std::all_of(type.begin(), type.end(),
                       [](std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

bool DepthFits(int colourType, int bitDepth)
{
    switch (colourType) {
    case kGrey: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case kIndexed: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case kRgb:
    case kGreyAlpha:
    case kRgba: return bitDepth == 8 || bitDepth == 16;
    default: return false;
    }
}

Result<PngLayout> ReadHeader(std::span<const std::uint8_t> data)
{
    if (data.size() != 13) {
        return Broken("its IHDR header chunk has " + std::to_string(data.size()) + " bytes, not 13");
    }
    PngLayout layout;
    layout.width = BigEndian32(data.data());
    layout.height = BigEndian32(data.data() + 4);
    layout.bitDepth = data[8];
    layout.colourType = data[9];
    if (layout.width == 0 || layout.height == 0 || layout.width > kLongestChunk || layout.height > kLongestChunk) {
        return Broken("its header gives a size of " + std::to_string(layout.width) + " by " +
                      std::to_string(layout.height) + " pixels");
    }
    if (!DepthFits(layout.colourType, layout.bitDepth)) {
        return Broken("its header gives colour type " + std::to_string(layout.colourType) + " with " +
                      std::to_string(layout.bitDepth) + "-bit samples, which PNG does not know");
    }
    if (data[10] != 0 || data[11] != 0 || data[12] > 1) {
        return Broken("its header names a compression, filter or interlace method PNG does not know");
    }
    layout.interlaced = data[12] == 1;
    return layout;
}

}  // namespace

Result<PngLayout> CheckPngChunks(std::span<const std::uint8_t> file)
{
    const std::size_t signatureBytes = std::min(file.size(), kSignature.size());
    if (!std::equal(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(signatureBytes), kSignature.begin())) {
        return MakeError(ErrorCode::BadImageFile, "not a PNG file (its first bytes are not the PNG signature)");
    }
    if (file.size() < kSignature.size()) return CutShort("its signature is incomplete");

    PngLayout layout;
    bool headerSeen = false;
    bool dataSeen = false;
    std::size_t at = kSignature.size();
    for (;;) {
        if (file.size() - at < 8) {
            return CutShort(file.size() == at ? "its end chunk is missing" : "its last chunk is incomplete");
        }
        const std::uint32_t length = BigEndian32(&file[at]);
        const auto typeBytes = file.subspan(at + 4, 4);
        if (!IsChunkType(typeBytes)) {
            return Broken("the chunk at byte " + std::to_string(at) + " has no chunk type");
        }
        const std::string type(typeBytes.begin(), typeBytes.end());
        if (length > kLongestChunk) {
            return Broken("its " + type + " chunk claims " + std::to_string(length) + " bytes");
        }
        if (file.size() - at - 8 < std::uint64_t{length} + 4) {
            return CutShort("its " + type + " chunk is incomplete");
        }
        const auto data = file.subspan(at + 8, length);
        if (Crc32(data, Crc32(typeBytes)) != BigEndian32(&file[at + 8 + length])) {
            return Broken("the checksum of its " + type + " chunk does not match");
        }
        at += 12 + std::size_t{length};

        if (!headerSeen) {
            if (type != "IHDR") {
                return MakeError(ErrorCode::BadImageFile, "not a PNG file (it does not begin with its IHDR header chunk)");
            }
            auto header = ReadHeader(data);
            if (!header) return header.error();
            layout = *header;
            headerSeen = true;
        } else if (type == "IHDR") {
            return Broken("it has a second IHDR header chunk");
        } else if (type == "PLTE") {
            const std::size_t entries = length / 3;
            if (length % 3 != 0 || entries == 0 || entries > 256) {
                return Broken("its palette of " + std::to_string(length) + " bytes is not 1 to 256 colours of 3 bytes");
            }
            if (layout.colourType == kGrey || layout.colourType == kGreyAlpha) return Broken("a grey picture has a palette");
            if (layout.colourType == kIndexed && entries > std::size_t{1} << layout.bitDepth) {
                return Broken("its palette has " + std::to_string(entries) + " colours, more than " +
                              std::to_string(layout.bitDepth) + "-bit pixels can choose from");
            }
            if (layout.paletteEntries != 0 || dataSeen) return Broken("its palette is repeated or comes after the image data");
            layout.paletteEntries = static_cast<int>(entries);
        } else if (type == "IDAT") {
            if (layout.colourType == kIndexed && layout.paletteEntries == 0) return Broken("an indexed picture has no palette");
            dataSeen = true;
        } else if (type == "IEND") {
            break;
        } else if ((typeBytes[0] & 0x20) == 0) {
            // An upper-case first letter marks a chunk that a reader must understand to show the picture.
            return Broken("its " + type + " chunk is one this program does not know");
        }
    }
    if (!dataSeen) return Broken("it holds no image data");
    return layout;
}

}  // namespace quillbox
