#include "ItemTestSupport.h"

#include "rom/Profile.h"
#include "sample/SampleRom.h"

#include <algorithm>
#include <set>

namespace quillbox::test {
namespace {

class SampleRomTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(SampleRomTest, Is16MiBWithItsHeaderCodeAt0xAC)
{
    const GameCase& game = GetParam();
    auto rom = BuildSampleRom(game.headerCode);
    ASSERT_TRUE(rom) << Describe(rom);
    EXPECT_EQ(rom->size(), 16U * 1024 * 1024);
    EXPECT_EQ(std::string(rom->begin() + 0xAC, rom->begin() + 0xB0), game.headerCode);

    TempDir dir;
    const auto path = WriteSample(dir, game.headerCode);
    EXPECT_EQ(std::filesystem::file_size(path), 16U * 1024 * 1024);
    auto code = ReadHeaderCode(path);
    ASSERT_TRUE(code) << Describe(code);
    EXPECT_EQ(*code, game.headerCode);
    EXPECT_EQ(ReadFile(path), *rom);
}

TEST_P(SampleRomTest, TablesSitWhereTheShippedProfileSays)
{
    const GameCase& game = GetParam();
    auto tables = SampleTablesFor(game.headerCode);
    ASSERT_TRUE(tables) << Describe(tables);
    auto value = [&](std::string_view key) {
        return ParseProfileNumber(ReadProfileValue(ShippedProfile(), game.headerCode, key));
    };
    EXPECT_EQ(tables->itemData, value("ItemData"));
    EXPECT_EQ(tables->attackNames, value("AttackNames"));
    EXPECT_EQ(tables->tmData, value("TMData"));
    EXPECT_EQ(tables->imgData, value("IMGData"));
    EXPECT_NE(tables->itemData, 0);
    EXPECT_EQ(tables->imgData != 0, game.hasImages);
}

TEST_P(SampleRomTest, BuildsAreIdentical)
{
    const GameCase& game = GetParam();
    auto first = BuildSampleRom(game.headerCode);
    auto second = BuildSampleRom(game.headerCode);
    ASSERT_TRUE(first) << Describe(first);
    ASSERT_TRUE(second) << Describe(second);
    EXPECT_TRUE(*first == *second);
}

// The sample is the first ROM a newcomer opens: every item shows a description, a pocket of
// its list, a move the move list names, and distinct names.
TEST_P(SampleRomTest, EveryItemShowsSensibleContent)
{
    const GameCase& game = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, game.headerCode);
    auto opened = OpenRom(rom, ShippedProfile());
    ASSERT_TRUE(opened) << Describe(opened);
    const GameFamily& family = *opened->family;
    std::set<Text> names;
    bool lineBreak = false;
    for (int position = 0; position < game.itemCount; ++position) {
        SCOPED_TRACE(position);
        auto item = ReadItem(opened->state, position);
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_FALSE(item->name.empty());
        names.insert(item->name);
        EXPECT_TRUE(item->descriptionReadable);
        EXPECT_GT(item->descriptionRoom, 0);
        EXPECT_LT(item->descriptionOffset, kSampleRomSize);
        lineBreak = lineBreak || item->description.find(U"\r\n") != Text::npos;
        EXPECT_LT(item->pocket, family.pocketNames.size());
        EXPECT_LT(item->mystery1, family.mystery1Entries.size());
        EXPECT_LT(item->mystery2, family.mystery2Entries.size());
        EXPECT_LT(item->battleUsage, family.battleUsageEntries.size());
        if (item->tmMove) {
            EXPECT_GE(*item->tmMove, 1);
            EXPECT_LE(*item->tmMove, 354);
        }
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(game.itemCount));
    EXPECT_TRUE(lineBreak);
}

INSTANTIATE_TEST_SUITE_P(AllGames, SampleRomTest, ::testing::ValuesIn(kGameCases), GameCaseName);

TEST(SampleRomTest, UnknownHeaderCodesAreRefused)
{
    TempDir dir;
    for (const std::string_view code : {"BPRJ", "ZZZZ", "bpre", "", "BPREX"}) {
        SCOPED_TRACE(code);
        auto rom = BuildSampleRom(code);
        ASSERT_FALSE(rom);
        EXPECT_EQ(rom.error().code, ErrorCode::BadValue);
        auto tables = SampleTablesFor(code);
        ASSERT_FALSE(tables);
        EXPECT_EQ(tables.error().code, ErrorCode::BadValue);
        const auto path = dir / "refused.gba";
        const Status written = WriteSampleRom(path, code);
        ASSERT_FALSE(written);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST(SampleRomTest, WritingIntoAMissingFolderFails)
{
    TempDir dir;
    const Status written = WriteSampleRom(dir / "no" / "such" / "folder.gba", "BPRE");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, ErrorCode::FileWrite);
}

}  // namespace
}  // namespace quillbox::test
