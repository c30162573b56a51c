#include "image/Png.h"

#include <spng.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace quillbox {

namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

// Icons are 24 by 24; anything much larger is refused before it is decoded into memory.
constexpr std::uint32_t kLargestSide = 4096;

Error PngError(std::string_view what, int code)
{
    return MakeError(ErrorCode::BadImageFile, std::string(what) + " (" + spng_strerror(code) + ")");
}

}  // namespace

Result<PngImage> DecodePng(std::span<const std::uint8_t> file)
{
    Context context(spng_ctx_new(0));
    if (!context) {
        return MakeError(ErrorCode::BadImageFile, "the PNG decoder could not start");
    }
    spng_set_image_limits(context.get(), kLargestSide, kLargestSide);
    spng_set_crc_action(context.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
    if (int code = spng_set_png_buffer(context.get(), file.data(), file.size()); code != 0) {
        return PngError("not a PNG file", code);
    }
    spng_ihdr header{};
    if (int code = spng_get_ihdr(context.get(), &header); code != 0) {
        return PngError("not a PNG file", code);
    }
    PngImage image;
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(header.height);
    image.interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
    image.indexed = header.color_type == SPNG_COLOR_TYPE_INDEXED;
    if (image.indexed) {
        spng_plte palette{};
        if (spng_get_plte(context.get(), &palette) == 0) {
            image.paletteEntries = static_cast<int>(palette.n_entries);
        }
    }
    std::size_t size = 0;
    if (int code = spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &size); code != 0) {
        return PngError("the PNG cannot be decoded", code);
    }
    std::vector<std::uint8_t> rgba(size);
    if (int code = spng_decode_image(context.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
        code != 0) {
        return PngError("the PNG is broken or cut short", code);
    }
    // The pixels can be complete while the file is not (a lost checksum, no end chunk): a file
    // cut short is refused all the same, as it is most likely not the one the user meant.
    if (int code = spng_decode_chunks(context.get()); code != 0) {
        return PngError("the PNG is broken or cut short", code);
    }
    static constexpr std::uint8_t kEndChunk[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    if (std::search(file.begin(), file.end(), std::begin(kEndChunk), std::end(kEndChunk)) == file.end()) {
        return MakeError(ErrorCode::BadImageFile, "the PNG is cut short (its end chunk is missing)");
    }
    image.argb.resize(rgba.size() / 4);
    for (std::size_t i = 0; i < image.argb.size(); ++i) {
        const std::uint8_t* pixel = &rgba[i * 4];
        image.argb[i] = static_cast<std::uint32_t>(pixel[3]) << 24 | static_cast<std::uint32_t>(pixel[0]) << 16 |
                        static_cast<std::uint32_t>(pixel[1]) << 8 | pixel[2];
    }
    return image;
}

Result<PngImage> ReadPng(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return MakeError(ErrorCode::BadImageFile, "\"" + path.string() + "\" cannot be read");
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        return MakeError(ErrorCode::BadImageFile, "\"" + path.string() + "\" cannot be read");
    }
    return DecodePng(bytes);
}

Result<std::vector<std::uint8_t>> EncodePng(int width, int height, std::span<const std::uint32_t> argb)
{
    if (width <= 0 || height <= 0 || argb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return MakeError(ErrorCode::BadImageFile, "the picture has no pixels or the wrong number of them");
    }
    std::vector<std::uint8_t> rgba(argb.size() * 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        rgba[i * 4] = static_cast<std::uint8_t>(argb[i] >> 16);
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(argb[i] >> 8);
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(argb[i]);
        rgba[i * 4 + 3] = static_cast<std::uint8_t>(argb[i] >> 24);
    }
    Context context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context) {
        return MakeError(ErrorCode::BadImageFile, "the PNG encoder could not start");
    }
    spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    if (int code = spng_set_ihdr(context.get(), &header); code != 0) {
        return PngError("the PNG header could not be made", code);
    }
    if (int code = spng_encode_image(context.get(), rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
        code != 0) {
        return PngError("the PNG could not be encoded", code);
    }
    std::size_t length = 0;
    int code = 0;
    std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(context.get(), &length, &code), &std::free);
    if (!buffer || code != 0) {
        return PngError("the PNG could not be encoded", code);
    }
    const auto* begin = static_cast<const std::uint8_t*>(buffer.get());
    return std::vector<std::uint8_t>(begin, begin + length);
}

Status WritePng(const std::filesystem::path& path, int width, int height, std::span<const std::uint32_t> argb)
{
    auto encoded = EncodePng(width, height, argb);
    if (!encoded) {
        return encoded.error();
    }
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
        stream.write(reinterpret_cast<const char*>(encoded->data()), static_cast<std::streamsize>(encoded->size()));
        stream.close();
        if (!stream) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return MakeError(ErrorCode::BadImageFile, "\"" + path.string() + "\" could not be written");
        }
    }
    std::error_code renamed;
    std::filesystem::rename(partial, path, renamed);
    if (renamed) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return MakeError(ErrorCode::BadImageFile, "\"" + path.string() + "\" could not be written: " + renamed.message());
    }
    return {};
}

}  // namespace quillbox
