#include "rom/GameFamily.h"

#include <gtest/gtest.h>

#include <set>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox {
namespace {

std::vector<std::string> Entries(std::span<const std::string_view> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

using Names = std::vector<std::string>;

const Names kKantoPockets{"???", "Items", "Key Items", "Poke Balls", "TM Case", "Berry Pouch"};
const Names kHoennPockets{"???", "Items", "Poke Balls", "TM/HM's", "Berries", "Key Items"};

struct FamilyRow {
    const char* gameCode;
    int itemCount;
    int lastItemIndex;
    bool hasImages;
    Names pockets;
};

void PrintTo(const FamilyRow& row, std::ostream* out) { *out << row.gameCode; }

class SupportedGame : public testing::TestWithParam<FamilyRow> {};

TEST_P(SupportedGame, HasTheRowOfItsFamily)
{
    const FamilyRow& row = GetParam();
    const GameFamily* family = FindGameFamily(row.gameCode);
    ASSERT_NE(family, nullptr);
    EXPECT_EQ(family->itemCount, row.itemCount);
    EXPECT_EQ(family->LastItemIndex(), row.lastItemIndex);
    EXPECT_EQ(family->hasImages, row.hasImages);
    EXPECT_EQ(Entries(family->pocketNames), row.pockets);
}

TEST_P(SupportedGame, AnyRegionLetterSelectsTheSameFamily)
{
    const FamilyRow& row = GetParam();
    const GameFamily* family = FindGameFamily(row.gameCode);
    for (const char* region : {"E", "J", "D", "F", "S", "I", "x"}) {
        const std::string headerCode = std::string(row.gameCode) + region;
        SCOPED_TRACE(headerCode);
        EXPECT_EQ(GameCodeOf(headerCode), row.gameCode);
        EXPECT_EQ(FindGameFamily(GameCodeOf(headerCode)), family);
    }
}

INSTANTIATE_TEST_SUITE_P(
    GameFamily, SupportedGame,
    testing::Values(FamilyRow{"BPR", 375, 374, true, kKantoPockets},
                    FamilyRow{"BPG", 375, 374, true, kKantoPockets},
                    FamilyRow{"BPE", 377, 376, true, kHoennPockets},
                    FamilyRow{"AXV", 349, 348, false, kHoennPockets},
                    FamilyRow{"AXP", 349, 348, false, kHoennPockets}),
    [](const testing::TestParamInfo<FamilyRow>& row) { return std::string(row.param.gameCode); });

TEST(GameFamily, FireRedAndLeafGreenShareOneFamily)
{
    EXPECT_EQ(FindGameFamily("BPR"), FindGameFamily("BPG"));
    EXPECT_EQ(FindGameFamily("AXV"), FindGameFamily("AXP"));
    EXPECT_NE(FindGameFamily("BPR"), FindGameFamily("BPE"));
    EXPECT_NE(FindGameFamily("BPE"), FindGameFamily("AXV"));
}

TEST(GameFamily, OtherCodesAreUnsupported)
{
    for (const char* code : {"", "B", "BP", "bpr", "Bpr", "BPr", "bpe", "axv", "BPRE", "BPR ", " BPR", "BPB",
                             "AXS", "AGB", "BPF", "XXX"}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(FindGameFamily(code), nullptr);
    }
    EXPECT_EQ(FindGameFamily(std::string_view("BPR\0", 4)), nullptr);
}

TEST(GameFamily, GameCodeIsTheFirstThreeCharacters)
{
    EXPECT_EQ(GameCodeOf("BPRE"), "BPR");
    EXPECT_EQ(GameCodeOf("BPRJ"), "BPR");
    EXPECT_EQ(GameCodeOf("AXPE"), "AXP");
    EXPECT_EQ(GameCodeOf("bpre"), "bpr");
    EXPECT_EQ(FindGameFamily(GameCodeOf("bpre")), nullptr);
    EXPECT_EQ(GameCodeOf("BP"), "BP");
    EXPECT_EQ(GameCodeOf(""), "");
}

TEST(GameFamily, EveryListedCodeFindsItsOwnFamily)
{
    std::set<std::string_view> codes;
    for (const GameFamily& family : AllGameFamilies()) {
        for (std::string_view code : family.codes) {
            codes.insert(code);
            EXPECT_EQ(FindGameFamily(code), &family) << code;
        }
    }
    EXPECT_EQ(codes, (std::set<std::string_view>{"BPR", "BPG", "BPE", "AXV", "AXP"}));
    EXPECT_EQ(AllGameFamilies().size(), 3u);
}

TEST(GameFamily, KnownHeaderCodesAreTheFiveUsGames)
{
    std::set<std::string_view> gameCodes;
    for (std::string_view headerCode : kKnownHeaderCodes) {
        ASSERT_EQ(headerCode.size(), 4u);
        EXPECT_EQ(headerCode[3], 'E') << headerCode;
        EXPECT_NE(FindGameFamily(GameCodeOf(headerCode)), nullptr) << headerCode;
        gameCodes.insert(GameCodeOf(headerCode));
    }
    EXPECT_EQ(gameCodes.size(), 5u);
}

}  // namespace
}  // namespace quillbox
