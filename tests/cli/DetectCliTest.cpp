#include "CliRun.h"

#include "cli/Cli.h"
#include "base/HexText.h"
#include "rom/Profile.h"
#include "sample/SampleRom.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quillbox {
namespace {

using test::CliRun;
using test::RunTool;
using test::TempDir;

struct DetectRow {
    std::string code;
    int version;
    bool hack;
};

void PrintTo(const DetectRow& row, std::ostream* out) { *out << row.code << row.version << (row.hack ? " hack" : ""); }

class DetectCliTest : public ::testing::TestWithParam<DetectRow> {};

// What detect prints, pasted into a profile, names the shipped offsets of every revision, and
// a hack's moved and enlarged tables.
TEST_P(DetectCliTest, PrintsAProfileSectionOfTheTablesTheGameReads)
{
    const DetectRow& row = GetParam();
    TempDir dir;
    const auto rom = dir / "sample.gba";
    std::vector<std::string> make{"sample-rom", rom.string(), "--game", row.code, "--version", std::to_string(row.version)};
    if (row.hack) make.push_back("--hack");
    const CliRun made = RunTool(make);
    ASSERT_EQ(made.status, 0) << made.err;

    const CliRun detect = RunTool({"detect", rom.string()});
    ASSERT_EQ(detect.status, 0) << detect.err;
    const auto pasted = test::WriteTextFile(dir / "pasted.ini", detect.out);
    const std::string section = row.version == 0 ? row.code : row.code + std::to_string(row.version);
    ASSERT_TRUE(detect.out.starts_with("[" + section + "]\n")) << detect.out;
    EXPECT_TRUE(detect.out.contains("\n; ItemData: ")) << detect.out;

    const auto number = [&](const std::filesystem::path& file, const std::string& name, const char* key) {
        return ParseProfileNumber(ReadProfileValue(file, name, key));
    };
    SampleOptions options;
    options.version = row.version;
    options.hack = row.hack;
    const auto placed = SampleTablesFor(row.code, options);
    ASSERT_TRUE(placed);
    if (!row.hack) {
        const auto shipped = FindProfileSection({ProfilePathFor(ProgramFolder()), {}}, row.code, row.version);
        ASSERT_TRUE(shipped);
        for (const char* key : {"ItemData", "AttackNames", "TMData", "IMGData"}) {
            EXPECT_EQ(number(pasted, section, key), number(shipped->file, shipped->name, key)) << key;
        }
        EXPECT_EQ(ReadProfileValue(pasted, section, "ItemCount"), "");
        // The item-effect table is found in every sample; LeafGreen's profile does not name it.
        EXPECT_EQ(number(pasted, section, "EffectData"), placed->effectData);
        const std::int64_t shippedEffects = number(shipped->file, shipped->name, "EffectData");
        EXPECT_TRUE(shippedEffects == placed->effectData || (shippedEffects == 0 && row.code == "BPGE")) << shippedEffects;
        const CliRun info = RunTool({"info", rom.string()});
        ASSERT_EQ(info.status, 0) << info.err;
        EXPECT_TRUE(info.out.contains("\nEffectData: " + (shippedEffects == 0 ? std::string("unknown")
                                                                                 : NumberToHex(static_cast<std::uint64_t>(shippedEffects))) + "\n"))
            << info.out;
        EXPECT_TRUE(info.out.contains("offsets from: section [" + shipped->name + "] of the profile ")) << info.out;
        EXPECT_FALSE(info.out.contains("warning:")) << info.out;
        return;
    }
    EXPECT_EQ(number(pasted, section, "ItemData"), placed->itemData);
    EXPECT_EQ(number(pasted, section, "AttackNames"), placed->attackNames);
    EXPECT_EQ(number(pasted, section, "TMData"), placed->tmData);
    EXPECT_EQ(number(pasted, section, "IMGData"), placed->imgData);
    EXPECT_EQ(number(pasted, section, "ItemCount"), placed->itemCount);
    EXPECT_EQ(number(pasted, section, "EffectData"), placed->effectData);

    // The shipped profile names the old copy: info says the game reads its items elsewhere.
    const CliRun info = RunTool({"info", rom.string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(info.out.contains("warning: the game reads its item table at")) << info.out;
    EXPECT_TRUE(info.out.contains("version: " + std::to_string(row.version) + "\n")) << info.out;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DetectCliTest,
    ::testing::Values(DetectRow{"BPRE", 0, false}, DetectRow{"BPGE", 0, false}, DetectRow{"BPEE", 0, false},
                      DetectRow{"AXVE", 0, false}, DetectRow{"AXPE", 0, false}, DetectRow{"BPRE", 1, false},
                      DetectRow{"BPGE", 1, false}, DetectRow{"AXVE", 1, false}, DetectRow{"AXVE", 2, false},
                      DetectRow{"AXPE", 1, false}, DetectRow{"AXPE", 2, false}, DetectRow{"BPRE", 1, true},
                      DetectRow{"BPEE", 0, true}, DetectRow{"AXPE", 2, true}),
    [](const ::testing::TestParamInfo<DetectRow>& row) {
        return row.param.code + std::to_string(row.param.version) + (row.param.hack ? "Hack" : "");
    });

// --detect stands in for a profile without a section for the ROM (without it the ROM is refused)
// and for a section whose item table the game no longer reads (without it, a warning).
TEST(DetectCliTest, DetectOptionOpensARomNoSectionServes)
{
    TempDir dir;
    const auto rom = dir / "sample.gba";
    ASSERT_EQ(RunTool({"sample-rom", rom.string(), "--game", "BPEE"}).status, 0);
    {
        std::fstream file(rom, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(0xAC);
        file.write("BPEX", 4);
    }
    const CliRun refused = RunTool({"list", rom.string()});
    EXPECT_NE(refused.status, 0);
    EXPECT_TRUE(refused.err.contains("no section [BPEX0] or [BPEX]")) << refused.err;
    // Tables kept beside it that hold garbage are named as passed over, with what is wrong in them.
    test::WriteTextFile(RomTablesPathOf(rom), std::string("\x01\x00\xFE garbage", 11));
    const CliRun garbage = RunTool({"info", rom.string()});
    EXPECT_NE(garbage.status, 0);
    EXPECT_TRUE(garbage.err.contains("no section [BPEX0] or [BPEX]") &&
                garbage.err.contains("the tables kept for this ROM in " + RomTablesPathOf(rom).string() +
                                     " is not a profile (it holds binary data, not text)"))
        << garbage.err;
    std::filesystem::remove(RomTablesPathOf(rom));

    const CliRun listed = RunTool({"list", rom.string(), "--detect"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 377);
    const CliRun info = RunTool({"--detect", "info", rom.string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(info.out.contains("offsets from: tables found in the ROM\n")) << info.out;

    const auto hack = dir / "hack.gba";
    ASSERT_EQ(RunTool({"sample-rom", hack.string(), "--game", "AXVE", "--hack"}).status, 0);
    const CliRun stale = RunTool({"info", hack.string()});
    ASSERT_EQ(stale.status, 0) << stale.err;
    EXPECT_TRUE(stale.out.contains("items: 349\n") && stale.out.contains("warning: the game reads its item table at A00000"))
        << stale.out;
    const CliRun found = RunTool({"info", hack.string(), "--detect"});
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_TRUE(found.out.contains("items: 374\nimages: no\nItemData: A00000\n")) << found.out;
    EXPECT_FALSE(found.out.contains("warning:")) << found.out;
}

// detect --keep keeps a hack's tables beside it; a user profile holding a section kept for
// another ROM of the game (as an older Quillbox kept them) is passed over with a warning.
TEST(DetectCliTest, KeptTablesServeOneRomAndAForeignUserSectionIsPassedOver)
{
    TempDir dir;
    const auto hack = dir / "hack.gba";
    const auto plain = dir / "plain.gba";
    ASSERT_EQ(RunTool({"sample-rom", hack.string(), "--hack"}).status, 0);
    ASSERT_EQ(RunTool({"sample-rom", plain.string()}).status, 0);
    const auto user = UserProfilePath();
    ASSERT_TRUE(user.string().starts_with(std::filesystem::temp_directory_path().string())) << user;
    test::WriteTextFile(user, "[BPRE]\nItemData=&HF00000\nAttackNames=&H2470A1\nTMData=&H45A80C\nItemCount=400\n");

    const CliRun kept = RunTool({"detect", hack.string(), "--keep"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.err, "kept for this ROM alone in " + RomTablesPathOf(hack).string() + "\n");
    const CliRun hackInfo = RunTool({"info", hack.string()});
    ASSERT_EQ(hackInfo.status, 0) << hackInfo.err;
    EXPECT_TRUE(hackInfo.out.contains("items: 400\n")) << hackInfo.out;
    EXPECT_TRUE(hackInfo.out.contains("offsets from: the tables kept for this ROM in " + RomTablesPathOf(hack).string()))
        << hackInfo.out;
    EXPECT_FALSE(hackInfo.out.contains("warning:")) << hackInfo.out;

    const CliRun plainInfo = RunTool({"info", plain.string()});
    ASSERT_EQ(plainInfo.status, 0) << plainInfo.err;
    EXPECT_TRUE(plainInfo.out.contains("items: 375\nimages: yes\nItemData: 3DB028\n")) << plainInfo.out;
    EXPECT_TRUE(plainInfo.out.contains("warning: section [BPRE] of " + user.string() + " does not fit this ROM")) << plainInfo.out;
    const Bytes before = test::ReadFile(plain);
    ASSERT_EQ(RunTool({"set", plain.string(), "5", "price=77"}).status, 0);
    const auto changed = test::DifferingOffsets(before, test::ReadFile(plain));
    EXPECT_EQ(changed, (std::vector<std::size_t>{0x3DB028 + 44 * 5 + 16, 0x3DB028 + 44 * 5 + 17}));
    std::filesystem::remove(user);
}

// Files that hold no game: one line saying why, exit status not 0, the file as it was.
TEST(DetectCliTest, RefusesFilesThatHoldNoGame)
{
    struct BadFile {
        const char* name;
        std::string bytes;
        std::string says;
    };
    const std::string header(0xC0, '\0');
    const BadFile files[] = {
        {"all zero", std::string(0x100000, '\0'), "not four printable characters"},
        {"all FF", std::string(0x100000, '\xFF'), "not four printable characters"},
        {"control character in the code", std::string(header).replace(0xAC, 4, "BP\x01E"), "not four printable"},
        {"another game", std::string(header).replace(0xAC, 4, "ZZZE"), "game code \"ZZZ\""},
        {"shorter than its header", std::string(0x80, 'A'), "no ROM header"},
    };
    for (const BadFile& file : files) {
        SCOPED_TRACE(file.name);
        TempDir dir;
        const auto rom = test::WriteTextFile(dir / "bad.gba", file.bytes);
        const CliRun detect = RunTool({"detect", rom.string()});
        EXPECT_NE(detect.status, 0);
        EXPECT_TRUE(detect.err.contains(file.says)) << detect.err;
        EXPECT_EQ(std::count(detect.err.begin(), detect.err.end(), '\n'), 1);
        const CliRun list = RunTool({"list", rom.string(), "--detect"});
        EXPECT_NE(list.status, 0);
        EXPECT_TRUE(list.err.contains(file.says)) << list.err;
        EXPECT_EQ(test::ReadFile(rom), Bytes(file.bytes.begin(), file.bytes.end()));
    }
}

}  // namespace
}  // namespace quillbox
