// The code sites found by their evidence in every sample, the look-alikes left alone, and a site
// a hack patched refused by name.
#include "GrowthFixture.h"

#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "support/SampleCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace quillbox::test {
namespace {

// What the decompilations say the released code of each family holds (item-limits facts).
struct FamilyFacts {
    int getters;
    bool header;
    int arrowCallers;
    int effectWords;
    int effectChecks;
};

FamilyFacts FactsOf(std::string_view code)
{
    if (code == "BPEE") return {14, true, 0, 7, 2};
    if (code.starts_with("BP")) return {14, true, 4, 8, 3};
    return {15, false, 0, 7, 1};
}

class CodeSitesOnSamples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(CodeSitesOnSamples, FindsEverySiteAtThePlaceTheSampleWroteIt)
{
    const auto [code, version, hack] = GetParam();
    const GrowthSample sample = GrowthSample::Build(code, {.version = version, .hack = hack});
    const FamilyFacts facts = FactsOf(code);
    auto sites = FindItemCodeSites(sample.rom, *sample.family, sample.Tables());
    ASSERT_TRUE(sites) << sites.error().message;

    EXPECT_EQ(sites->sanitizer.offset, sample.places.sanitizer);
    EXPECT_EQ(sites->sanitizer.count, sample.tables.itemCount);
    auto counted = ItemCountFromCode(sample.rom, *sample.family);
    ASSERT_TRUE(counted) << counted.error().message;
    EXPECT_EQ(*counted, sample.tables.itemCount);

    // The item table's words are its getters' and the header's, every word naming the table.
    std::set<std::int64_t> words;
    for (const LiteralSite& word : sites->itemTableWords) words.insert(word.wordAt);
    EXPECT_EQ(static_cast<int>(words.size()), facts.getters);
    if (facts.header) words.insert(kHeaderItemTableWord);
    EXPECT_EQ(sites->headerWord, facts.header);
    const auto naming = PointerTargets::WordsNaming(sample.rom, sample.tables.itemData);
    EXPECT_EQ(words, std::set<std::int64_t>(naming.begin(), naming.end()));

    ASSERT_EQ(sites->icon.has_value(), sample.tables.imgData != 0);
    if (sites->icon) {
        EXPECT_EQ(sites->icon->offset, sample.places.iconRoutine);
        EXPECT_EQ(sites->icon->arrowId, sample.tables.itemCount);
        std::vector<std::int64_t> arrows;
        for (const LiteralSite& caller : sites->icon->arrowCallers) arrows.push_back(caller.wordAt);
        EXPECT_EQ(arrows, sample.places.arrowWords);
        EXPECT_EQ(static_cast<int>(arrows.size()), facts.arrowCallers);
    }
    ASSERT_TRUE(sites->effects.has_value());
    std::vector<std::int64_t> checks;
    for (const EffectCheckSite& check : sites->effects->checks) {
        checks.push_back(check.subsAt);
        EXPECT_EQ(check.lastIndex, kReleasedEffectLastIndex);
        EXPECT_GE(check.functionAt, 0) << "each check's function saves lr first";
    }
    EXPECT_EQ(checks, sample.places.effectCheckSubs);
    EXPECT_EQ(static_cast<int>(checks.size()), facts.effectChecks);
    std::vector<std::int64_t> effectWords;
    for (const LiteralSite& word : sites->effects->tableWords) effectWords.push_back(word.wordAt);
    std::vector<std::int64_t> expected = sample.places.effectWords;
    expected.push_back(kSampleEffectCode + 12);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(effectWords, expected);
    EXPECT_EQ(static_cast<int>(effectWords.size()), facts.effectWords);
}

INSTANTIATE_TEST_SUITE_P(EveryCodeAndRevision, CodeSitesOnSamples, ::testing::ValuesIn(AllSampleCases()), SampleCaseName);

// The look-alikes the samples carry outnumber nothing they should not: the count's literal word
// is loaded into r0 by more code than the arrow's callers, `movs; lsls #1` of the bound stands
// outside the sanitiser, and `cmp #0xA5` stands outside the checks.
TEST(CodeSiteLookAlikes, AreInTheRomAndNotTaken)
{
    for (const std::string_view code : {"BPRE", "BPEE", "AXVE"}) {
        SCOPED_TRACE(code);
        const GrowthSample sample = GrowthSample::Build(code);
        auto sites = FindItemCodeSites(sample.rom, *sample.family, sample.Tables());
        ASSERT_TRUE(sites) << sites.error().message;
        int countLoads = 0;
        int boundMoves = 0;
        int compares = 0;
        const int count = sample.tables.itemCount;
        for (std::int64_t at = kSampleReleasedCode; at < kSampleReleasedCode + kSampleReleasedCodeSize; at += 2) {
            const std::uint16_t h = ReadLe16(sample.rom, static_cast<std::size_t>(at));
            if ((h & 0xF800) == 0x4800 &&
                ReadLe32(sample.rom, static_cast<std::size_t>(((at + 4) & ~3) + 4 * (h & 0xFF))) == static_cast<std::uint32_t>(count)) {
                ++countLoads;
            }
            if (h == (0x2000 | (count - 1) / 2) && ReadLe16(sample.rom, static_cast<std::size_t>(at + 2)) == 0x0040) ++boundMoves;
            if ((h & 0xF8FF) == 0x28A5) ++compares;
        }
        const std::size_t arrows = sites->icon ? sites->icon->arrowCallers.size() : 0;
        EXPECT_GT(countLoads, static_cast<int>(arrows) + (sites->icon ? 1 : 0));
        EXPECT_GE(boundMoves, 2) << "the sanitiser's and a sound id's";
        EXPECT_GT(compares, static_cast<int>(sites->effects->checks.size()));
    }
}

// A ROM whose code differs from the released code is refused, the message naming the site.
struct RefusalRow {
    const char* name;
    std::string_view code;
    SampleAlteredSite altered;
    std::function<void(GrowthSample&, ItemTables&)> change;
    std::vector<std::string> said;
};

void PrintTo(const RefusalRow& row, std::ostream* out) { *out << row.name; }

class CodeSiteRefusals : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(CodeSiteRefusals, NameTheSiteWhatWasExpectedAndWhatWasFound)
{
    const RefusalRow& row = GetParam();
    GrowthSample sample = GrowthSample::Build(row.code, {.altered = row.altered});
    ItemTables tables = sample.Tables();
    if (row.change) row.change(sample, tables);
    auto sites = FindItemCodeSites(sample.rom, *sample.family, tables);
    ASSERT_FALSE(sites);
    EXPECT_EQ(sites.error().code, ErrorCode::UnsupportedRom);
    for (const std::string& part : row.said) EXPECT_TRUE(sites.error().message.contains(part)) << sites.error().message;
    FreeSpace space = sample.Space(SpaceFrom::NearCode);
    const auto runs = std::vector<ByteRange>(space.Runs().begin(), space.Runs().end());
    auto plan = PlanTableGrowth(sample.rom, *sample.family, tables, space, tables.itemCount + 30);
    ASSERT_FALSE(plan);
    EXPECT_EQ(plan.error().message, sites.error().message);
    EXPECT_EQ(std::vector<ByteRange>(space.Runs().begin(), space.Runs().end()), runs) << "no space taken";
}

std::string HexAt(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

INSTANTIATE_TEST_SUITE_P(
    Rows, CodeSiteRefusals,
    ::testing::Values(
        RefusalRow{"SanitizerPatchedFireRed", "BPRE", SampleAlteredSite::Sanitizer, nullptr,
                   {"the sanitiser at " + HexAt(kSampleReleasedCode), "expected", "found", "40 00", "80 00"}},
        RefusalRow{"SanitizerPatchedRuby", "AXVE", SampleAlteredSite::Sanitizer, nullptr,
                   {"the sanitiser at " + HexAt(kSampleReleasedCode), "expected", "found"}},
        RefusalRow{"IconRoutinePatchedFireRed", "BPRE", SampleAlteredSite::IconRoutine, nullptr,
                   {"the item icon routine at", "expected", "00 D9", "00 D3"}},
        RefusalRow{"IconRoutinePatchedEmerald", "BPEE", SampleAlteredSite::IconRoutine, nullptr,
                   {"the item icon routine at", "expected", "found"}},
        RefusalRow{"EffectCheckPatched", "BPEE", SampleAlteredSite::EffectCheck, nullptr,
                   {"the item-effect check at", "expected a bound of 165", "found 176"}},
        RefusalRow{"AGetterGone", "BPEE", SampleAlteredSite::None,
                   [](GrowthSample& built, ItemTables&) {
                       // The first getter's call made two no-ops.
                       PutLittleEndian(built.rom, static_cast<std::size_t>(kSampleReleasedCode + 0x18 + 6), 0x46C046C0u, 4);
                   },
                   {"the item getters", "has 14", "found 13"}},
        RefusalRow{"HeaderNamesAnotherTable", "BPRE", SampleAlteredSite::None,
                   [](GrowthSample& built, ItemTables&) { PutLittleEndian(built.rom, kHeaderItemTableWord, 0x08F00000u, 4); },
                   {"the header word at 1C8", "found 8F00000"}},
        RefusalRow{"AnArrowCallerLoadsAnotherId", "BPGE", SampleAlteredSite::None,
                   [](GrowthSample& built, ItemTables&) {
                       PutLittleEndian(built.rom, static_cast<std::size_t>(built.places.arrowWords[2]), 0x178u, 4);
                   },
                   {"arrow's callers", "has 4", "found 3"}},
        RefusalRow{"CountGivenIsNotTheCodes", "AXPE", SampleAlteredSite::None,
                   [](GrowthSample&, ItemTables& given) { given.itemCount += 2; },
                   {"keeps 349 items, not the 351"}},
        RefusalRow{"AnEffectWordUnloaded", "BPRE", SampleAlteredSite::None,
                   [](GrowthSample& built, ItemTables&) {
                       PutLittleEndian(built.rom, static_cast<std::size_t>(built.places.effectLoads.back()), 0x46C0u, 2);
                   },
                   {"the item-effect table at", "loads it from 8 literal words, found 7"}}),
    [](const ::testing::TestParamInfo<RefusalRow>& row) { return std::string(row.param.name); });

// A table a hack enlarged keeps its count in a word; so does a sample built with that option.
TEST(SanitizerWord, ItsCountIsTheWord)
{
    for (const std::string_view code : kKnownHeaderCodes) {
        SCOPED_TRACE(code);
        for (const SampleOptions options : {SampleOptions{.hack = true}, SampleOptions{.wordSanitizer = true}}) {
            const GrowthSample sample = GrowthSample::Build(code, options);
            auto counted = ItemCountFromCode(sample.rom, *sample.family);
            ASSERT_TRUE(counted) << counted.error().message;
            EXPECT_EQ(*counted, sample.family->itemCount + (options.hack ? kSampleHackExtraItems : 0));
            auto sites = FindItemCodeSites(sample.rom, *sample.family, sample.Tables());
            ASSERT_TRUE(sites) << sites.error().message;
            EXPECT_NE(sites->sanitizer.form, &kSanitizerReleased);
        }
    }
}

}  // namespace
}  // namespace quillbox::test
