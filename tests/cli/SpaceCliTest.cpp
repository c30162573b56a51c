#include "cli/Cli.h"
#include "items/ItemOperations.h"
#include "rom/Profile.h"
#include "support/TestFiles.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace quillbox {
namespace {

using test::ReadFile;
using test::TempDir;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun RunTool(const std::vector<std::string>& arguments)
{
    std::ostringstream out, err;
    CliRun run;
    run.status = RunCli(arguments, out, err, ProgramFolder());
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A BPRE sample in which items 10 and 11 share item 10's description.
class SpaceCli : public ::testing::Test {
protected:
    SpaceCli() : rom(test::WriteSample(dir, "BPRE"))
    {
        auto opened = OpenRom(rom, test::ShippedProfile());
        if (!opened) throw std::runtime_error(opened.error().message);
        state = opened->state;
        Bytes bytes = ReadFile(rom);
        const auto entry = [&](int position) { return state.itemTableOffset + 44 * position + 20; };
        std::copy_n(bytes.begin() + entry(10), 4, bytes.begin() + entry(11));
        test::WriteFile(rom, bytes);
    }
    std::string Description(int position) const { return ToUtf8(ReadItem(state, position)->description); }
    std::int64_t DescriptionOffset(int position) const { return ReadItem(state, position)->descriptionOffset; }

    TempDir dir;
    std::filesystem::path rom;
    RomState state;
};

// Three times its room: refused as before without a flag, moved with --relocate for both items
// that share it, or copied for one item with --own-copy; only the text and pointers change.
TEST_F(SpaceCli, LongerAndSharedDescriptionsMoveOnlyWhenAsked)
{
    const std::string before10 = Description(10);
    const std::string longer = before10 + before10 + before10;
    const Bytes untouched = ReadFile(rom);
    const CliRun refused = RunTool({"set", rom.string(), "11", "description=" + longer});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--relocate"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(rom), untouched);

    const CliRun copied = RunTool({"set", rom.string(), "11", "description=Mine alone", "--own-copy"});
    ASSERT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(Description(11), "Mine alone");
    EXPECT_EQ(Description(10), before10);
    const std::int64_t copy = DescriptionOffset(11);
    EXPECT_NE(copy, DescriptionOffset(10));
    const auto changed = test::DifferingOffsets(untouched, ReadFile(rom));
    const std::int64_t pointer = state.itemTableOffset + 44 * 11 + 20;
    for (std::size_t offset : changed) {
        const auto at = static_cast<std::int64_t>(offset);
        EXPECT_TRUE((at >= copy && at < copy + 11) || (at >= pointer && at < pointer + 4)) << std::hex << at;
    }

    test::WriteFile(rom, untouched);
    const CliRun moved = RunTool({"set", rom.string(), "11", "description=" + longer, "--relocate"});
    ASSERT_EQ(moved.status, 0) << moved.err;
    EXPECT_NE(moved.out.find("for 2 items"), std::string::npos) << moved.out;
    EXPECT_EQ(Description(10), longer);
    EXPECT_EQ(Description(11), longer);
    EXPECT_EQ(DescriptionOffset(10), DescriptionOffset(11));
}

TEST_F(SpaceCli, ShowJsonListsWhoSharesTheDescriptionAndTheIcon)
{
    const auto json = nlohmann::json::parse(RunTool({"show", rom.string(), "10", "--json"}).out);
    EXPECT_EQ(json["descriptionSharedWith"], nlohmann::json::array({11}));
    std::set<int> sharing;
    const std::string image = json["imageOffset"], palette = json["paletteOffset"];
    for (int other = 0; other < 375; ++other) {
        const auto item = ReadItem(state, other);
        if (other != 10 && (item->imageOffsetText == image || item->paletteOffsetText == palette)) sharing.insert(other);
    }
    EXPECT_EQ(json["imageSharedWith"].get<std::set<int>>(), sharing);
    EXPECT_FALSE(sharing.empty());
}

TEST_F(SpaceCli, IconImportTakesAnExportedIconAndRefusesABrokenOne)
{
    const auto png = dir / "three.png";
    ASSERT_EQ(RunTool({"icon", rom.string(), "3", "-o", png.string()}).status, 0);
    const Bytes untouched = ReadFile(rom);
    const CliRun dry = RunTool({"icon-import", rom.string(), "4", png.string(), "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(ReadFile(rom), untouched);
    const CliRun imported = RunTool({"icon-import", rom.string(), "4", png.string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    ASSERT_EQ(RunTool({"icon", rom.string(), "4", "-o", (dir / "four.png").string()}).status, 0);
    EXPECT_EQ(ReadFile(dir / "four.png"), ReadFile(png));

    Bytes cut = ReadFile(png);
    cut.resize(cut.size() - 20);
    test::WriteFile(dir / "cut.png", cut);
    const Bytes before = ReadFile(rom);
    const CliRun refused = RunTool({"icon-import", rom.string(), "5", (dir / "cut.png").string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cut short"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(rom), before);
}

}  // namespace
}  // namespace quillbox
