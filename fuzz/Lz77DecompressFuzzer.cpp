// Input: two bytes of output capacity (little-endian), then a compressed stream. The stream is
// decoded into a buffer of exactly that capacity and compared with a plain byte-by-byte decoder;
// the same bytes, taken as plain data, are then compressed and must come back unchanged.

#include "FuzzSupport.h"

#include "image/Lz77.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

using quillbox::fuzz::InputReader;

struct Decoded {
    std::int32_t declared = 0;
    std::vector<std::uint8_t> output;
};

// The decoding rules one step at a time, with no fast paths: every position past the input
// reads 0, a reference cut off by the end of the input repeats the previous one, a source
// before the start of the output copies 0, and the declared size ends decoding wherever it falls.
Decoded DecodeByteByByte(std::span<const std::uint8_t> input, std::size_t capacity)
{
    const auto at = [input](std::size_t position) -> std::uint8_t {
        return position < input.size() ? input[position] : 0;
    };
    Decoded decoded;
    decoded.output.assign(capacity, 0);
    if (at(3) >= 0x80) {
        return decoded;
    }
    decoded.declared = static_cast<std::int32_t>(at(1) | (at(2) << 8) | (at(3) << 16));
    auto remaining = static_cast<std::size_t>(decoded.declared);
    std::size_t in = 4;
    std::size_t out = 0;
    std::size_t length = 3;
    std::size_t distance = 1;
    // Once the output is full nothing more can change in it.
    const auto goesOn = [&] { return remaining > 0 && out < capacity; };
    while (goesOn()) {
        const std::uint8_t flags = at(in++);
        for (int bit = 7; bit >= 0 && goesOn(); --bit) {
            if (((flags >> bit) & 1) == 0) {
                decoded.output[out++] = at(in++);
                --remaining;
                continue;
            }
            if (in + 1 < input.size()) {
                length = static_cast<std::size_t>(input[in] >> 4) + 3;
                distance = ((static_cast<std::size_t>(input[in] & 0x0F) << 8) | input[in + 1]) + 1;
            }
            in += 2;
            for (std::size_t copied = 0; copied < length && goesOn(); ++copied) {
                decoded.output[out] = out >= distance ? decoded.output[out - distance] : 0;
                ++out;
                --remaining;
            }
        }
    }
    return decoded;
}

void CheckDecoding(std::span<const std::uint8_t> stream, std::size_t capacity)
{
    // Exactly the capacity on the heap: a write past it is an overflow AddressSanitizer reports.
    std::vector<std::uint8_t> output(capacity, 0);
    const std::int32_t declared = quillbox::DecompressLz77(stream, output);
    const Decoded expected = DecodeByteByByte(stream, capacity);
    QUILLBOX_FUZZ_CHECK(declared == expected.declared);
    QUILLBOX_FUZZ_CHECK(output == expected.output);
}

// Walks a stream the compressor wrote and checks each item against what the console's
// decompressor needs: nothing one byte back, nothing before the start, nothing past the end.
void CheckCompressedShape(std::span<const std::uint8_t> stream, std::size_t size)
{
    QUILLBOX_FUZZ_CHECK(stream.size() >= 4);
    QUILLBOX_FUZZ_CHECK(stream[0] == 0x10);
    QUILLBOX_FUZZ_CHECK((stream[1] | (stream[2] << 8) | (stream[3] << 16)) == static_cast<int>(size));
    std::size_t in = 4;
    std::size_t produced = 0;
    while (produced < size) {
        QUILLBOX_FUZZ_CHECK(in < stream.size());
        const std::uint8_t flags = stream[in++];
        for (int bit = 7; bit >= 0 && produced < size; --bit) {
            if (((flags >> bit) & 1) == 0) {
                QUILLBOX_FUZZ_CHECK(in < stream.size());
                ++in;
                ++produced;
                continue;
            }
            QUILLBOX_FUZZ_CHECK(in + 1 < stream.size());
            const std::size_t length = static_cast<std::size_t>(stream[in] >> 4) + 3;
            const std::size_t distance = ((static_cast<std::size_t>(stream[in] & 0x0F) << 8) | stream[in + 1]) + 1;
            in += 2;
            QUILLBOX_FUZZ_CHECK(distance >= 2);
            QUILLBOX_FUZZ_CHECK(distance <= produced);
            QUILLBOX_FUZZ_CHECK(length <= size - produced);
            produced += length;
        }
    }
    QUILLBOX_FUZZ_CHECK(in == stream.size());
}

void CheckRoundTrip(std::span<const std::uint8_t> data)
{
    const std::vector<std::uint8_t> compressed = quillbox::CompressLz77(data);
    CheckCompressedShape(compressed, data.size());
    std::vector<std::uint8_t> output(data.size(), 0);
    const std::int32_t declared = quillbox::DecompressLz77(compressed, output);
    QUILLBOX_FUZZ_CHECK(declared == static_cast<std::int32_t>(data.size()));
    QUILLBOX_FUZZ_CHECK(std::equal(output.begin(), output.end(), data.begin(), data.end()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    const std::size_t capacity = input.Le16();
    CheckDecoding(input.Rest(), capacity);
    CheckRoundTrip(input.Rest());
    return 0;
}
