// A plan of growing, applied to a copy, against the file each write must make, built from the
// old tables; and the limits, each refused with nothing planned.
#include "GrowthFixture.h"

#include "base/LittleEndian.h"

#include <gtest/gtest.h>

#include <set>

namespace quillbox::test {
namespace {

constexpr std::uint32_t kBase = 0x08000000u;

Bytes Slice(const Bytes& rom, std::int64_t at, std::int64_t size)
{
    return Bytes(rom.begin() + static_cast<std::ptrdiff_t>(at), rom.begin() + static_cast<std::ptrdiff_t>(at + size));
}

struct Expected {
    Bytes bytes;
    std::vector<ByteRange> rewritten;  // routines whose new bytes the emulated tests run

    void Put(std::int64_t at, const Bytes& data) { std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at)); }
    void Word(std::int64_t at, std::uint32_t value) { PutLittleEndian(bytes, static_cast<std::size_t>(at), value, 4); }
    void Repoint(const Bytes& rom, std::int64_t from, std::int64_t to)
    {
        for (const std::uint32_t at : PointerTargets::WordsNaming(rom, from)) Word(at, kBase + static_cast<std::uint32_t>(to));
    }
};

// A table of `entries` of `size` bytes: the first `kept` copied, then entry 0 up to `entries`.
Bytes Grown(const Bytes& rom, std::int64_t table, int size, int kept, int entries)
{
    Bytes out = Slice(rom, table, std::int64_t{size} * kept);
    for (int k = kept; k < entries; ++k) {
        const Bytes first = Slice(rom, table, size);
        out.insert(out.end(), first.begin(), first.end());
    }
    return out;
}

struct GrowthRow {
    std::string_view code;
    int extra;  // items added
    bool hack;
};

void PrintTo(const GrowthRow& row, std::ostream* out) { *out << row.code << "+" << row.extra << (row.hack ? " hack" : ""); }

class GrowthPlan : public ::testing::TestWithParam<GrowthRow> {};

TEST_P(GrowthPlan, WritesExactlyWhatEachSiteAndTableMustHold)
{
    const GrowthRow& row = GetParam();
    const GrowthSample sample = GrowthSample::Build(row.code, {.hack = row.hack});
    const int count = sample.tables.itemCount;
    const int n = count + row.extra;
    FreeSpace space = sample.Space(SpaceFrom::NearCode);
    auto plan = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(), space, n);
    ASSERT_TRUE(plan) << plan.error().message;
    EXPECT_EQ(plan->newCount, n);
    const Bytes& rom = sample.rom;

    Expected expected{rom, {}};
    // New places lie where the ROM was free, word-aligned, apart.
    std::vector<ByteRange> placed{{plan->itemTable, plan->itemTable + std::int64_t{kItemRecordSize} * n},
                                  {plan->effectTable, plan->effectTable + 4 * std::int64_t{n - kFirstEffectItem}}};
    if (sample.tables.imgData != 0) placed.push_back({plan->iconTable, plan->iconTable + 8 * std::int64_t{n + 1}});
    for (const std::int64_t routine : plan->routines) placed.push_back({routine, routine + kEffectCheckRoutineSize});
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(placed[i].begin % 4, 0);
        EXPECT_TRUE(std::all_of(rom.begin() + placed[i].begin, rom.begin() + placed[i].end, [](Byte b) { return b == 0xFF; }));
        for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(placed[i].Overlaps(placed[j].begin, placed[j].end));
    }

    expected.Put(plan->itemTable, Grown(rom, sample.tables.itemData, kItemRecordSize, count, n));
    expected.Repoint(rom, sample.tables.itemData, plan->itemTable);
    const int last = n - 1;
    if (!row.hack && last % 2 == 0 && last / 2 <= 0xFF) {
        expected.bytes[static_cast<std::size_t>(sample.places.sanitizer + 6)] = static_cast<Byte>(last / 2);
    } else if (row.hack) {
        expected.Word(sample.places.sanitizer + 20, static_cast<std::uint32_t>(n));  // its count word
    } else {
        expected.rewritten.push_back({sample.places.sanitizer, sample.places.sanitizer + 24});
    }
    if (sample.tables.imgData != 0) {
        Bytes icons = Grown(rom, sample.tables.imgData, 8, count, n);
        const Bytes arrow = Slice(rom, sample.tables.imgData + 8 * std::int64_t{count}, 8);
        icons.insert(icons.end(), arrow.begin(), arrow.end());
        expected.Put(plan->iconTable, icons);
        const std::int64_t icon = sample.places.iconRoutine;
        if (row.code.starts_with("BP") && row.code != "BPEE") {
            expected.Repoint(rom, sample.tables.imgData, plan->iconTable);
            expected.Word(icon + 0x24, static_cast<std::uint32_t>(n));
            for (const std::int64_t word : sample.places.arrowWords) expected.Word(word, static_cast<std::uint32_t>(n));
        } else if (!row.hack && last % 2 == 0 && last / 2 <= 0xFF) {
            expected.Repoint(rom, sample.tables.imgData, plan->iconTable);
            expected.Word(icon + 0x18, static_cast<std::uint32_t>(n));
            expected.bytes[static_cast<std::size_t>(icon + 0x1C)] = static_cast<Byte>(last / 2);
        } else {
            expected.rewritten.push_back({icon, icon + 0x3C});
        }
    }
    Bytes effects = Slice(rom, sample.tables.effectData, kItemEffectTableSize);
    effects.resize(4 * static_cast<std::size_t>(n - kFirstEffectItem), 0);
    expected.Put(plan->effectTable, effects);
    for (const std::int64_t word : sample.places.effectWords) expected.Word(word, kBase + static_cast<std::uint32_t>(plan->effectTable));
    expected.Word(kSampleEffectCode + 12, kBase + static_cast<std::uint32_t>(plan->effectTable));
    for (const std::int64_t subs : sample.places.effectCheckSubs) expected.rewritten.push_back({subs + 2, subs + 8});
    for (const std::int64_t routine : plan->routines) expected.rewritten.push_back({routine, routine + kEffectCheckRoutineSize});

    const Bytes grown = Applied(rom, *plan);
    std::int64_t differing = 0;
    for (std::int64_t at = 0; at < static_cast<std::int64_t>(rom.size()); ++at) {
        const bool free = std::any_of(expected.rewritten.begin(), expected.rewritten.end(),
                                      [&](const ByteRange& range) { return range.begin <= at && at < range.end; });
        if (free || grown[static_cast<std::size_t>(at)] == expected.bytes[static_cast<std::size_t>(at)]) continue;
        if (++differing <= 5) ADD_FAILURE() << "byte at " << std::hex << at << " is " << int{grown[static_cast<std::size_t>(at)]}
                                            << ", expected " << int{expected.bytes[static_cast<std::size_t>(at)]};
    }
    EXPECT_EQ(differing, 0);
    // The old tables stay as they were.
    EXPECT_EQ(Slice(grown, sample.tables.itemData, std::int64_t{kItemRecordSize} * count),
              Slice(rom, sample.tables.itemData, std::int64_t{kItemRecordSize} * count));

    // The grown ROM is grown code: its sites are found again, with the new count.
    const ItemTables now{plan->itemTable, plan->iconTable, plan->effectTable, n};
    auto again = FindItemCodeSites(grown, *sample.family, now);
    ASSERT_TRUE(again) << again.error().message;
    EXPECT_EQ(again->sanitizer.count, n);
    auto counted = ItemCountFromCode(grown, *sample.family);
    ASSERT_TRUE(counted);
    EXPECT_EQ(*counted, n);
    for (const EffectCheckSite& check : again->effects->checks) EXPECT_EQ(check.lastIndex, n - 1 - kFirstEffectItem);
}

INSTANTIATE_TEST_SUITE_P(Rows, GrowthPlan,
                         ::testing::Values(GrowthRow{"BPRE", 30, false}, GrowthRow{"BPGE", 325, false}, GrowthRow{"BPEE", 30, false},
                                           GrowthRow{"BPEE", 324, false}, GrowthRow{"AXVE", 30, false},
                                           GrowthRow{"AXPE", 400, false}, GrowthRow{"BPRE", 31, true},
                                           GrowthRow{"BPEE", 17, true}, GrowthRow{"AXVE", 5, true}),
                         [](const ::testing::TestParamInfo<GrowthRow>& row) {
                             return std::string(row.param.code) + "_" + std::to_string(row.param.extra) + (row.param.hack ? "_hack" : "");
                         });

// Each limit refused with one message naming it, nothing planned and no space taken.
struct LimitRow {
    const char* name;
    int extra;  // items added; a negative value -1 means up to 0xFFFF + 1
    bool withEffects;
    SpaceFrom space;
    bool noSpace;
    ErrorCode code;
    std::string said;
};

void PrintTo(const LimitRow& row, std::ostream* out) { *out << row.name; }

class GrowthLimits : public ::testing::TestWithParam<LimitRow> {};

TEST_P(GrowthLimits, AreRefusedWithNothingPlanned)
{
    const LimitRow& row = GetParam();
    for (const std::string_view code : {"BPRE", "BPEE", "AXVE"}) {
        SCOPED_TRACE(code);
        const GrowthSample sample = GrowthSample::Build(code);
        FreeSpace space = row.noSpace ? FreeSpace{} : sample.Space(row.space);
        const std::vector<ByteRange> runs(space.Runs().begin(), space.Runs().end());
        const int n = row.extra < 0 ? kLargestItemCount + 1 : sample.tables.itemCount + row.extra;
        auto plan = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(row.withEffects), space, n);
        ASSERT_FALSE(plan);
        EXPECT_EQ(plan.error().code, row.code);
        EXPECT_TRUE(plan.error().message.contains(row.said)) << plan.error().message;
        EXPECT_EQ(std::vector<ByteRange>(space.Runs().begin(), space.Runs().end()), runs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GrowthLimits,
    ::testing::Values(LimitRow{"NotGrowing", 0, true, SpaceFrom::NearCode, false, ErrorCode::BadValue, "grows only"},
                      LimitRow{"PastTheLastId", -1, true, SpaceFrom::NearCode, false, ErrorCode::BadValue,
                               "0xFFFF ends the games' item lists"},
                      LimitRow{"NoFreeSpace", 30, false, SpaceFrom::NearCode, true, ErrorCode::NoFreeSpace,
                               "no free space for the item table"},
                      LimitRow{"ChecksOutOfACallsReach", 30, true, SpaceFrom::PastTables, false, ErrorCode::BadValue,
                               "within a call's reach (4 MiB)"}),
    [](const ::testing::TestParamInfo<LimitRow>& row) { return std::string(row.param.name); });

// Without the item-effect table, the plan leaves it and its code alone; free space far from the
// code then serves.
TEST(GrowthWithoutEffects, LeavesTheEffectCodeAsItWas)
{
    for (const std::string_view code : {"BPRE", "BPEE", "AXVE"}) {
        SCOPED_TRACE(code);
        const GrowthSample sample = GrowthSample::Build(code);
        FreeSpace space = sample.Space(SpaceFrom::PastTables);
        auto plan = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(false), space, sample.tables.itemCount + 30);
        ASSERT_TRUE(plan) << plan.error().message;
        EXPECT_EQ(plan->effectTable, 0);
        EXPECT_TRUE(plan->routines.empty());
        const Bytes grown = Applied(sample.rom, *plan);
        for (const std::int64_t reader : sample.places.effectReaders) {
            EXPECT_EQ(Slice(grown, reader, 0x2C), Slice(sample.rom, reader, 0x2C));
        }
        EXPECT_EQ(PointerTargets::WordsNaming(grown, sample.tables.effectData).size(),
                  static_cast<std::size_t>(SampleEffectTablePointers(code)));
    }
}

}  // namespace
}  // namespace quillbox::test
