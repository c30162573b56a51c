// add-item as a script drives it: the model by position or name, the positions printed one per
// line, a dry run that writes nothing, and the same verdict on a value as set gives.
#include "CliRun.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillbox {
namespace {

using test::Q;
using test::ReadFile;
using test::RunTool;
using test::TempDir;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string NameAt(const std::string& rom, int position)
{
    for (const std::string& line : Lines(RunTool({"list", rom}).out)) {
        if (line.rfind(std::to_string(position) + "\t", 0) == 0) return line.substr(line.find('\t') + 1);
    }
    return {};
}

TEST(AddItemCli, PrintsTheNewPositionsAndTheListAndHistoryHoldThem)
{
    TempDir dir;
    const std::string rom = Q(test::WriteSample(dir, "BPRE"));
    const Bytes before = ReadFile(rom);
    const std::string model = NameAt(rom, 200);
    ASSERT_FALSE(model.empty());

    const test::CliRun dry = RunTool({"add-item", rom, "--like", model, "--count", "2", "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(ReadFile(rom), before);

    const test::CliRun added = RunTool({"add-item", rom, "--like", model, "--count", "2", "--name", "NEW GEM", "--price", "77"});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, dry.out);
    const std::vector<std::string> positions = Lines(added.out);
    ASSERT_EQ(positions.size(), 2u);
    for (const std::string& position : positions) {
        EXPECT_EQ(NameAt(rom, std::stoi(position)), "NEW GEM");
        EXPECT_NE(RunTool({"show", rom, position}).out.find("\nprice: 77\n"), std::string::npos);
    }
    EXPECT_NE(RunTool({"history", rom}).out.find("Add 2 Items of NEW GEM"), std::string::npos);
    ASSERT_EQ(RunTool({"undo", rom}).status, 0);
    EXPECT_EQ(ReadFile(rom), before);
}

// The same text for the same column gets the same words from add-item and set.
TEST(AddItemCli, RefusesAValueInTheWordsSetUses)
{
    TempDir dir;
    const std::string rom = Q(test::WriteSample(dir, "BPEE"));
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"price", "70000"}, {"price", "-1"}, {"pocket", "0x1"}, {"pocket", "Nowhere"}, {"name", "[Lv][PK]ABCDEFGHIJKL"}}) {
        SCOPED_TRACE(key + "=" + value);
        const test::CliRun set = RunTool({"set", rom, "13", key + "=" + value});
        const test::CliRun add = RunTool({"add-item", rom, "--like", "13", "--" + key, value});
        EXPECT_EQ(set.status, 3);
        EXPECT_EQ(add.status, set.status);
        EXPECT_EQ(add.err, set.err);
    }
}

// A hack built from a clean base gets its new items from an export: rows past the last item add
// them with --add, all or nothing, and are refused without it or with a gap.
TEST(AddItemCli, AnExportWithNewItemsImportsIntoACleanBaseWithAdd)
{
    TempDir dir;
    const std::string hack = Q(test::WriteSample(dir, "BPRE", "hack.gba"));
    const std::string base = Q(test::WriteSample(dir, "BPRE", "base.gba"));
    const Bytes clean = ReadFile(base);
    ASSERT_EQ(RunTool({"add-item", hack, "--like", "13", "--append", "--count", "3", "--name", "NEW"}).status, 0);
    ASSERT_EQ(RunTool({"set", hack, "376", "price=321"}).status, 0);
    for (const std::string format : {"json", "csv"}) {
        SCOPED_TRACE(format);
        const std::string file = Q(dir / ("items." + format));
        ASSERT_EQ(RunTool({"export", hack, "--format", format, "-o", file}).status, 0);
        const test::CliRun refused = RunTool({"import", base, file});
        EXPECT_EQ(refused.status, 3);
        EXPECT_EQ(ReadFile(base), clean);
        const test::CliRun dry = RunTool({"import", base, file, "--add", "--dry-run"});
        ASSERT_EQ(dry.status, 0) << dry.err;
        EXPECT_EQ(ReadFile(base), clean);
        const test::CliRun added = RunTool({"import", base, file, "--add"});
        ASSERT_EQ(added.status, 0) << added.err;
        EXPECT_NE(added.out.find("3 items added"), std::string::npos) << added.out;
        EXPECT_EQ(RunTool({"list", base}).out, RunTool({"list", hack}).out);
        // Every value alike but where the description lies: the base gives it a place of its own.
        const auto shown = [](const std::string& rom) {
            std::string kept;
            for (const std::string& line : Lines(RunTool({"show", rom, "376"}).out)) {
                if (!line.starts_with("descriptionOffset:")) kept += line + "\n";
            }
            return kept;
        };
        EXPECT_EQ(shown(base), shown(hack));
        ASSERT_EQ(RunTool({"undo", base}).status, 0);
        EXPECT_EQ(ReadFile(base), clean);
    }
    const std::string gap = Q(test::WriteTextFile(dir / "gap.csv", "position,name\n376,GAP\n"));
    EXPECT_EQ(RunTool({"import", base, gap, "--add"}).status, 3);
    EXPECT_EQ(ReadFile(base), clean);
}

}  // namespace
}  // namespace quillbox
