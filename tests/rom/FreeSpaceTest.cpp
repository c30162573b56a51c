#include "rom/FreeSpace.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace quillbox {
namespace {

constexpr std::int64_t kLayoutSize = 0x1000;
// Pointer words stand in the first bytes, which no layout frees.
constexpr std::int64_t kPointerWords = 0x10;

struct Layout {
    std::vector<ByteRange> free;
    std::vector<std::int64_t> named;
    std::vector<ByteRange> tables;
    std::int64_t start = 0;
};

Bytes Build(const Layout& layout)
{
    Bytes rom(static_cast<std::size_t>(kLayoutSize), 0x00);
    for (const ByteRange& run : layout.free) {
        std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(run.begin), run.end - run.begin, kFreeByte);
    }
    std::int64_t word = kPointerWords;
    for (std::int64_t target : layout.named) {
        const auto pointer = static_cast<std::uint32_t>(target) + kRomBase;
        for (int i = 0; i < 4; ++i) rom[static_cast<std::size_t>(word + i)] = static_cast<Byte>(pointer >> (8 * i));
        word += 4;
    }
    return rom;
}

// The rules written out one place at a time, as an oracle for the run list: the lowest aligned
// place whose bytes and margins are free, named by no pointer and in no table, with one more
// 0xFF before the first margin byte (right after data, a 0xFF may be its end mark).
std::int64_t LowestPlace(const Bytes& rom, const PointerTargets& targets, const Layout& layout, std::int64_t size)
{
    for (std::int64_t place = 0; place + size + kFreeSpaceMargin <= kLayoutSize; place += kFreeSpaceAlignment) {
        const std::int64_t from = place - kFreeSpaceMargin;
        const std::int64_t to = place + size + kFreeSpaceMargin;
        if (from < layout.start) continue;
        bool ok = !targets.AnyIn(from, to) && (from == 0 || rom[static_cast<std::size_t>(from - 1)] == kFreeByte);
        for (std::int64_t at = from; ok && at < to; ++at) ok = rom[static_cast<std::size_t>(at)] == kFreeByte;
        for (const ByteRange& table : layout.tables) ok = ok && !table.Overlaps(from, to);
        if (ok) return place;
    }
    return -1;
}

struct LayoutCase {
    std::string name;
    Layout layout;
    std::int64_t size;
    std::int64_t expected;  // -1: no room
};

void PrintTo(const LayoutCase& row, std::ostream* out) { *out << row.name; }

class FreeSpaceLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FreeSpaceLayoutTest, PlacesDataByTheRules)
{
    const LayoutCase& row = GetParam();
    const Bytes rom = Build(row.layout);
    const PointerTargets targets = ScanPointers(rom);
    const FreeSpace space = FreeSpace::Build(rom, targets, row.layout.tables, row.layout.start);
    auto place = space.Find(row.size);
    if (row.expected < 0) {
        ASSERT_FALSE(place);
        EXPECT_EQ(place.error().code, ErrorCode::NoFreeSpace);
        EXPECT_NE(place.error().message.find(std::to_string(row.size) + " bytes"), std::string::npos) << place.error().message;
    } else {
        ASSERT_TRUE(place) << place.error().message;
        EXPECT_EQ(*place, row.expected);
    }
    EXPECT_EQ(place ? *place : -1, LowestPlace(rom, targets, row.layout, row.size));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FreeSpaceLayoutTest,
    ::testing::Values(
        LayoutCase{"MarginBeforeTheData", {{{0x100, 0x180}}, {}, {}, 0}, 16, 0x114},
        LayoutCase{"ExactlyFitsWithBothMargins", {{{0x100, 0x12C}}, {}, {}, 0}, 8, 0x114},
        LayoutCase{"OneByteShortOfTheEndMargin", {{{0x100, 0x12B}}, {}, {}, 0}, 8, -1},
        LayoutCase{"NamedPlaceSplitsTheRun", {{{0x100, 0x200}}, {0x120}, {}, 0}, 32, 0x134},
        LayoutCase{"NamedPlaceInTheEndMargin", {{{0x100, 0x140}}, {0x125}, {}, 0}, 8, -1},
        LayoutCase{"TableOverTheRunStart", {{{0x100, 0x200}}, {}, {{0x0F0, 0x150}}, 0}, 16, 0x160},
        LayoutCase{"TableFillsTheRun", {{{0x100, 0x200}}, {}, {{0x110, 0x1F0}}, 0}, 4, -1},
        LayoutCase{"SearchStartInsideARun", {{{0x100, 0x200}}, {}, {}, 0x180}, 16, 0x190},
        LayoutCase{"FirstFitNotBestFit", {{{0x100, 0x200}, {0x300, 0x340}}, {}, {}, 0}, 8, 0x114},
        LayoutCase{"SkipsARunTooSmall", {{{0x100, 0x133}, {0x300, 0x400}}, {}, {}, 0}, 16, 0x314}),
    [](const ::testing::TestParamInfo<LayoutCase>& row) { return row.param.name; });

// Random layouts, each asked for several blocks in turn: every block is where the oracle puts
// it, given the blocks taken before, and never touches another block's margins.
TEST(FreeSpaceTest, TakingBlocksFollowsTheRulesOnGeneratedLayouts)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        Layout layout;
        for (int i = 0; i < 6; ++i) {
            const std::int64_t begin = 0x40 + static_cast<std::int64_t>(random() % 0xF00);
            layout.free.push_back({begin, std::min<std::int64_t>(kLayoutSize, begin + 1 + static_cast<std::int64_t>(random() % 0x200))});
        }
        for (int i = 0; i < 3; ++i) layout.named.push_back(0x40 + static_cast<std::int64_t>(random() % 0xFC0));
        const std::int64_t tableStart = 0x40 + static_cast<std::int64_t>(random() % 0xF00);
        layout.tables.push_back({tableStart, tableStart + static_cast<std::int64_t>(random() % 0x100)});
        layout.start = static_cast<std::int64_t>(random() % 0x400);

        Bytes rom = Build(layout);
        const PointerTargets targets = ScanPointers(rom);
        FreeSpace space = FreeSpace::Build(rom, targets, layout.tables, layout.start);
        for (int block = 0; block < 4; ++block) {
            const std::int64_t size = 1 + static_cast<std::int64_t>(random() % 0x60);
            const std::int64_t expected = LowestPlace(rom, targets, layout, size);
            auto place = space.Take(size);
            ASSERT_EQ(place ? *place : -1, expected) << "round " << round << ", block " << block << ", " << size << " bytes";
            if (!place) break;
            // The block is data from now on, for the oracle as for the list.
            std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(*place), size, Byte{0x00});
        }
    }
}

TEST(FreeSpaceTest, DefaultStartIsPastTheLastNamedData)
{
    Layout layout{{{0x800, kLayoutSize}}, {0x200, 0x500, 0x900}, {}, 0};
    const Bytes rom = Build(layout);
    // 0x900 reads 0xFF: a word naming the free area is no evidence of data there.
    EXPECT_EQ(DefaultFreeSpaceStart(rom, ScanPointers(rom)), 0x501);
    EXPECT_EQ(DefaultFreeSpaceStart(Build({{{0, kLayoutSize}}, {}, {}, 0}), PointerTargets{}), 0);
}

}  // namespace
}  // namespace quillbox
