#include "ItemTestSupport.h"

#include "items/record/ItemMeanings.h"
#include "rom/TmHmList.h"
#include "rom/PointerScan.h"
#include "rom/Profile.h"
#include "sample/SampleRom.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

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
    // LeafGreen's item-effect table has no known place: the profile leaves it out, the sample
    // keeps FireRed's.
    EXPECT_EQ(tables->effectData, game.headerCode == "BPGE" ? 0x2528BC : value("EffectData"));
    EXPECT_EQ(value("EffectData") == 0, game.headerCode == "BPGE");
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
    int unknownNamed = 0;
    bool lineBreak = false;
    for (int position = 0; position < game.itemCount; ++position) {
        SCOPED_TRACE(position);
        auto item = ReadItem(opened->state, position);
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_FALSE(item->name.empty());
        names.insert(item->name);
        // The unused entries carry item 0's name, as the released games' do.
        if (item->name == U"????????") {
            ++unknownNamed;
            EXPECT_EQ(item->index, 0);
        }
        EXPECT_TRUE(item->descriptionReadable);
        EXPECT_GT(item->descriptionRoom, 0);
        EXPECT_LT(item->descriptionOffset, kSampleRomSize);
        lineBreak = lineBreak || item->description.find(U"\r\n") != Text::npos;
        EXPECT_LT(item->pocket, family.pocketNames.size());
        EXPECT_LT(item->importance, MeaningEntries(Meaning::Importance, family).size());
        EXPECT_LT(item->registrability, MeaningEntries(Meaning::Registrability, family).size());
        EXPECT_LT(item->battleUsage, MeaningEntries(Meaning::BattleUsage, family).size());
        if (item->tmMove) {
            EXPECT_GE(*item->tmMove, 1);
            EXPECT_LE(*item->tmMove, 354);
        }
    }
    EXPECT_GT(unknownNamed, 40);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(game.itemCount - unknownNamed + 1));
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

std::uint32_t Le16At(const Bytes& rom, std::int64_t at)
{
    return static_cast<std::uint32_t>(rom[static_cast<std::size_t>(at)] | rom[static_cast<std::size_t>(at + 1)] << 8);
}

std::int64_t TargetAt(const Bytes& rom, std::int64_t at)
{
    const std::uint32_t word = Le16At(rom, at) | Le16At(rom, at + 2) << 16;
    return static_cast<std::int64_t>(word) - 0x08000000;
}

using LayoutCase = std::tuple<GameCase, int, bool>;  // game, version byte, hack

class SampleLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// The facts the real games show, checked byte by byte rather than through the finder.
TEST_P(SampleLayoutTest, LooksLikeTheRealGames)
{
    const auto& [game, version, hack] = GetParam();
    const SampleOptions options{.version = version, .hack = hack};
    auto rom = BuildSampleRom(game.headerCode, options);
    auto tables = SampleTablesFor(game.headerCode, options);
    ASSERT_TRUE(rom && tables);
    EXPECT_EQ((*rom)[0xBC], version);
    int check = 0;
    for (std::size_t i = 0xA0; i <= 0xBD; ++i) check += (*rom)[i];
    EXPECT_EQ((check + 0x19) & 0xFF, 0) << "header checksum";
    EXPECT_EQ(tables->itemCount, game.itemCount + (hack ? kSampleHackExtraItems : 0));

    std::vector<int> unused;
    for (int position = 0; position < tables->itemCount; ++position) {
        const std::uint32_t index = Le16At(*rom, tables->itemData + std::int64_t{kItemRecordSize} * position + 14);
        if (index == 0) {
            unused.push_back(position);
        } else {
            EXPECT_EQ(index, static_cast<std::uint32_t>(position));
        }
    }
    ASSERT_EQ(unused.size(), 68U);  // record 0 and 67 unused entries
    EXPECT_EQ(std::vector<int>(unused.begin(), unused.begin() + 12),
              (std::vector<int>{0, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62}));

    const std::int64_t moveNameZero = tables->attackNames - kMoveNameSize;
    EXPECT_EQ(TargetAt(*rom, 0x148), game.hasImages ? moveNameZero : 0xFFFFFFFF - 0x08000000);
    EXPECT_EQ(TargetAt(*rom, 0x1C8), game.hasImages ? tables->itemData : 0xFFFFFFFF - 0x08000000);
    EXPECT_TRUE(PointerTargets::WordsNaming(*rom, tables->decoyTmData).empty());
    // The dead copy holds the released moves; the list a hack reads teaches other TMs.
    EXPECT_EQ(WeighTmHmList(*rom, tables->decoyTmData).releasedMatches, kTmHmEntries);
    EXPECT_EQ(std::equal(rom->begin() + tables->tmData, rom->begin() + tables->tmData + 116, rom->begin() + tables->decoyTmData),
              !options.hack);
    if (game.hasImages) {
        // The entry past the last item names two compressed streams too.
        const std::int64_t last = tables->imgData + 8 * std::int64_t{tables->itemCount};
        EXPECT_EQ((*rom)[static_cast<std::size_t>(TargetAt(*rom, last))], 0x10);
        EXPECT_EQ((*rom)[static_cast<std::size_t>(TargetAt(*rom, last + 4))], 0x10);
    }
    if (hack) {
        auto old = SampleTablesFor(game.headerCode, SampleOptions{.version = version});
        ASSERT_TRUE(old);
        for (const std::int64_t place : {std::int64_t{old->itemData}, std::int64_t{old->attackNames} - kMoveNameSize,
                                         std::int64_t{old->tmData}, std::int64_t{old->imgData}}) {
            EXPECT_TRUE(place == 0 || PointerTargets::WordsNaming(*rom, place).empty());
        }
    }
}

std::vector<LayoutCase> LayoutCases()
{
    std::vector<LayoutCase> cases;
    for (const GameCase& game : kGameCases) {
        const int versions = game.hasImages ? (game.gameCode == "BPE" ? 1 : 2) : 3;
        for (int version = 0; version < versions; ++version) {
            for (const bool hack : {false, true}) cases.emplace_back(game, version, hack);
        }
    }
    return cases;
}

std::string LayoutCaseName(const ::testing::TestParamInfo<LayoutCase>& param)
{
    const auto& [game, version, hack] = param.param;
    return std::string(game.headerCode) + "_" + std::to_string(version) + (hack ? "_hack" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryRevision, SampleLayoutTest, ::testing::ValuesIn(LayoutCases()), LayoutCaseName);

TEST(SampleLayoutTest, OptionsItCannotBuildAreRefusedWithoutWriting)
{
    SampleTables overlapping = *SampleTablesFor("BPRE");
    overlapping.tmData = overlapping.itemData + 0x100;
    SampleTables outside = *SampleTablesFor("AXVE");
    outside.itemData = 0xFFFF00;
    SampleTables imagesOnRuby = *SampleTablesFor("AXVE");
    imagesOnRuby.imgData = 0xC00000;
    const struct {
        std::string_view code;
        SampleOptions options;
        std::string_view message;
    } cases[] = {
        {"BPEE", {.version = 1}, "no revision 1 of BPEE"},
        {"BPRE", {.version = 2}, "no revision 2 of BPRE"},
        {"AXPE", {.version = 3}, "no revision 3"},
        {"BPRE", {.tables = overlapping}, "overlaps the item table"},
        {"AXVE", {.tables = outside}, "does not fit"},
        {"AXVE", {.tables = imagesOnRuby}, "no image table"},
        {"BPRE", {.romSize = 0x2000004}, "16 to 32 MiB"},
    };
    TempDir dir;
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.message);
        auto rom = BuildSampleRom(refused.code, refused.options);
        ASSERT_FALSE(rom);
        EXPECT_EQ(rom.error().code, ErrorCode::BadValue);
        EXPECT_NE(rom.error().message.find(refused.message), std::string::npos) << rom.error().message;
        const Status written = WriteSampleRom(dir / "refused.gba", refused.code, refused.options);
        EXPECT_FALSE(written);
        EXPECT_FALSE(std::filesystem::exists(dir / "refused.gba"));
    }
}

}  // namespace
}  // namespace quillbox::test
