// New items, run: the game's own code (the sample's sanitiser and item-effect readers) treats an
// item added like POTION as its own, at an unused id and past the last item alike.
#include "ThumbMachine.h"

#include "items/ItemTestSupport.h"

#include "base/LittleEndian.h"
#include "items/addition/ItemAddition.h"
#include "items/effect/ItemEffects.h"
#include "sample/SampleCodeSites.h"

#include <memory>

namespace quillbox::test {
namespace {

using Machine = std::unique_ptr<ThumbMachine, decltype(&ThumbMachineDestroy)>;

constexpr std::uint32_t kBase = 0x08000000u;

std::uint32_t Call(ThumbMachine* machine, std::int64_t routine, std::uint32_t id)
{
    const std::uint32_t args[4] = {id, 0, 0, 0};
    const ThumbCallResult result = ThumbMachineCall(machine, kBase + static_cast<std::uint32_t>(routine) + 1, args, 256);
    EXPECT_TRUE(result.returned) << "routine " << std::hex << routine << " with " << id;
    return result.r0;
}

class NewItemCode : public ::testing::TestWithParam<std::string_view> {};

TEST_P(NewItemCode, AMedicineAddedAtAnUnusedIdAndPastTheLastItemReadsItsOwnHealingRecord)
{
    TempDir dir;
    const OpenedRom opened = OpenSample(dir, GetParam());
    const int count = opened.state.ItemCount();
    NewItemRequest request;
    request.like = kPotionItem;
    auto unused = AddItems(opened.state, request);
    ASSERT_TRUE(unused) << unused.error().message;
    request.count = 30;
    request.append = true;
    auto appended = AddItems(opened.state, request);
    ASSERT_TRUE(appended) << appended.error().message;
    ASSERT_TRUE(appended->grown);
    const int n = appended->grown->newCount;
    ASSERT_EQ(n, count + 30);

    const Bytes rom = ReadFile(opened.state.romPath);
    auto places = SampleCodeFor(GetParam(), {});
    ASSERT_TRUE(places);
    ASSERT_FALSE(places->effectReaders.empty());
    Machine machine(ThumbMachineCreate(rom.data(), rom.size()), &ThumbMachineDestroy);
    ASSERT_NE(machine, nullptr);
    const auto recordOf = [&](std::uint32_t pointer) {
        const auto at = static_cast<std::size_t>(pointer - kBase);
        return Bytes(rom.begin() + static_cast<std::ptrdiff_t>(at), rom.begin() + static_cast<std::ptrdiff_t>(at + 6));
    };
    // POTION's record as the released table holds it, read through the game's own reader.
    const std::uint32_t potion = Call(machine.get(), places->effectReaders.front(), kPotionItem);
    std::vector<int> added = unused->positions;
    added.insert(added.end(), appended->positions.begin(), appended->positions.end());
    for (const std::int64_t reader : places->effectReaders) {
        for (const int id : added) {
            const std::uint32_t record = Call(machine.get(), reader, static_cast<std::uint32_t>(id));
            ASSERT_NE(record, 0u) << "id " << id;
            EXPECT_NE(record, potion) << "id " << id << ": its own copy, not POTION's";
            EXPECT_EQ(recordOf(record), recordOf(potion)) << "id " << id;
        }
    }
    for (const auto& [id, kept] : std::vector<std::pair<std::uint32_t, bool>>{
             {static_cast<std::uint32_t>(count - 1), true}, {static_cast<std::uint32_t>(count), true},
             {static_cast<std::uint32_t>(n - 1), true}, {static_cast<std::uint32_t>(n), false}, {0xFFFFu, false}}) {
        EXPECT_EQ(Call(machine.get(), places->sanitizer, id), kept ? id : 0u) << "id " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Games, NewItemCode, ::testing::Values("BPRE", "BPEE", "AXVE"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
}  // namespace quillbox::test
