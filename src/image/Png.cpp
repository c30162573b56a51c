#include "image/Png.h"

#include "image/PngChunks.h"
#include "base/FileWrite.h"
#include "base/PathText.h"

#include <climits>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

// stb's PNG decoder and encoder, compiled into this file alone and private to it.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace quillbox {

namespace {

// Icons are 24 by 24; anything much larger is refused before it is decoded into memory.
constexpr std::uint32_t kLargestSide = 4096;

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

void AppendTo(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

Result<PngImage> DecodePng(std::span<const std::uint8_t> file)
{
    // stb checks neither the chunks' checksums nor that the file is whole, so that is done first.
    auto layout = CheckPngChunks(file);
    if (!layout) {
        return layout.error();
    }
    if (layout->width > kLargestSide || layout->height > kLargestSide || file.size() > INT_MAX) {
        return MakeError(ErrorCode::BadImageFile, "the picture is " + std::to_string(layout->width) + " by " +
                                                      std::to_string(layout->height) +
                                                      " pixels; PNG files larger than 4096 on a side are not read");
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    const std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &channels, 4));
    if (!rgba) {
        return MakeError(ErrorCode::BadImageFile, std::string("the PNG's image data is broken (") + stbi_failure_reason() + ")");
    }
    PngImage image;
    image.width = width;
    image.height = height;
    image.interlaced = layout->interlaced;
    image.indexed = layout->colourType == 3;
    image.paletteEntries = image.indexed ? layout->paletteEntries : 0;
    image.argb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < image.argb.size(); ++i) {
        const stbi_uc* pixel = rgba.get() + i * 4;
        image.argb[i] = static_cast<std::uint32_t>(pixel[3]) << 24 | static_cast<std::uint32_t>(pixel[0]) << 16 |
                        static_cast<std::uint32_t>(pixel[1]) << 8 | pixel[2];
    }
    return image;
}

Result<PngImage> ReadPng(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return MakeError(ErrorCode::BadImageFile, "\"" + PathText(path) + "\" " + WhyUnreadable(path));
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        return MakeError(ErrorCode::BadImageFile, "\"" + PathText(path) + "\" cannot be read");
    }
    return DecodePng(bytes);
}

Result<std::vector<std::uint8_t>> EncodePng(int width, int height, std::span<const std::uint32_t> argb)
{
    if (width <= 0 || height <= 0 || argb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return MakeError(ErrorCode::BadImageFile, "the picture has no pixels or the wrong number of them");
    }
    if (static_cast<std::uint32_t>(width) > kLargestSide || static_cast<std::uint32_t>(height) > kLargestSide) {
        return MakeError(ErrorCode::BadImageFile, "pictures larger than 4096 pixels on a side are not written");
    }
    std::vector<std::uint8_t> rgba(argb.size() * 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        rgba[i * 4] = static_cast<std::uint8_t>(argb[i] >> 16);
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(argb[i] >> 8);
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(argb[i]);
        rgba[i * 4 + 3] = static_cast<std::uint8_t>(argb[i] >> 24);
    }
    std::vector<std::uint8_t> encoded;
    if (stbi_write_png_to_func(&AppendTo, &encoded, width, height, 4, rgba.data(), width * 4) == 0) {
        return MakeError(ErrorCode::BadImageFile, "the PNG could not be encoded");
    }
    return encoded;
}

Status WritePng(const std::filesystem::path& path, int width, int height, std::span<const std::uint32_t> argb)
{
    auto encoded = EncodePng(width, height, argb);
    if (!encoded) {
        return encoded.error();
    }
    if (auto failure = WriteFileWhole(path, *encoded)) {
        return MakeError(ErrorCode::BadImageFile, "\"" + PathText(path) + "\" could not be written: " + *failure);
    }
    return {};
}

}  // namespace quillbox
