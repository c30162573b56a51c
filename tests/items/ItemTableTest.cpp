#include "ItemTestSupport.h"

#include "items/record/ItemTable.h"

#include <random>

namespace quillbox::test {
namespace {

struct TableCase {
    GameCase game;
    std::int64_t romSize;  // small: descriptions are read as one block; large: one by one
};

class ItemTableTest : public ::testing::TestWithParam<TableCase> {};

// Records and descriptions of random bytes, pointers anywhere (below the ROM's base, past the
// end, into the last bytes): the table read at once shows every item as ReadItem does.
TEST_P(ItemTableTest, ShowsEveryItemAsReadItemDoes)
{
    const auto& [game, romSize] = GetParam();
    std::mt19937 random(static_cast<std::uint32_t>(romSize) + static_cast<std::uint32_t>(game.itemCount));
    RomBuilder builder(game.headerCode, romSize);
    for (std::int64_t at = 0x100; at < romSize; ++at) {
        // Mostly text with a terminator now and then, so that many descriptions are readable.
        const auto roll = random() % 64;
        builder.Data()[static_cast<std::size_t>(at)] = static_cast<Byte>(roll == 0 ? 0xFF : roll == 1 ? 0xFE : 0xBB + roll % 40);
    }
    for (int position = 0; position < game.itemCount; ++position) {
        const std::int64_t e = builder.Entry(position);
        for (int k = 0; k < kItemRecordSize; ++k) builder.Data()[static_cast<std::size_t>(e + k)] = static_cast<Byte>(random());
        // Most Index fields as an item table holds them, or opening refuses the table.
        if (position % 16 != 0) builder.PutLe16(e + ItemField::Index, static_cast<std::uint16_t>(position));
        const auto kind = random() % 8;
        const std::int64_t target = kind == 0 ? romSize - 1 - std::int64_t(random() % 8)
                                    : kind == 1 ? romSize + std::int64_t(random() % 100)
                                                : std::int64_t(random() % static_cast<std::uint32_t>(romSize));
        if (kind == 2) {
            builder.PutLe32(e + ItemField::DescPointer, random() % 0x08000000);
        } else {
            builder.PutPointer(e + ItemField::DescPointer, target);
        }
    }
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));

    auto table = ReadItemTable(state);
    ASSERT_TRUE(table) << table.error().message;
    ASSERT_EQ(std::ssize(*table), game.itemCount);
    for (int position = 0; position < game.itemCount; ++position) {
        SCOPED_TRACE(position);
        auto one = ReadItem(state, position);
        ASSERT_TRUE(one);
        const ItemView& all = (*table)[static_cast<std::size_t>(position)];
        EXPECT_EQ(all.position, one->position);
        EXPECT_EQ(all.name, one->name);
        EXPECT_EQ(std::tie(all.index, all.price, all.holdEffect, all.holdEffectParam, all.importance, all.registrability, all.pocket, all.battleUsage),
                  std::tie(one->index, one->price, one->holdEffect, one->holdEffectParam, one->importance, one->registrability, one->pocket,
                           one->battleUsage));
        EXPECT_EQ(all.fieldUsageCodePointer, one->fieldUsageCodePointer);
        EXPECT_EQ(all.battleUsageCodePointer, one->battleUsageCodePointer);
        EXPECT_EQ(all.descriptionOffset, one->descriptionOffset);
        EXPECT_EQ(all.descriptionOffsetText, one->descriptionOffsetText);
        EXPECT_EQ(all.description, one->description);
        EXPECT_EQ(std::tie(all.descriptionReadable, all.descriptionRoom, all.descriptionRoomBytes),
                  std::tie(one->descriptionReadable, one->descriptionRoom, one->descriptionRoomBytes));
        EXPECT_EQ(all.tmMove, one->tmMove);
        EXPECT_EQ(all.imageOffsetText, one->imageOffsetText);
        EXPECT_EQ(all.paletteOffsetText, one->paletteOffsetText);
    }
}

std::vector<TableCase> TableCases()
{
    std::vector<TableCase> cases;
    for (const GameCase& game : kGameCases) {
        cases.push_back({game, RomBuilder::kDefaultSize});
        cases.push_back({game, 3 << 20});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryGame, ItemTableTest, ::testing::ValuesIn(TableCases()), [](const auto& row) {
    return std::string(row.param.game.headerCode) + (row.param.romSize > (1 << 20) ? "Spread" : "Close");
});

}  // namespace
}  // namespace quillbox::test
