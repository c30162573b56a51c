#include "base/FileWrite.h"
#include "rom/PointerScan.h"
#include "base/PathText.h"
#include "rom/RomFile.h"
#include "platform/FileReplace.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <iterator>

// What differs between the systems lies behind src/rom/platform; every system's files pass these.
namespace quillbox {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::ptrdiff_t EntriesIn(const std::filesystem::path& folder)
{
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}

TEST(PlatformTest, AReplacementTakesTheTargetsPlace)
{
    for (const bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "over a file" : "where no file was");
        TempDir dir;
        const Bytes contents{1, 2, 3};
        WriteFile(dir / "new", contents);
        if (targetExists) WriteFile(dir / "old", Bytes(100, 9));
        EXPECT_FALSE(PutFileInPlace(dir / "new", dir / "old"));
        EXPECT_EQ(ReadFile(dir / "old"), contents);
        EXPECT_EQ(EntriesIn(dir.Path()), 1);
    }
    TempDir dir;
    WriteFile(dir / "old", Bytes(100, 9));
    EXPECT_TRUE(PutFileInPlace(dir / "missing", dir / "old"));
    EXPECT_EQ(ReadFile(dir / "old"), Bytes(100, 9));
}

TEST(PlatformTest, AFileIsWrittenWholeOrLeftAsItWas)
{
    TempDir dir;
    WriteFile(dir / "file", Bytes(50, 7));
    EXPECT_EQ(WriteFileWhole(dir / "file", std::string_view("new text")), std::nullopt);
    EXPECT_EQ(ReadFile(dir / "file"), Bytes({'n', 'e', 'w', ' ', 't', 'e', 'x', 't'}));

    std::filesystem::create_directory(dir / "folder");
    const auto failures = {WriteFileWhole(dir / "folder", std::string_view("text")),
                           WriteFileWhole(dir / "missing" / "file", std::string_view("text"))};
    for (const auto& failure : failures) {
        ASSERT_TRUE(failure);
        EXPECT_FALSE(failure->empty());
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_EQ(EntriesIn(dir.Path()), 2) << "nothing is left beside the files";
}

// Names are UTF-8 text to the core, also on Windows, whose narrow file names are another code page.
TEST(PlatformTest, NamesOutsideAsciiSurviveEveryStep)
{
    for (const std::string name : {"plain.gba", "B\u00FCcher \u00F1.gba", "\u65E5\u672C\u8A9E.gba", "game \U0001F3AE.gba"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto path = dir.Path() / PathFromText(name);
        EXPECT_EQ(PathText(path.filename()), name);
        const Bytes contents{'Q', 'B'};
        ASSERT_EQ(WriteFileWhole(path, contents), std::nullopt);
        EXPECT_EQ(ReadFile(path), contents);
        EXPECT_EQ(PathText(std::filesystem::directory_iterator(dir.Path())->path().filename()), name);
        auto missing = RomFile::Open(dir.Path() / PathFromText("missing " + name));
        ASSERT_FALSE(missing);
        EXPECT_NE(missing.error().message.find("missing " + name), std::string::npos) << missing.error().message;
    }
}

// The whole-ROM read of the scans: mapped on some systems, read on others, the same bytes on all.
TEST(PlatformTest, AWholeRomReadsAsTheFileHoldsIt)
{
    TempDir dir;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4097}, std::size_t{(1 << 20) + 3}}) {
        SCOPED_TRACE(size);
        Bytes contents(size);
        for (std::size_t i = 0; i < size; ++i) contents[i] = static_cast<Byte>(i * 7 + i / 251);
        const auto path = WriteFile(dir.Path() / PathFromText("r\u00F6m " + std::to_string(size) + ".gba"), contents);
        auto whole = ReadWholeRom(path);
        ASSERT_TRUE(whole) << whole.error().message;
        EXPECT_TRUE(std::equal(whole->View().begin(), whole->View().end(), contents.begin(), contents.end()));
    }
    auto missing = ReadWholeRom(dir / "missing.gba");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::FileNotOpened);
}

}  // namespace
}  // namespace quillbox
