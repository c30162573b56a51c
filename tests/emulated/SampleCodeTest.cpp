// The sample ROMs' code, run: what the game's own routines read is what Quillbox takes for the
// table, so a sample whose code and tables drift apart shows here rather than on a real ROM.
#include "ThumbMachine.h"

#include "base/LittleEndian.h"
#include "items/effect/ItemEffectTable.h"
#include "rom/PointerScan.h"
#include "sample/SampleRom.h"

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

namespace quillbox {
namespace {

using Machine = std::unique_ptr<ThumbMachine, decltype(&ThumbMachineDestroy)>;

Machine Load(const Bytes& rom) { return Machine(ThumbMachineCreate(rom.data(), rom.size()), &ThumbMachineDestroy); }

constexpr std::uint32_t kRomBase = 0x08000000u;

class SampleCodeTest : public ::testing::TestWithParam<std::string_view> {};

TEST_P(SampleCodeTest, TheEffectReaderReadsTheTableTheFinderChooses)
{
    auto rom = BuildSampleRom(GetParam());
    ASSERT_TRUE(rom) << rom.error().message;
    auto tables = SampleTablesFor(GetParam());
    ASSERT_TRUE(tables);
    ASSERT_NE(tables->effectData, 0);
    const FoundItemEffects found = FindItemEffectTable(*rom, ScanPointers(*rom));
    ASSERT_TRUE(found.table.Found());
    ASSERT_EQ(found.table.offset, tables->effectData);
    Machine machine = Load(*rom);
    ASSERT_NE(machine, nullptr);
    for (std::uint32_t item = 13; item <= 175; ++item) {
        const std::uint32_t args[4] = {item, 0, 0, 0};
        const ThumbCallResult result = ThumbMachineCall(machine.get(), kRomBase + kSampleEffectCode + 1, args, 64);
        ASSERT_TRUE(result.returned) << "item " << item;
        EXPECT_EQ(result.r0, ReadLe32(*rom, static_cast<std::size_t>(found.table.offset + 4 * (item - 13)))) << "item " << item;
        EXPECT_EQ(result.r0, ThumbMachineRead32(machine.get(), kRomBase + static_cast<std::uint32_t>(tables->effectData) + 4 * (item - 13)))
            << "item " << item;
    }
}

INSTANTIATE_TEST_SUITE_P(Games, SampleCodeTest, ::testing::Values("BPRE", "BPEE", "AXVE"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
}  // namespace quillbox
