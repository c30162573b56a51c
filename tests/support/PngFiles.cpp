#include "PngFiles.h"

#include <spng.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace quillbox::test {

namespace {

Bytes Encode(spng_ihdr header, const spng_plte* palette, const std::vector<std::uint8_t>& pixels)
{
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context(spng_ctx_new(SPNG_CTX_ENCODER), &spng_ctx_free);
    spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
    int code = spng_set_ihdr(context.get(), &header);
    if (code == 0 && palette != nullptr) code = spng_set_plte(context.get(), const_cast<spng_plte*>(palette));
    if (code == 0) {
        code = spng_encode_image(context.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    }
    if (code != 0) throw std::runtime_error(std::string("test PNG not encoded: ") + spng_strerror(code));
    std::size_t length = 0;
    std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(context.get(), &length, &code), &std::free);
    if (!buffer) throw std::runtime_error("test PNG not encoded");
    const auto* begin = static_cast<const std::uint8_t*>(buffer.get());
    return Bytes(begin, begin + length);
}

}  // namespace

Bytes IndexedPng(int width, int height, int entries, bool interlaced)
{
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_INDEXED;
    header.interlace_method = interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
    spng_plte palette{};
    palette.n_entries = static_cast<std::uint32_t>(entries);
    for (int k = 0; k < entries; ++k) {
        const auto grey = static_cast<std::uint8_t>(k * 8);
        palette.entries[k] = {grey, grey, grey, 255};
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>((x + y) % entries);
    }
    return Encode(header, &palette, pixels);
}

}  // namespace quillbox::test
