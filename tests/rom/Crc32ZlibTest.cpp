#include "base/Crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <zlib.h>

namespace quillbox {
namespace {

// Histories written while the checksums came from zlib must still verify: the core's own CRC-32
// gives zlib's value for every input, whatever its length, bytes or starting value.
TEST(Crc32Test, AgreesWithZlib)
{
    std::mt19937 random(2026);
    for (int round = 0; round < 5000; ++round) {
        std::vector<std::uint8_t> bytes(random() % (round < 4000 ? 64 : 4096));
        for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
        const auto previous = round % 2 == 0 ? 0u : static_cast<std::uint32_t>(random());
        // zlib answers a null buffer with its starting value, 0, instead of continuing `previous`.
        const std::uint8_t none = 0;
        const std::uint8_t* data = bytes.empty() ? &none : bytes.data();
        const auto expected = static_cast<std::uint32_t>(crc32(previous, data, static_cast<uInt>(bytes.size())));
        ASSERT_EQ(Crc32(bytes, previous), expected) << bytes.size() << " bytes, round " << round;
    }
}

}  // namespace
}  // namespace quillbox
