#include "rom/TableFinder.h"

#include "sample/SampleRom.h"
#include "support/SampleCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace quillbox {
namespace {

using test::AllSampleCases;
using test::SampleCase;
using test::SampleCaseName;

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
    EXPECT_EQ(found.items.pointerCount, static_cast<std::uint32_t>(SampleItemTablePointers(code)) + header);
    EXPECT_EQ(found.items.namedByHeader, family.hasImages);
    EXPECT_EQ(found.moveNames.pointerCount, kSampleMoveNamePointers + header);
    EXPECT_EQ(found.moveNames.matchingRecords, kMoveNameSlots);
    EXPECT_EQ(found.tmMoves.pointerCount, static_cast<std::uint32_t>(kSampleTmListPointers));
    if (family.hasImages) {
        EXPECT_EQ(found.images.matchingRecords, placed->itemCount + 1);
    }

    // The TM/HM list is the one place holding its own moves, read by the code that turns item
    // numbers into list entries; tables of 58 move numbers that more words name are all about.
    EXPECT_EQ(found.tmMoves.candidates, 1);
    EXPECT_TRUE(found.tmListReadByCode);
    EXPECT_EQ(found.tmList.hmMatches, kHmEntries);
    const PointerTargets pointers = ScanPointers(*rom);
    std::uint32_t mostNamedLookAlike = 0;
    for (std::size_t i = 0; i < pointers.Offsets().size(); ++i) {
        const std::int64_t at = pointers.Offsets()[i];
        if (at != placed->tmData && at % 2 == 0 && CountMoveNumbers(*rom, at, kTmMoveCount) == kTmMoveCount) {
            mostNamedLookAlike = std::max(mostNamedLookAlike, pointers.Counts()[i]);
        }
    }
    EXPECT_GT(mostNamedLookAlike, found.tmMoves.pointerCount);
    EXPECT_GE(found.tmLookAlikes, 10);

    // The copies nothing names fit the patterns as well as the tables the game reads.
    EXPECT_EQ(CountMoveNumbers(*rom, placed->decoyTmData, kTmMoveCount), kTmMoveCount);
    if (hack) {
        auto old = SampleTablesFor(code, SampleOptions{.version = version});
        ASSERT_TRUE(old);
        EXPECT_EQ(CountItemRecords(*rom, old->itemData, 4096), old->itemCount);
        EXPECT_EQ(CountMoveNumbers(*rom, old->tmData, kTmMoveCount), kTmMoveCount);
    }
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

// Several places holding the TM/HM moves: the code reading the list decides, and without it none
// is chosen. A list whose HMs and TMs were both changed is no longer told from look-alikes.
struct TmListCase {
    const char* name;
    bool copy;                 // a second list, named by two words of its own
    bool codeNamesOriginal;    // the item-number constant beside the original list's words
    bool codeNamesCopy;        // ... beside the copy's
    int hmsChanged;            // HMs of the original list set to other moves, TMs with them
    std::int64_t expected;     // 0: the original, 1: the copy, -1: not found
    std::vector<int> tied;     // 0: the original, 1: the copy
};

class TmListDecision : public ::testing::TestWithParam<TmListCase> {};

TEST_P(TmListDecision, NamesTheListTheGameReadsOrNone)
{
    const TmListCase& row = GetParam();
    for (const std::string_view code : {"BPRE", "AXVE"}) {
        SCOPED_TRACE(code);
        auto rom = BuildSampleRom(code);
        auto tables = SampleTablesFor(code);
        ASSERT_TRUE(rom && tables);
        const std::int64_t list = tables->tmData;
        const std::int64_t copy = 0xC00000;
        const auto biasWord = static_cast<std::uint32_t>(0x10000 - kFirstTmItem) << 16;
        if (!row.codeNamesOriginal) {
            for (const std::uint32_t word : PointerTargets::WordsNaming(*rom, list)) PutWord(*rom, word - 4, 0);
        }
        if (row.copy) {
            std::copy_n(rom->begin() + static_cast<std::ptrdiff_t>(list), 2 * kTmMoveCount, rom->begin() + static_cast<std::ptrdiff_t>(copy));
            PutWord(*rom, 0xC80000, kRomBase + static_cast<std::uint32_t>(copy));
            PutWord(*rom, 0xC80010, kRomBase + static_cast<std::uint32_t>(copy));
            if (row.codeNamesCopy) PutWord(*rom, 0xC80014, biasWord);
        }
        for (int i = 0; i < kTmMoveCount; ++i) {
            // Three HMs changed and every TM with them; two HMs alone leave the list known.
            const bool hm = i >= kTmMoveCount - kHmEntries;
            if ((hm && i - (kTmMoveCount - kHmEntries) < row.hmsChanged) || (!hm && row.hmsChanged > 2)) {
                const std::uint16_t move = static_cast<std::uint16_t>(300 + i % 50);
                (*rom)[static_cast<std::size_t>(list + 2 * i)] = static_cast<Byte>(move & 0xFF);
                (*rom)[static_cast<std::size_t>(list + 2 * i + 1)] = static_cast<Byte>(move >> 8);
            }
        }
        const FoundTables found = FindTables(*rom, FindGameFamily(GameCodeOf(code)));
        const std::int64_t places[] = {list, copy};
        EXPECT_EQ(found.tmMoves.offset, row.expected < 0 ? -1 : places[row.expected]) << Problems(found);
        std::vector<std::int64_t> tied;
        for (const int k : row.tied) tied.push_back(places[k]);
        EXPECT_EQ(found.tmMoves.tied, tied);
        // The rest of the ROM is found as before: an unknown TM/HM list keeps nothing else from opening.
        EXPECT_TRUE(found.UsableFound()) << Problems(found);
        if (row.expected < 0) {
            ASSERT_FALSE(found.problems.empty());
            EXPECT_TRUE(found.problems.back().contains("TM/HM moves are unknown")) << Problems(found);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TmListDecision,
    ::testing::Values(TmListCase{"OneList", false, true, false, 0, 0, {}},
                      TmListCase{"OneListNoCodeSeen", false, false, false, 0, 0, {}},
                      TmListCase{"TwoHmsChanged", false, true, false, 2, 0, {}},
                      TmListCase{"HmsAndTmsChanged", false, true, false, 3, -1, {}},
                      TmListCase{"CopyCodeReadsOriginal", true, true, false, 0, 0, {}},
                      TmListCase{"CopyCodeReadsCopy", true, false, true, 0, 1, {}},
                      TmListCase{"CopyNoCodeSeen", true, false, false, 0, -1, {0, 1}},
                      TmListCase{"CopyCodeBesideBoth", true, true, true, 0, -1, {0, 1}}),
    [](const ::testing::TestParamInfo<TmListCase>& row) { return std::string(row.param.name); });

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

// Over generated ROMs of sizes that are no multiple of a word, with pointers as rare as in
// graphics and as common as in a table of them, every aligned word naming the ROM is counted as
// often as it stands there.
TEST(PointerScan, CountsWhatEachWordNamesWhateverTheDensity)
{
    std::mt19937 random(41);
    for (const int density : {0, 1, 8, 64, 256}) {  // pointers per 256 words
        for (int round = 0; round < 6; ++round) {
            const auto size = static_cast<std::size_t>(0x400 + 4 * (random() % 300) + random() % 4);
            SCOPED_TRACE("density " + std::to_string(density) + ", size " + std::to_string(size));
            Bytes rom(size);
            for (Byte& byte : rom) byte = static_cast<Byte>(random());
            std::map<std::uint32_t, std::uint32_t> expected;
            for (std::size_t at = 0; at + 4 <= size; at += 4) {
                const bool pointer = static_cast<int>(random() % 256) < density;
                // Other words stay outside the ROM's addresses, so only the chosen ones count.
                const std::uint32_t word = pointer ? kRomBase + static_cast<std::uint32_t>(random() % size)
                                                   : static_cast<std::uint32_t>(random() % kRomBase);
                PutWord(rom, static_cast<std::int64_t>(at), word);
                if (pointer) ++expected[word - kRomBase];
            }
            const PointerTargets pointers = ScanPointers(rom);
            std::map<std::uint32_t, std::uint32_t> counted;
            for (std::size_t i = 0; i < pointers.Offsets().size(); ++i) counted[pointers.Offsets()[i]] = pointers.Counts()[i];
            EXPECT_EQ(counted, expected);
        }
    }
}

}  // namespace
}  // namespace quillbox
