// The code sites found by their evidence in every sample, the look-alikes left alone, and a site
// a hack patched refused by name.
#include "GrowthFixture.h"

#include "base/HexText.h"
#include "items/growth/Thumb.h"
#include "base/LittleEndian.h"
#include "support/SampleCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

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
    ASSERT_EQ(sites->effects->checks.size(), sample.places.effectChecks.size());
    EXPECT_EQ(static_cast<int>(sites->effects->checks.size()), facts.effectChecks);
    for (std::size_t i = 0; i < sample.places.effectChecks.size(); ++i) {
        const EffectCheckSite& check = sites->effects->checks[i];
        const SampleEffectCheck& written = sample.places.effectChecks[i];
        EXPECT_EQ(check.subsAt, written.subs);
        EXPECT_EQ(check.lastIndex, kReleasedEffectLastIndex);
        EXPECT_EQ(check.shift, -1);
        // The sample's GetItemEffectType is the one with ENIGMA BERRY's case after its check.
        EXPECT_EQ(check.form == "GetItemEffectType's", written.enigma) << check.form;
    }
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

std::string HexAt(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

// The last item-effect check of a sample built with `altered`, whose follower that option changes.
SampleEffectCheck LastCheck(std::string_view code, SampleAlteredSite altered)
{
    auto places = SampleCodeFor(code, {.altered = altered});
    return places ? places->effectChecks.back() : SampleEffectCheck{};
}

std::vector<std::string> FollowerRefusal(std::string_view code, SampleAlteredSite altered)
{
    const SampleEffectCheck check = LastCheck(code, altered);
    const bool fallThrough = altered == SampleAlteredSite::EffectCheckFollower;
    return {"the item-effect check at " + HexAt(check.subs), "proves r0 and the flags unread",
            "expected " + std::string(fallThrough ? "00A0" : "2001") + " at " +
                HexAt(fallThrough ? check.writesAfter : check.writesAtTarget),
            std::string("found ") + (fallThrough ? "0080" : "3001")};
}

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
    // The rows on a check's followers say what the sample wrote where, asked when the test runs.
    const std::vector<std::string> said = row.said.empty() ? FollowerRefusal(row.code, row.altered) : row.said;
    for (const std::string& part : said) EXPECT_TRUE(sites.error().message.contains(part)) << sites.error().message;
    FreeSpace space = sample.Space(SpaceFrom::NearCode);
    const auto runs = std::vector<ByteRange>(space.Runs().begin(), space.Runs().end());
    auto plan = PlanTableGrowth(sample.rom, *sample.family, tables, space, tables.itemCount + 30);
    ASSERT_FALSE(plan);
    EXPECT_EQ(plan.error().message, sites.error().message);
    EXPECT_EQ(std::vector<ByteRange>(space.Runs().begin(), space.Runs().end()), runs) << "no space taken";
}


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
        RefusalRow{"EffectCheckFollowerReadsItFireRed", "BPRE", SampleAlteredSite::EffectCheckFollower, nullptr, {}},
        RefusalRow{"EffectCheckFollowerReadsItRuby", "AXVE", SampleAlteredSite::EffectCheckFollower, nullptr, {}},
        RefusalRow{"EffectCheckTargetReadsItEmerald", "BPEE", SampleAlteredSite::EffectCheckTarget, nullptr, {}},
        RefusalRow{"EffectCheckTargetReadsItLeafGreen", "BPGE", SampleAlteredSite::EffectCheckTarget, nullptr, {}},
        RefusalRow{"EffectTypeSkipDiffers", "BPEE", SampleAlteredSite::None,
                   [](GrowthSample& built, ItemTables&) {
                       // GetItemEffectType's refused way made to add to r0 rather than set it.
                       PutLittleEndian(built.rom, static_cast<std::size_t>(built.places.effectChecks.front().writesAtTarget), 0x3016u, 2);
                   },
                   {"the item-effect check at", "GetItemEffectType's", "expected 2016", "found 3016"}},
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

// The count read from code alone finds its getters by their tail. Look-alikes more numerous than
// the getters, all calling one place, would be taken for them: a `bl` read at an odd offset and
// one leading out of the ROM are none; one more real getter is (and is refused, as the released
// code has a fixed number of them).
TEST(ItemCountFromCode, CountsOnlyTheGettersTheCodeHolds)
{
    constexpr Byte kTail[] = {0x00, 0x04, 0x00, 0x0C, 0x2C, 0x21, 0x48, 0x43};
    constexpr int kCopies = 20;
    struct Case {
        const char* name;
        bool odd;           // the bl and its tail at an odd offset, calling the sanitiser's + 1
        bool outside;       // the bl leading before the ROM's start
        bool getter;        // a real getter more
    };
    const Case cases[] = {
        {"bl at an odd offset", true, false, false},
        {"bl leading out of the ROM", false, true, false},
        {"one getter more", false, false, true},
    };
    for (const std::string_view code : kKnownHeaderCodes) {
        const GrowthSample sample = GrowthSample::Build(code);
        const auto erased = std::search_n(sample.rom.begin() + 0x100000, sample.rom.end(), 0x200, Byte{0xFF});
        ASSERT_NE(erased, sample.rom.end());
        const std::int64_t room = ((erased - sample.rom.begin()) + 0xFF) & ~std::int64_t{0xFF};
        ASSERT_LT(room, std::int64_t{1} << 21) << "a bl from the room could not lead out of the ROM";
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(code) + ": " + c.name);
            Bytes rom = sample.rom;
            for (int copy = 0; copy < (c.getter ? 1 : kCopies); ++copy) {
                const std::int64_t even = room + 0x10 * copy;
                // Encoded at the even offset, the same bytes one further read as a bl to one past it.
                const std::int64_t target = c.outside ? -0x100 : sample.places.sanitizer;
                auto bl = thumb::Bl(even, target);
                ASSERT_TRUE(bl);
                const std::int64_t at = even + (c.odd ? 1 : 0);
                const auto place = rom.begin() + static_cast<std::ptrdiff_t>(at);
                std::copy(bl->begin(), bl->end(), place);
                std::copy(std::begin(kTail), std::end(kTail), place + 4);
            }
            auto counted = ItemCountFromCode(rom, *sample.family);
            if (c.getter) {
                EXPECT_FALSE(counted);
            } else {
                ASSERT_TRUE(counted) << counted.error().message;
                EXPECT_EQ(*counted, sample.tables.itemCount);
            }
        }
    }
}

}  // namespace
}  // namespace quillbox::test
