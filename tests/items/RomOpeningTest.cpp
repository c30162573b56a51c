#include "ItemTestSupport.h"

#include "items/opening/TableDetection.h"
#include "base/HexText.h"
#include "rom/PointerScan.h"
#include "rom/TableFinder.h"
#include "sample/SampleRom.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillbox::test {
namespace {

// A section that names FireRed's tables except for an item table of 400 items at F00000, as a
// user kept for a hack before tables were kept per ROM: for every other FireRed it is wrong.
constexpr std::string_view kForeignSection =
    "ItemData=&HF00000\nAttackNames=&H2470A1\nTMData=&H45A80C\nIMGData=&H3D4294\nItemCount=400\n";
constexpr std::string_view kShippedKeys = "ItemData=&H3DB028\nAttackNames=&H2470A1\nIMGData=&H3D4294\n";

// The place of the sample that words name most often among those holding 58 move numbers and
// not the TM/HM list: what a finder ranking by pointers would have taken.
std::int64_t MostNamedLookAlike(const Bytes& rom, std::int64_t list)
{
    const PointerTargets pointers = ScanPointers(rom);
    std::int64_t best = -1;
    std::uint32_t most = 0;
    for (std::size_t i = 0; i < pointers.Offsets().size(); ++i) {
        const std::int64_t at = pointers.Offsets()[i];
        if (at != list && at % 2 == 0 && CountMoveNumbers(rom, at, kTmMoveCount) == kTmMoveCount &&
            pointers.Counts()[i] > most) {
            best = at;
            most = pointers.Counts()[i];
        }
    }
    return best;
}

enum class From { Shipped, User, Kept, Refused };

struct SectionRow {
    const char* name;
    std::string kept;     // the tables kept beside the ROM, empty for none
    std::string user;     // the user's profile, empty for none
    std::string shipped;  // replaces the shipped profile when not empty
    From from;
    bool tmKnown;
    std::vector<std::string> warnings;  // a fragment of each warning, in order
};

void PrintTo(const SectionRow& row, std::ostream* out) { *out << row.name; }

class SectionChoiceTest : public ::testing::TestWithParam<SectionRow> {};

// "@LOOK" in a row stands for the most-named look-alike of the sample, "@USER", "@KEPT" and
// "@SHIPPED" for the files' paths.
TEST_P(SectionChoiceTest, APassingSectionIsNeverHiddenByOneThatFails)
{
    const SectionRow& row = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, "BPRE", "rom.gba");
    const auto lookAlike = NumberToHex(static_cast<std::uint64_t>(MostNamedLookAlike(ReadFile(rom), 0x45A80C)));
    const auto user = dir / "user.ini";
    const auto shipped = row.shipped.empty() ? ShippedProfile() : dir / "shipped.ini";
    const auto kept = RomTablesPathOf(rom);
    const auto expand = [&](std::string text) {
        for (const auto& [mark, value] : {std::pair<std::string, std::string>{"@LOOK", lookAlike},
                                          {"@USER", user.string()}, {"@KEPT", kept.string()},
                                          {"@SHIPPED", shipped.string()}}) {
            for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) text.replace(at, mark.size(), value);
        }
        return text;
    };
    if (!row.kept.empty()) WriteTextFile(kept, expand(row.kept));
    if (!row.user.empty()) WriteTextFile(user, expand(row.user));
    if (!row.shipped.empty()) WriteTextFile(shipped, expand(row.shipped));

    const Bytes before = ReadFile(rom);
    auto opened = OpenRom(rom, OpenOptions{{shipped, user}, std::nullopt});
    EXPECT_EQ(ReadFile(rom), before);
    if (row.from == From::Refused) {
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, ErrorCode::TablesDisagree);
        EXPECT_TRUE(opened.error().message.contains(expand(row.warnings.front()))) << opened.error().message;
        return;
    }
    ASSERT_TRUE(opened) << Describe(opened);
    EXPECT_EQ(opened->origin.romTables, row.from == From::Kept);
    EXPECT_EQ(opened->origin.userProfile, row.from == From::User);
    EXPECT_EQ(opened->origin.file, row.from == From::Kept ? kept : row.from == From::User ? user : shipped);
    EXPECT_EQ(opened->state.itemTableOffset, 0x3DB028);
    EXPECT_EQ(opened->state.tmMovesKnown, row.tmKnown);
    std::string log;
    for (const std::string& warning : opened->warnings) log += warning + "\n";
    ASSERT_EQ(opened->warnings.size(), row.warnings.size()) << log;
    for (std::size_t i = 0; i < row.warnings.size(); ++i) {
        EXPECT_TRUE(opened->warnings[i].contains(expand(row.warnings[i]))) << log;
    }
    auto item = ReadItem(opened->state, 300);
    ASSERT_TRUE(item) << Describe(item);
    EXPECT_EQ(item->tmMove.has_value(), row.tmKnown);
    EXPECT_EQ(item->tmMoveUnknown, !row.tmKnown);
}

const std::string kForeign = "[BPRE]\n" + std::string(kForeignSection);
const std::string kFitting = "[BPRE]\n" + std::string(kShippedKeys) + "TMData=&H45A80C\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, SectionChoiceTest,
    ::testing::Values(
        SectionRow{"NothingKept", "", "", "", From::Shipped, true, {}},
        SectionRow{"UserSectionFits", "", kFitting, "", From::User, true, {}},
        SectionRow{"ForeignUserSection", "", kForeign, "", From::Shipped, true,
                   {"section [BPRE] of @USER does not fit this ROM (ItemData F00000 holds no item table of 400 "
                    "items); section [BPRE] of @SHIPPED is used"}},
        SectionRow{"ForeignRevisionSection", "", "[BPRE0]\n" + std::string(kForeignSection), "", From::Shipped, true,
                   {"section [BPRE0] of @USER does not fit this ROM"}},
        SectionRow{"UserTmListALookAlike", "", "[BPRE]\n" + std::string(kShippedKeys) + "TMData=&H@LOOK\n", "",
                   From::Shipped, true, {"TMData @LOOK holds no TM/HM move list"}},
        SectionRow{"KeptTablesFit", kFitting, kForeign, "", From::Kept, true, {}},
        SectionRow{"KeptTablesStale", kForeign, "", "", From::Shipped, true,
                   {"the tables kept for this ROM in @KEPT does not fit this ROM"}},
        SectionRow{"KeptTablesWithoutTmList", "[BPRE]\n" + std::string(kShippedKeys), "", "", From::Kept, false,
                   {"TM/HM move list is unknown"}},
        SectionRow{"OnlySectionHasALookAlike", "", "", "[BPRE]\n" + std::string(kShippedKeys) + "TMData=&H@LOOK\n",
                   From::Shipped, false, {"TMData @LOOK holds no TM/HM move list"}},
        SectionRow{"EverySectionFails", "", kForeign, kForeign, From::Refused, false, {"(section [BPRE] of @USER)"}}),
    [](const ::testing::TestParamInfo<SectionRow>& row) { return std::string(row.param.name); });

// Tables kept for a hack serve that file; the game's plain ROM beside it opens as before.
TEST(KeptTablesTest, ServeTheirRomAlone)
{
    TempDir dir;
    const auto hack = dir / "hack.gba";
    ASSERT_TRUE(WriteSampleRom(hack, "BPRE", SampleOptions{.hack = true}));
    const auto plain = WriteSample(dir, "BPRE", "plain.gba");
    auto placed = SampleTablesFor("BPRE", SampleOptions{.hack = true});
    ASSERT_TRUE(placed);
    auto detected = DetectTables(hack);
    ASSERT_TRUE(detected) << detected.error().message;
    ASSERT_TRUE(KeepFoundTables(hack, *detected));

    const ProfileFiles profiles{ShippedProfile(), dir / "user.ini"};
    auto kept = OpenRom(hack, OpenOptions{profiles, std::nullopt});
    ASSERT_TRUE(kept) << Describe(kept);
    EXPECT_TRUE(kept->origin.romTables);
    EXPECT_EQ(kept->state.itemTableOffset, placed->itemData);
    EXPECT_EQ(kept->state.ItemCount(), placed->itemCount);
    EXPECT_EQ(kept->state.tmMovesOffset, placed->tmData);
    EXPECT_TRUE(kept->warnings.empty());

    auto other = OpenRom(plain, OpenOptions{profiles, std::nullopt});
    ASSERT_TRUE(other) << Describe(other);
    EXPECT_FALSE(other->origin.romTables);
    EXPECT_EQ(other->state.itemTableOffset, 0x3DB028);
    EXPECT_EQ(other->state.ItemCount(), 375);
    EXPECT_TRUE(other->warnings.empty());
    EXPECT_FALSE(std::filesystem::exists(profiles.user));
}

}  // namespace
}  // namespace quillbox::test
