#include "CliRun.h"

#include "base/PathText.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>

#include <windows.h>

// Windows lets a program open a file without sharing it (an emulator its ROM, a spreadsheet its
// CSV file), and never replaces a file that is open. A file held so is named in one line that
// says why, the command exits 1, and every file stays as it was; once it is let go, the same
// command goes through.
namespace quillbox {
namespace {

using test::CliRun;
using test::RunTool;
using test::TempDir;
using test::Replace;

// Another program's handle on a file, as long as it lives.
class HeldFile {
public:
    HeldFile(const std::filesystem::path& path, DWORD sharing)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Holds() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (Holds()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

struct HeldCase {
    const char* name;
    const char* held;  // the file another program holds
    DWORD sharing;     // what that program lets others do with it
    std::vector<std::string> command;  // "DIR/" stands for the folder of the files
    const char* says;  // the line after "quillbox-cli: "; HELD stands for the held file's path
    int status = 4;    // a file that cannot be read or written; an image file is refused input
};

std::map<std::string, Bytes> FilesIn(const std::filesystem::path& folder)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[PathText(entry.path().filename())] = test::ReadFile(entry.path());
    }
    return files;
}

class HeldFileCliTest : public ::testing::TestWithParam<HeldCase> {};

TEST_P(HeldFileCliTest, IsNamedAndNothingChanges)
{
    TempDir dir;
    const auto folder = dir.Path() / PathFromText("Hack \u00FC");
    std::filesystem::create_directory(folder);
    const std::string at = PathText(folder) + "\\";
    const auto run = [&](const std::vector<std::string>& command) {
        std::vector<std::string> arguments;
        for (const std::string& argument : command) arguments.push_back(Replace(argument, "DIR/", at));
        return RunTool(arguments);
    };
    ASSERT_EQ(run({"sample-rom", "DIR/hack.gba"}).status, 0);
    ASSERT_EQ(run({"set", "DIR/hack.gba", "4", "price=5"}).status, 0);
    ASSERT_EQ(run({"detect", "DIR/hack.gba", "--keep"}).status, 0);
    ASSERT_EQ(run({"icon", "DIR/hack.gba", "3", "-o", "DIR/icon.png"}).status, 0);
    ASSERT_EQ(run({"sample-rom", "DIR/other.gba", "--game", "BPEE"}).status, 0);
    test::WriteTextFile(folder / "items.csv", "what a spreadsheet shows\r\n");
    test::WriteTextFile(folder / "prices.csv", "position,price\r\n3,777\r\n");
    const auto before = FilesIn(folder);

    const HeldCase& held = GetParam();
    const auto heldPath = folder / held.held;
    HeldFile holder(heldPath, held.sharing);
    ASSERT_TRUE(holder.Holds());
    const CliRun refused = run(held.command);
    EXPECT_EQ(refused.status, held.status);
    EXPECT_EQ(refused.err, "quillbox-cli: " + Replace(held.says, "HELD", PathText(heldPath)) + "\n");
    holder.Release();
    const auto after = FilesIn(folder);
    ASSERT_EQ(after.size(), before.size()) << "no file was left beside the others";
    for (const auto& [name, bytes] : before) EXPECT_TRUE(after.contains(name) && after.at(name) == bytes) << name << " changed";

    const CliRun again = run(held.command);
    EXPECT_EQ(again.status, 0) << again.err;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFileTheToolTouches, HeldFileCliTest,
    ::testing::Values(
        HeldCase{"RomNotShared", "hack.gba", 0, {"info", "DIR/hack.gba"}, "The ROM file could not be opened: HELD is held open by another program; close it there and try again"},
        HeldCase{"RomSharedForReading", "hack.gba", FILE_SHARE_READ, {"set", "DIR/hack.gba", "3", "price=1"},
                 "The ROM file could not be written: HELD is held open by another program; close it there and try again"},
        HeldCase{"RomToUndo", "hack.gba", FILE_SHARE_READ, {"undo", "DIR/hack.gba"},
                 "The ROM file could not be written: HELD is held open by another program; close it there and try again"},
        HeldCase{"History", "hack.gba.quillbox-history", 0, {"set", "DIR/hack.gba", "3", "price=1"},
                 "The change history beside the ROM could not be written or read; nothing was changed: HELD is held open by "
                 "another program; close it there and try again; turn the history off to write without it"},
        HeldCase{"KeptTables", "hack.gba.quillbox-tables", FILE_SHARE_READ, {"detect", "DIR/hack.gba", "--keep"},
                 "could not write HELD: it is held open by another program; close it there and try again"},
        HeldCase{"ExportTarget", "items.csv", FILE_SHARE_READ, {"export", "DIR/hack.gba", "--format", "csv", "-o", "DIR/items.csv"},
                 "could not write HELD: it is held open by another program; close it there and try again"},
        HeldCase{"IconTarget", "icon.png", FILE_SHARE_READ, {"icon", "DIR/hack.gba", "3", "-o", "DIR/icon.png"},
                 "The image file is not accepted: \"HELD\" could not be written: it is held open by another program; close it "
                 "there and try again",
                 3},
        HeldCase{"SampleTarget", "other.gba", FILE_SHARE_READ, {"sample-rom", "DIR/other.gba", "--game", "BPEE"},
                 "The ROM file could not be written: HELD: it is held open by another program; close it there and try again"},
        HeldCase{"ImportFile", "prices.csv", 0, {"import", "DIR/hack.gba", "DIR/prices.csv"},
                 "could not read HELD: it is held open by another program; close it there and try again"},
        HeldCase{"IconToImport", "icon.png", 0, {"icon-import", "DIR/hack.gba", "5", "DIR/icon.png"},
                 "The image file is not accepted: \"HELD\" is held open by another program; close it there and try again", 3}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox
