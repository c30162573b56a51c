#include "CliRun.h"

#include "cli/Cli.h"
#include "editor/EditorSession.h"
#include "rom/History.h"
#include "rom/Profile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace quillbox {
namespace {

using test::ReadFile;
using test::CliRun;
using test::RunTool;
using test::TempDir;

class HistoryCliTest : public ::testing::Test {
protected:
    HistoryCliTest() : rom_(test::WriteSample(dir_, "BPRE").string()), start_(ReadFile(rom_)) {}

    void Set(const std::vector<std::string>& more)
    {
        std::vector<std::string> arguments{"set", rom_};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const CliRun run = RunTool(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
    }

    TempDir dir_;
    std::string rom_;
    Bytes start_;
};

// The tool and the editing session every window shares write the same bytes for Use like and
// name it alike in the history.
TEST_F(HistoryCliTest, UseLikeIsNamedAsInTheWindow)
{
    TempDir other;
    const auto copy = test::WriteSample(other, "BPRE");
    EditorSession session;
    ASSERT_TRUE(session.Open(copy, ProfileFiles{test::ShippedProfile(), other / "none.ini"}).opened);
    ASSERT_TRUE(session.Show(30).shown);
    ASSERT_TRUE(session.UseLike(220).written);

    const CliRun run = RunTool({"use-like", rom_, "30", "220"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(rom_), ReadFile(copy));
    EXPECT_TRUE(ReadFile(rom_) != start_);
    const CliRun history = RunTool({"history", rom_});
    ASSERT_TRUE(session.History().undo);
    EXPECT_EQ(*session.History().undo, "Use Like of " + ToUtf8(session.ShownName()));
    EXPECT_NE(history.out.find('\t' + *session.History().undo + '\t'), std::string::npos) << history.out;
}

TEST_F(HistoryCliTest, SetsAreListedNewestFirstAndUndoneAndRedoneInSteps)
{
    Set({"13", "name=ELIXIR", "price=5"});
    const Bytes afterFirst = ReadFile(rom_);
    Set({"20", "price=6"});
    const Bytes afterSecond = ReadFile(rom_);

    const CliRun history = RunTool({"history", rom_});
    ASSERT_EQ(history.status, 0) << history.err;
    const std::size_t second = history.out.find("Set of ");
    const std::size_t first = history.out.find("Set of ELIXIR");
    ASSERT_NE(first, std::string::npos) << history.out;
    EXPECT_LT(second, first) << "newest first:\n" << history.out;

    // More steps than there are changes: refused before the first is taken.
    const CliRun tooMany = RunTool({"undo", rom_, "--steps", "3"});
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_NE(tooMany.err.find("only 2"), std::string::npos) << tooMany.err;
    EXPECT_EQ(ReadFile(rom_), afterSecond);

    const CliRun undo = RunTool({"undo", rom_, "--steps", "2"});
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(ReadFile(rom_), start_);
    EXPECT_NE(undo.out.find("Undone: Set of ELIXIR"), std::string::npos) << undo.out;
    const CliRun undoneHistory = RunTool({"history", rom_});
    EXPECT_NE(undoneHistory.out.find("Set of ELIXIR (undone)"), std::string::npos) << undoneHistory.out;
    ASSERT_EQ(RunTool({"redo", rom_}).status, 0);
    EXPECT_EQ(ReadFile(rom_), afterFirst);
    ASSERT_EQ(RunTool({"redo", rom_}).status, 0);
    EXPECT_EQ(ReadFile(rom_), afterSecond);
    const CliRun nothing = RunTool({"redo", rom_});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(ReadFile(rom_), afterSecond);
}

TEST_F(HistoryCliTest, NoHistoryWritesNoJournal)
{
    Set({"--no-history", "13", "price=5"});
    EXPECT_NE(ReadFile(rom_), start_);
    EXPECT_FALSE(std::filesystem::exists(HistoryPathOf(rom_)));
    const CliRun undo = RunTool({"undo", rom_});
    EXPECT_EQ(undo.status, 1);
    EXPECT_NE(undo.err.find("nothing to undo"), std::string::npos) << undo.err;
}

TEST_F(HistoryCliTest, RefusedStepsAreOneLineAndWriteNothing)
{
    Set({"13", "price=5"});
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } rows[] = {
        {{"undo", rom_, "--steps", "0"}, 2, "--steps"},
        {{"undo", rom_, "--steps", "x"}, 2, "--steps"},
        {{"undo"}, 2, "undo takes one ROM"},
        {{"history", rom_ + ".missing"}, 1, "could not be opened"},
        {{"undo", rom_ + ".missing"}, 1, "could not be opened"},
    };
    const Bytes before = ReadFile(rom_);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.front() + " " + row.message);
        const CliRun run = RunTool(row.arguments);
        EXPECT_EQ(run.status, row.status);
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(ReadFile(rom_), before);
    }
}

}  // namespace
}  // namespace quillbox
