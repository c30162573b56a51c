// A grown sample's changed code, run: the sanitiser keeps every id below the new count and turns
// the rest into 0, the icon routine gives each id its own entry and the arrow's id the arrow,
// and every item-effect check and reader gives each id from 13 to 13 + 2^k - 1 its own entry of
// the new table (null from the new count on) and every id past it what the check's refusal
// returns. Free space lies where the released ROMs have it, far from the code.
#include "ThumbMachine.h"

#include "items/growth/GrowthFixture.h"

#include "base/LittleEndian.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace quillbox::test {
namespace {

using Machine = std::unique_ptr<ThumbMachine, decltype(&ThumbMachineDestroy)>;

constexpr std::uint32_t kBase = 0x08000000u;

std::uint32_t Call(ThumbMachine* machine, std::int64_t routine, std::uint32_t r0, std::uint32_t r1 = 0)
{
    const std::uint32_t args[4] = {r0, r1, 0, 0};
    const ThumbCallResult result = ThumbMachineCall(machine, kBase + static_cast<std::uint32_t>(routine) + 1, args, 256);
    EXPECT_TRUE(result.returned) << "routine " << std::hex << routine << " with " << r0;
    return result.r0;
}

struct RunRow {
    std::string_view code;
    int extra;
    bool hack;
};

void PrintTo(const RunRow& row, std::ostream* out) { *out << row.code << "+" << row.extra << (row.hack ? " hack" : ""); }

int CoveringShift(int entries)
{
    int k = 0;
    while ((1 << k) < entries) ++k;
    return k;
}

// What a check's function returns for `id` on a grown ROM whose table at `table` covers
// `entries` entries, the ids from `count` on null in it.
std::uint32_t CheckedEntry(const Bytes& rom, const SampleEffectCheck& check, std::int64_t table, int entries, int count,
                           std::uint32_t id)
{
    if (id < 13 || id - 13 >= static_cast<std::uint32_t>(entries)) return check.refused;
    if (check.enigma && id == kSampleEnigmaItem) return kSampleEnigmaEffect;
    if (id >= static_cast<std::uint32_t>(count)) return 0;
    return ReadLe32(rom, static_cast<std::size_t>(table + 4 * (id - 13)));
}

class GrownCode : public ::testing::TestWithParam<RunRow> {};

TEST_P(GrownCode, GivesEveryIdBelowTheNewCountItsOwnEntryAndNothingPastIt)
{
    const RunRow& row = GetParam();
    const GrowthSample sample = GrowthSample::Build(row.code, {.hack = row.hack});
    const int count = sample.tables.itemCount;
    const int n = count + row.extra;
    FreeSpace space = sample.Space(SpaceFrom::FarFromCode);
    auto plan = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(), space, n);
    ASSERT_TRUE(plan) << plan.error().message;
    const Bytes grown = Applied(sample.rom, *plan);
    Machine machine(ThumbMachineCreate(grown.data(), grown.size()), &ThumbMachineDestroy);
    ASSERT_NE(machine, nullptr);

    const std::set<std::uint32_t> ids{0, 1, static_cast<std::uint32_t>(count - 1), static_cast<std::uint32_t>(count),
                                      static_cast<std::uint32_t>(n - 1), static_cast<std::uint32_t>(n),
                                      static_cast<std::uint32_t>(n + 1), 0xFFFE, 0xFFFF};
    for (const std::uint32_t id : ids) {
        EXPECT_EQ(Call(machine.get(), sample.places.sanitizer, id), id < static_cast<std::uint32_t>(n) ? id : 0U) << "id " << id;
    }
    // The same ids with the upper half-word set, which the u16 argument drops.
    EXPECT_EQ(Call(machine.get(), sample.places.sanitizer, 0x10000u + static_cast<std::uint32_t>(n - 1)), static_cast<std::uint32_t>(n - 1));

    if (sample.tables.imgData != 0) {
        const bool emerald = row.code == "BPEE";
        const auto entry = [&](std::uint32_t index, int which) {
            return ReadLe32(grown, static_cast<std::size_t>(plan->iconTable + 8 * std::int64_t{index} + 4 * which));
        };
        const std::uint32_t arrowId = emerald ? 0xFFFF : static_cast<std::uint32_t>(n);
        for (std::uint32_t id = 0; id <= static_cast<std::uint32_t>(n) + 2; ++id) {
            std::uint32_t index = id < static_cast<std::uint32_t>(n) ? id : 0;
            if (id == arrowId) index = static_cast<std::uint32_t>(n);
            for (const int which : {0, 1}) {
                EXPECT_EQ(Call(machine.get(), sample.places.iconRoutine, id, static_cast<std::uint32_t>(which)), entry(index, which))
                    << "id " << id;
            }
        }
        EXPECT_EQ(Call(machine.get(), sample.places.iconRoutine, arrowId), entry(static_cast<std::uint32_t>(n), 0));
        // The arrow's entry is the old table's last.
        EXPECT_EQ(entry(static_cast<std::uint32_t>(n), 0), ReadLe32(sample.rom, static_cast<std::size_t>(sample.tables.imgData + 8 * count)));
    }

    // Nothing the checks read lies within a call's reach of them: the rewrite needs no free space near the code.
    const int entries = 1 << CoveringShift(n - 13);
    for (const SampleEffectCheck& check : sample.places.effectChecks) EXPECT_GT(plan->effectTable - check.subs, 1 << 22);
    std::set<std::int64_t> checked;
    for (const SampleEffectCheck& check : sample.places.effectChecks) {
        SCOPED_TRACE(check.function);
        checked.insert(check.function);
        for (std::uint32_t id = 13; id <= 13U + static_cast<std::uint32_t>(entries) + 2; ++id) {
            ASSERT_EQ(Call(machine.get(), check.function, id), CheckedEntry(grown, check, plan->effectTable, entries, n, id))
                << "id " << id;
        }
        for (const std::uint32_t id : {0U, 12U, 0xFFFEU, 0xFFFFU}) EXPECT_EQ(Call(machine.get(), check.function, id), check.refused) << "id " << id;
    }
    // The readers that check nothing read every entry the checks let through, null past the count.
    std::vector<std::int64_t> readers = sample.places.effectReaders;
    readers.push_back(kSampleEffectCode);
    for (const std::int64_t reader : readers) {
        if (checked.contains(reader)) continue;
        SCOPED_TRACE(reader);
        for (std::uint32_t id = 13; id < 13U + static_cast<std::uint32_t>(entries); ++id) {
            const std::uint32_t entry = ReadLe32(grown, static_cast<std::size_t>(plan->effectTable + 4 * (id - 13)));
            ASSERT_EQ(Call(machine.get(), reader, id), entry) << "id " << id;
            if (id >= static_cast<std::uint32_t>(n)) {
                ASSERT_EQ(entry, 0U) << "id " << id;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, GrownCode,
                         ::testing::Values(RunRow{"BPRE", 30, false}, RunRow{"BPRE", 1000, false}, RunRow{"BPGE", 31, true},
                                           RunRow{"BPGE", 1000, false}, RunRow{"BPEE", 30, false}, RunRow{"BPEE", 1000, false},
                                           RunRow{"BPEE", 17, true}, RunRow{"AXVE", 30, false}, RunRow{"AXPE", 1000, false},
                                           RunRow{"AXVE", 5, true}),
                         [](const ::testing::TestParamInfo<RunRow>& row) {
                             return std::string(row.param.code) + "_" + std::to_string(row.param.extra) + (row.param.hack ? "_hack" : "");
                         });

// Growing twice: the code a first growth left is found and grown again.
TEST(GrownCodeTwice, KeepsEveryIdOfTheSecondCount)
{
    for (const std::string_view code : {"BPRE", "BPEE", "AXVE"}) {
        SCOPED_TRACE(code);
        const GrowthSample sample = GrowthSample::Build(code);
        FreeSpace space = sample.Space(SpaceFrom::FarFromCode);
        const int first = sample.tables.itemCount + 30;
        auto once = PlanTableGrowth(sample.rom, *sample.family, sample.Tables(), space, first);
        ASSERT_TRUE(once) << once.error().message;
        const Bytes grown = Applied(sample.rom, *once);
        const int second = first + 201;
        const ItemTables now{once->itemTable, once->iconTable, once->effectTable, first};
        auto twice = PlanTableGrowth(grown, *sample.family, now, space, second);
        ASSERT_TRUE(twice) << twice.error().message;
        const Bytes again = Applied(grown, *twice);
        Machine machine(ThumbMachineCreate(again.data(), again.size()), &ThumbMachineDestroy);
        ASSERT_NE(machine, nullptr);
        // The first growth's entries were copied on: the second table starts with the first's.
        const int entries = 1 << CoveringShift(second - 13);
        ASSERT_GT(entries, 1 << CoveringShift(first - 13));
        for (std::uint32_t id = 13; id < static_cast<std::uint32_t>(first); ++id) {
            ASSERT_EQ(ReadLe32(again, static_cast<std::size_t>(twice->effectTable + 4 * (id - 13))),
                      ReadLe32(grown, static_cast<std::size_t>(once->effectTable + 4 * (id - 13))));
        }
        for (const std::uint32_t id : {static_cast<std::uint32_t>(first - 1), static_cast<std::uint32_t>(first),
                                       static_cast<std::uint32_t>(second - 1), static_cast<std::uint32_t>(second)}) {
            EXPECT_EQ(Call(machine.get(), sample.places.sanitizer, id), id < static_cast<std::uint32_t>(second) ? id : 0U);
        }
        for (const SampleEffectCheck& check : sample.places.effectChecks) {
            for (std::uint32_t id = 13; id <= 13U + static_cast<std::uint32_t>(entries) + 2; ++id) {
                ASSERT_EQ(Call(machine.get(), check.function, id), CheckedEntry(again, check, twice->effectTable, entries, second, id))
                    << "id " << id;
            }
        }
    }
}

}  // namespace
}  // namespace quillbox::test
