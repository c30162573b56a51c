#include "rom/TableFinder.h"

#include "sample/SampleRom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace quillbox {
namespace {

void PutWord(Bytes& rom, std::int64_t at, std::uint32_t word)
{
    for (int i = 0; i < 4; ++i) rom[static_cast<std::size_t>(at + i)] = static_cast<Byte>(word >> (8 * i));
}

std::string Problems(const FoundTables& found)
{
    std::string text;
    for (const std::string& problem : found.problems) text += problem + "\n";
    return text;
}

// What the finder reports must be what the builder laid out, for the tables the game reads.
void ExpectFinds(const Bytes& rom, const SampleTables& placed, const GameFamily& family)
{
    const FoundTables found = FindTables(rom, &family);
    EXPECT_TRUE(found.AllFound()) << Problems(found);
    EXPECT_EQ(found.items.offset, placed.itemData);
    EXPECT_EQ(found.itemCount, placed.itemCount);
    EXPECT_EQ(found.moveNames.offset, placed.attackNames);
    EXPECT_EQ(found.tmMoves.offset, placed.tmData);
    EXPECT_EQ(found.imagesSearched, family.hasImages);
    EXPECT_EQ(found.images.offset, family.hasImages ? placed.imgData : -1);
    EXPECT_TRUE(found.problems.empty()) << Problems(found);
}

using SampleCase = std::tuple<std::string_view, int, bool>;  // header code, version byte, hack

class FinderOnSamples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(FinderOnSamples, FindsTheTablesTheGameReadsWithTheirEvidence)
{
    const auto [code, version, hack] = GetParam();
    const SampleOptions options{.version = version, .hack = hack};
    auto rom = BuildSampleRom(code, options);
    auto placed = SampleTablesFor(code, options);
    ASSERT_TRUE(rom && placed);
    const GameFamily& family = *FindGameFamily(GameCodeOf(code));
    ExpectFinds(*rom, *placed, family);

    const FoundTables found = FindTables(*rom, &family);
    const std::uint32_t header = family.hasImages ? 1 : 0;
    EXPECT_EQ(found.items.pointerCount, kSampleItemTablePointers + header);
    EXPECT_EQ(found.items.namedByHeader, family.hasImages);
    EXPECT_EQ(found.moveNames.pointerCount, kSampleMoveNamePointers + header);
    EXPECT_EQ(found.moveNames.matchingRecords, kMoveNameSlots);
    EXPECT_EQ(found.tmMoves.pointerCount, static_cast<std::uint32_t>(kSampleTmListPointers));
    if (family.hasImages) {
        EXPECT_EQ(found.images.matchingRecords, placed->itemCount + 1);
    }

    // The copies nothing names fit the patterns as well as the tables the game reads.
    EXPECT_EQ(CountMoveNumbers(*rom, placed->decoyTmData, kTmMoveCount), kTmMoveCount);
    if (hack) {
        auto old = SampleTablesFor(code, SampleOptions{.version = version});
        ASSERT_TRUE(old);
        EXPECT_EQ(CountItemRecords(*rom, old->itemData, 4096), old->itemCount);
        EXPECT_EQ(CountMoveNumbers(*rom, old->tmData, kTmMoveCount), kTmMoveCount);
    }
}

std::vector<SampleCase> AllSampleCases()
{
    std::vector<SampleCase> cases;
    for (const std::string_view code : kKnownHeaderCodes) {
        const bool hoenn = code == "AXVE" || code == "AXPE";
        const int versions = hoenn ? 3 : code == "BPEE" ? 1 : 2;
        for (int version = 0; version < versions; ++version) {
            for (const bool hack : {false, true}) cases.emplace_back(code, version, hack);
        }
    }
    return cases;
}

std::string SampleCaseName(const ::testing::TestParamInfo<SampleCase>& param)
{
    const auto [code, version, hack] = param.param;
    return std::string(code) + "_" + std::to_string(version) + (hack ? "_hack" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryCodeAndRevision, FinderOnSamples, ::testing::ValuesIn(AllSampleCases()), SampleCaseName);

TEST(FinderProperty, ReturnsExactlyThePlacedTables)
{
    std::mt19937 random(20261208);
    const auto families = AllGameFamilies();
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const GameFamily& family = families[random() % families.size()];
        // Distinct 64 KiB slots between the header and the description area, each table at a
        // random place inside its own slot.
        std::vector<std::int32_t> slots;
        for (std::int32_t slot = 0x20; slot < 0x80; ++slot) slots.push_back(slot);
        std::shuffle(slots.begin(), slots.end(), random);
        const auto place = [&](int k, std::int32_t alignment) {
            const auto inside = static_cast<std::int32_t>(random() % 0xA000) & -alignment;
            return slots[static_cast<std::size_t>(k)] * 0x10000 + inside;
        };
        SampleTables tables;
        tables.itemCount = family.itemCount + static_cast<int>(random() % 60);
        tables.itemData = place(0, 4);
        tables.attackNames = place(1, 1) + kMoveNameSize;
        tables.tmData = place(2, 2);
        tables.imgData = family.hasImages ? place(3, 4) : 0;
        tables.decoyTmData = place(4, 2);
        auto rom = BuildSampleRom(family.codes[0] == "BPR" ? "BPRE" : family.codes[0] == "BPE" ? "BPEE" : "AXVE",
                                  SampleOptions{.tables = tables});
        ASSERT_TRUE(rom) << rom.error().message;
        ExpectFinds(*rom, tables, family);
    }
}

TEST(FinderOn32MiB, FindsTablesNamedByPointersUpTo0x09FFFFFF)
{
    const SampleTables high{0x1FF8000, 0x1FF000D, 0x1FFFF00, 0x1FFF000, 375, 0x1FFFE00};
    auto rom = BuildSampleRom("BPRE", SampleOptions{.tables = high, .romSize = 0x2000000});
    ASSERT_TRUE(rom) << rom.error().message;
    ExpectFinds(*rom, high, *FindGameFamily("BPR"));
}

TEST(FinderFaults, ReportsNothingFoundWithoutGuessing)
{
    const struct {
        const char* name;
        Bytes rom;
    } cases[] = {
        {"empty", Bytes{}},
        {"three bytes", Bytes(3, 0x08)},
        {"header only", Bytes(0x200, 0x00)},
        {"all 0xFF", Bytes(0x100000, 0xFF)},
        {"all 0x00", Bytes(0x100000, 0x00)},
        {"all 0x01", Bytes(0x100000, 0x01)},
    };
    for (const auto& fault : cases) {
        SCOPED_TRACE(fault.name);
        for (const GameFamily* family : {FindGameFamily("BPR"), FindGameFamily("AXV"), static_cast<const GameFamily*>(nullptr)}) {
            const FoundTables found = FindTables(fault.rom, family);
            EXPECT_FALSE(found.items.Found() || found.moveNames.Found() || found.tmMoves.Found() || found.images.Found());
            EXPECT_EQ(found.itemCount, 0);
            EXPECT_EQ(found.problems.size(), found.imagesSearched ? 4U : 3U) << Problems(found);
        }
    }
}

// A second item table that as many words name as the first: with nothing to tell them apart
// neither is chosen; the header at 0x100 naming one of them decides.
TEST(FinderFaults, EqualCandidatesAreReportedAndNoneChosen)
{
    for (const std::string_view code : {"AXVE", "BPRE"}) {
        SCOPED_TRACE(code);
        auto rom = BuildSampleRom(code);
        auto tables = SampleTablesFor(code);
        ASSERT_TRUE(rom && tables);
        const std::int64_t copy = 0xC00000;
        const auto size = std::int64_t{kItemRecordSize} * tables->itemCount;
        std::copy_n(rom->begin() + tables->itemData, size, rom->begin() + copy);
        const auto naming = PointerTargets::WordsNaming(*rom, tables->itemData);
        for (std::size_t i = 0; i < naming.size(); ++i) {
            PutWord(*rom, 0xC80000 + 4 * static_cast<std::int64_t>(i), kRomBase + static_cast<std::uint32_t>(copy));
        }
        const FoundTables found = FindTables(*rom, FindGameFamily(GameCodeOf(code)));
        EXPECT_EQ(found.items.candidates, 2);
        if (code == "BPRE") {
            EXPECT_EQ(found.items.offset, tables->itemData);
            EXPECT_TRUE(found.items.namedByHeader);
            continue;
        }
        EXPECT_FALSE(found.items.Found());
        EXPECT_EQ(found.items.tied, (std::vector<std::int64_t>{tables->itemData, copy}));
        ASSERT_EQ(found.problems.size(), 1U) << Problems(found);
        EXPECT_NE(found.problems[0].find(NumberToHex(static_cast<std::uint64_t>(copy))), std::string::npos);
        EXPECT_TRUE(found.moveNames.Found() && found.tmMoves.Found());
    }
}

TEST(PointerScan, CountsAlignedWordsNamingPlacesInsideTheRom)
{
    for (const std::int64_t size : {std::int64_t{0x1000}, std::int64_t{0x2000000}, std::int64_t{0x2000100}}) {
        SCOPED_TRACE(size);
        Bytes rom(static_cast<std::size_t>(size), 0xFF);
        const std::int64_t reach = std::min<std::int64_t>(size, 0x2000000);
        PutWord(rom, 0x10, kRomBase);                                       // offset 0
        PutWord(rom, 0x14, kRomBase + 0x30);                                // twice
        PutWord(rom, 0x18, kRomBase + 0x30);
        PutWord(rom, 0x1C, kRomBase + static_cast<std::uint32_t>(reach - 1));  // the last byte
        PutWord(rom, 0x20, kRomBase + static_cast<std::uint32_t>(reach));      // one past: not counted
        PutWord(rom, 0x24, kRomBase - 1);
        PutWord(rom, 0x29, kRomBase + 0x40);  // unaligned: not counted
        PutWord(rom, size - 4, kRomBase + 0x30);

        const PointerTargets pointers = ScanPointers(rom);
        const std::vector<std::uint32_t> expected{0, 0x30, static_cast<std::uint32_t>(reach - 1)};
        EXPECT_EQ(std::vector<std::uint32_t>(pointers.Offsets().begin(), pointers.Offsets().end()), expected);
        EXPECT_EQ(std::vector<std::uint32_t>(pointers.Counts().begin(), pointers.Counts().end()),
                  (std::vector<std::uint32_t>{1, 3, 1}));
        EXPECT_EQ(pointers.CountAt(0x30), 3U);
        EXPECT_EQ(pointers.CountAt(0x40), 0U);
        EXPECT_EQ(pointers.CountAt(-1), 0U);
        EXPECT_EQ(pointers.FirstAtOrAfter(1), 0x30);
        EXPECT_EQ(pointers.FirstAtOrAfter(reach), -1);
        EXPECT_TRUE(pointers.AnyIn(0x30, 0x31));
        EXPECT_FALSE(pointers.AnyIn(0x31, reach - 1));
        EXPECT_EQ(PointerTargets::WordsNaming(rom, 0x30), (std::vector<std::uint32_t>{0x14, 0x18, static_cast<std::uint32_t>(size - 4)}));
        EXPECT_TRUE(PointerTargets::WordsNaming(rom, reach).empty());
    }
}

}  // namespace
}  // namespace quillbox
