#include "cli/Cli.h"
#include "items/record/ItemOperations.h"
#include "rom/Profile.h"
#include "support/TestFiles.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>

namespace quillbox {
namespace {

using test::ReadFile;

int RunTool(const std::vector<std::string>& arguments, std::string* out = nullptr)
{
    std::ostringstream output, errors;
    const int status = RunCli(arguments, output, errors, ProgramFolder());
    if (out != nullptr) *out = output.str() + errors.str();
    return status;
}

// On a sample where items 10 and 11 share item 10's description: a text three times its room
// is refused without a flag, copied for one item with --own-copy, moved for both with
// --relocate; show --json names the sharers, and an exported icon imports onto another item.
TEST(SpaceCli, DescriptionsMoveOnlyWhenAskedAndIconsImport)
{
    test::TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const RomState state = OpenRom(rom, test::ShippedProfile())->state;
    Bytes bytes = ReadFile(rom);
    const auto pointer = [&](int position) { return state.itemTableOffset + 44 * position + 20; };
    std::copy_n(bytes.begin() + pointer(10), 4, bytes.begin() + pointer(11));
    test::WriteFile(rom, bytes);
    const auto description = [&](int position) { return ToUtf8(ReadItem(state, position)->description); };

    std::string out;
    ASSERT_EQ(RunTool({"show", rom.string(), "10", "--json"}, &out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["descriptionSharedWith"], nlohmann::json::array({11}));
    EXPECT_FALSE(nlohmann::json::parse(out)["imageSharedWith"].empty());

    const std::string old = description(10);
    const std::string longer = old + old + old;
    EXPECT_EQ(RunTool({"set", rom.string(), "11", "description=" + longer}, &out), 3);
    EXPECT_NE(out.find("--relocate"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(rom), bytes);

    ASSERT_EQ(RunTool({"set", rom.string(), "11", "description=Mine alone", "--own-copy"}, &out), 0) << out;
    EXPECT_EQ(description(11), "Mine alone");
    EXPECT_EQ(description(10), old);

    test::WriteFile(rom, bytes);
    ASSERT_EQ(RunTool({"set", rom.string(), "11", "description=" + longer, "--relocate"}, &out), 0) << out;
    EXPECT_NE(out.find("for 2 items"), std::string::npos) << out;
    EXPECT_EQ(description(10), longer);
    EXPECT_EQ(ReadItem(state, 10)->descriptionOffset, ReadItem(state, 11)->descriptionOffset);

    const auto png = dir / "three.png";
    ASSERT_EQ(RunTool({"icon", rom.string(), "3", "-o", png.string()}), 0);
    ASSERT_EQ(RunTool({"icon-import", rom.string(), "4", png.string()}, &out), 0) << out;
    ASSERT_EQ(RunTool({"icon", rom.string(), "4", "-o", (dir / "four.png").string()}), 0);
    EXPECT_EQ(ReadFile(dir / "four.png"), ReadFile(png));
}

}  // namespace
}  // namespace quillbox
