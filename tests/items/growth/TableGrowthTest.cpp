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

// The least k with 2^k >= entries: the item-effect entries a grown check lets through.
int CoveringShift(int entries)
{
    int k = 0;
    while ((1 << k) < entries) ++k;
    return k;
}

// The rewritten check's last six bytes, from the ARM7TDMI's encodings: lsrs r0, r0, #(16 + k)
// (000 01 imm5 Rm Rd), mov r8, r8, and the released branch (1101 cond offset8) testing Z: bhi
// (cond 8) becomes bne (1), bls (9) beq (0).
Bytes RewrittenCheck(const Bytes& rom, std::int64_t subs, int k)
{
    const std::uint16_t branch = ReadLe16(rom, static_cast<std::size_t>(subs + 8));
    const int condition = branch >> 8 & 0xF;
    EXPECT_TRUE(condition == 8 || condition == 9) << "released branch " << std::hex << branch;
    const std::uint16_t code[] = {static_cast<std::uint16_t>(0x0800 | (16 + k) << 6), 0x46C0,
                                  static_cast<std::uint16_t>((branch & 0x00FF) | (condition == 8 ? 0xD100 : 0xD000))};
    Bytes out(6);
    for (std::size_t i = 0; i < 3; ++i) PutLittleEndian(out, 2 * i, code[i], 2);
    return out;
}

struct GrowthRow {
    std::string_view code;
    int extra;  // items added
    bool hack;
    SpaceFrom space;
};

void PrintTo(const GrowthRow& row, std::ostream* out) { *out << row.code << "+" << row.extra << (row.hack ? " hack" : ""); }

class GrowthPlan : public ::testing::TestWithParam<GrowthRow> {};

TEST_P(GrowthPlan, WritesExactlyWhatEachSiteAndTableMustHold)
{
    const GrowthRow& row = GetParam();
    const GrowthSample sample = GrowthSample::Build(row.code, {.hack = row.hack});
    const int count = sample.tables.itemCount;
    const int n = count + row.extra;
    FreeSpace space = sample.Space(row.space);
    auto plan = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(), space, n);
    ASSERT_TRUE(plan) << plan.error().message;
    EXPECT_EQ(plan->newCount, n);
    const Bytes& rom = sample.rom;
    const int k = CoveringShift(n - kFirstEffectItem);
    const int effectEntries = 1 << k;

    Expected expected{rom, {}};
    // New places lie where the ROM was free, word-aligned, apart.
    std::vector<ByteRange> placed{{plan->itemTable, plan->itemTable + std::int64_t{kItemRecordSize} * n},
                                  {plan->effectTable, plan->effectTable + 4 * std::int64_t{effectEntries}}};
    if (sample.tables.imgData != 0) placed.push_back({plan->iconTable, plan->iconTable + 8 * std::int64_t{n + 1}});
    if (row.space == SpaceFrom::FarFromCode) {
        for (const ByteRange& range : placed) EXPECT_GE(range.begin, kFarFreeSpace);
    }
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(placed[i].begin % 4, 0);
        EXPECT_TRUE(std::all_of(rom.begin() + static_cast<std::ptrdiff_t>(placed[i].begin), rom.begin() + static_cast<std::ptrdiff_t>(placed[i].end), [](Byte b) { return b == 0xFF; }));
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
    effects.resize(4 * static_cast<std::size_t>(effectEntries), 0);
    expected.Put(plan->effectTable, effects);
    for (const std::int64_t word : sample.places.effectWords) expected.Word(word, kBase + static_cast<std::uint32_t>(plan->effectTable));
    expected.Word(kSampleEffectCode + 12, kBase + static_cast<std::uint32_t>(plan->effectTable));
    for (const SampleEffectCheck& check : sample.places.effectChecks) expected.Put(check.subs + 4, RewrittenCheck(rom, check.subs, k));

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
    for (const EffectCheckSite& check : again->effects->checks) {
        EXPECT_EQ(check.shift, k);
        EXPECT_EQ(check.lastIndex, effectEntries - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, GrowthPlan,
                         ::testing::Values(GrowthRow{"BPRE", 30, false, SpaceFrom::FarFromCode},
                                           GrowthRow{"BPRE", 1000, false, SpaceFrom::FarFromCode},
                                           GrowthRow{"BPGE", 325, false, SpaceFrom::NearCode},
                                           GrowthRow{"BPEE", 30, false, SpaceFrom::FarFromCode},
                                           GrowthRow{"BPEE", 324, false, SpaceFrom::PastTables},
                                           GrowthRow{"AXVE", 30, false, SpaceFrom::FarFromCode},
                                           GrowthRow{"AXPE", 1000, false, SpaceFrom::FarFromCode},
                                           GrowthRow{"BPRE", 31, true, SpaceFrom::FarFromCode},
                                           GrowthRow{"BPEE", 17, true, SpaceFrom::NearCode},
                                           GrowthRow{"AXVE", 5, true, SpaceFrom::FarFromCode}),
                         [](const ::testing::TestParamInfo<GrowthRow>& row) {
                             return std::string(row.param.code) + "_" + std::to_string(row.param.extra) + (row.param.hack ? "_hack" : "");
                         });

// Each limit refused with one message naming it, nothing planned and no space taken.
struct LimitRow {
    const char* name;
    int extra;  // items added; -1 means up to 0xFFFF + 1, -2 to one past what the checks' shift reaches
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
        const int n = row.extra == -1   ? kLargestItemCount + 1
                      : row.extra == -2 ? kFirstEffectItem + (1 << 15) + 1
                                        : sample.tables.itemCount + row.extra;
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
                      LimitRow{"PastTheChecksShift", -2, true, SpaceFrom::FarFromCode, false, ErrorCode::BadValue,
                               "at most 2^15 entries (ids 13 to 32780)"}),
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
        const Bytes grown = Applied(sample.rom, *plan);
        for (const std::int64_t reader : sample.places.effectReaders) {
            EXPECT_EQ(Slice(grown, reader, 0x2C), Slice(sample.rom, reader, 0x2C));
        }
        EXPECT_EQ(PointerTargets::WordsNaming(grown, sample.tables.effectData).size(),
                  static_cast<std::size_t>(SampleEffectTablePointers(code)));
    }
}


// The checks' shift at the counts where it steps: the least k whose 2^k entries cover ids 13 to
// n - 1, read back from the rewritten code, the table holding exactly 2^k entries, the last null.
struct ShiftRow {
    int n;
    int k;
};

void PrintTo(const ShiftRow& row, std::ostream* out) { *out << row.n << " items"; }

class GrowthShift : public ::testing::TestWithParam<ShiftRow> {};

TEST_P(GrowthShift, IsTheLeastCoveringTheNewIds)
{
    const ShiftRow& row = GetParam();
    const GrowthSample sample = GrowthSample::Build("BPRE");
    FreeSpace space = sample.Space(SpaceFrom::FarFromCode);
    auto plan = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(), space, row.n);
    ASSERT_TRUE(plan) << plan.error().message;
    const Bytes grown = Applied(sample.rom, *plan);
    auto again = FindItemCodeSites(grown, *sample.family, {plan->itemTable, plan->iconTable, plan->effectTable, row.n});
    ASSERT_TRUE(again) << again.error().message;
    for (const EffectCheckSite& check : again->effects->checks) EXPECT_EQ(check.shift, row.k);
    const auto table = std::find_if(plan->writes.begin(), plan->writes.end(),
                                    [&](const GrowthWrite& write) { return write.offset == plan->effectTable; });
    ASSERT_NE(table, plan->writes.end());
    EXPECT_EQ(table->bytes.size(), 4 * (std::size_t{1} << row.k));
    EXPECT_EQ(ReadLe32(table->bytes, table->bytes.size() - 4), 0U);
}

INSTANTIATE_TEST_SUITE_P(Counts, GrowthShift,
                         ::testing::Values(ShiftRow{376, 9}, ShiftRow{13 + 512, 9}, ShiftRow{13 + 513, 10},
                                           ShiftRow{13 + 1024, 10}, ShiftRow{13 + 32768, 15}),
                         [](const ::testing::TestParamInfo<ShiftRow>& row) { return std::to_string(row.param.n); });

}  // namespace
}  // namespace quillbox::test
