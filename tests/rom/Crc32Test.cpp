#include "base/Crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quillbox {
namespace {

struct KnownValue {
    const char* text;
    std::uint32_t crc;
};

// Values published with the algorithm ("123456789" is its standard check value).
TEST(Crc32Test, GivesThePublishedValues)
{
    for (const KnownValue& row : {KnownValue{"", 0x00000000}, KnownValue{"a", 0xE8B7BE43}, KnownValue{"abc", 0x352441C2},
                                  KnownValue{"123456789", 0xCBF43926},
                                  KnownValue{"The quick brown fox jumps over the lazy dog", 0x414FA339}}) {
        EXPECT_EQ(Crc32(std::string_view(row.text)), row.crc) << '"' << row.text << '"';
    }
}

// A PNG chunk's checksum is taken over its type and then its data, in two steps.
TEST(Crc32Test, ContinuingGivesTheChecksumOfTheWhole)
{
    std::mt19937 random(32);
    for (int round = 0; round < 200; ++round) {
        std::string text(random() % 300, '\0');
        for (char& c : text) c = static_cast<char>(random());
        const std::size_t cut = text.empty() ? 0 : random() % (text.size() + 1);
        const std::string_view whole = text;
        EXPECT_EQ(Crc32(whole.substr(cut), Crc32(whole.substr(0, cut))), Crc32(whole)) << text.size() << " cut at " << cut;
    }
}

}  // namespace
}  // namespace quillbox
