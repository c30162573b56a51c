#include "CliRun.h"

#include "base/PathText.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>

// A path reaches the tool as its user typed it: with the system's separators (backslashes and a
// drive letter on Windows), with forward slashes, with both, or relative to the working folder.
// Every file the tool reads or makes, and every file it keeps beside the ROM, is found and made
// where that path says, under its name outside ASCII, and messages name it as it was typed.
namespace quillbox {
namespace {

using test::CliRun;
using test::ReadFile;
using test::RunTool;
using test::TempDir;

std::string Text(const std::u8string& text) { return std::string(text.begin(), text.end()); }

struct Spelling {
    const char* name;
    std::string (*spell)(const std::filesystem::path& path, const std::filesystem::path& workingFolder);
};

const Spelling kSpellings[] = {
    {"AsTheSystemWritesIt",
     [](const std::filesystem::path& path, const std::filesystem::path&) {
         return Text(std::filesystem::path(path).make_preferred().u8string());
     }},
    {"WithForwardSlashes",
     [](const std::filesystem::path& path, const std::filesystem::path&) { return Text(path.generic_u8string()); }},
    {"WithBothSeparators",
     [](const std::filesystem::path& path, const std::filesystem::path&) {
         return Text(std::filesystem::path(path.parent_path()).make_preferred().u8string()) + "/" + Text(path.filename().u8string());
     }},
    {"RelativeWithADetour",
     [](const std::filesystem::path& path, const std::filesystem::path& workingFolder) {
         return Text((std::filesystem::path("detour") / ".." / path.lexically_relative(workingFolder)).make_preferred().u8string());
     }},
};

// The working folder of the test program while it lives; the one before comes back after.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder()
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path previous_;
};

std::set<std::string> NamesIn(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(PathText(entry.path().filename()));
    return names;
}

class PathSpellingCliTest : public ::testing::TestWithParam<Spelling> {};

TEST_P(PathSpellingCliTest, FilesAreFoundAndMadeWhereThePathSays)
{
    TempDir dir;
    const WorkingFolder working(dir.Path());
    std::filesystem::create_directory(dir / "detour");
    const auto folder = dir.Path() / PathFromText("Hack Ordner \u00FC");
    std::filesystem::create_directory(folder);
    const auto rom = folder / PathFromText("My Hack \u65E5\u672C.gba");
    const auto profile = folder / PathFromText("Profil \u00E9.ini");
    const auto csv = folder / PathFromText("Liste \u00E4.csv");
    const auto png = folder / PathFromText("Bild \u00F6.png");
    const auto spelled = [&](const std::filesystem::path& path) { return GetParam().spell(path, dir.Path()); };
    const std::string romName = "My Hack \u65E5\u672C.gba";

    const CliRun made = RunTool({"sample-rom", spelled(rom)});
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(NamesIn(folder), std::set<std::string>{romName});
    const Bytes sample = ReadFile(rom);

    std::filesystem::copy_file(test::ShippedProfile(), profile);
    const CliRun info = RunTool({"--profile", spelled(profile), "info", spelled(rom)});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(info.out.contains("offsets from: section [BPRE] of the profile " + spelled(profile) + "\n")) << info.out;

    const CliRun set = RunTool({"set", spelled(rom), "3", "price=1234", "name=\u00C9lan"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / PathFromText(romName + ".quillbox-history")));
    const CliRun history = RunTool({"history", spelled(rom)});
    EXPECT_EQ(history.status, 0) << history.err;
    EXPECT_TRUE(history.out.starts_with("1\t")) << history.out;
    const CliRun undo = RunTool({"undo", spelled(rom)});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(ReadFile(rom), sample);

    const CliRun kept = RunTool({"detect", spelled(rom), "--keep"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.err, "kept for this ROM alone in " + spelled(rom) + ".quillbox-tables\n");
    const CliRun keptInfo = RunTool({"info", spelled(rom)});
    EXPECT_TRUE(keptInfo.out.contains("offsets from: the tables kept for this ROM in " + spelled(rom) + ".quillbox-tables\n"))
        << keptInfo.out << keptInfo.err;

    const CliRun exported = RunTool({"export", spelled(rom), "--format", "csv", "-o", spelled(csv)});
    EXPECT_EQ(exported.status, 0) << exported.err;
    const CliRun imported = RunTool({"import", spelled(rom), spelled(csv)});
    EXPECT_EQ(imported.out, "Nothing to change\n") << imported.err;
    const CliRun icon = RunTool({"icon", spelled(rom), "3", "-o", spelled(png)});
    EXPECT_EQ(icon.status, 0) << icon.err;
    const CliRun iconImport = RunTool({"icon-import", spelled(rom), "5", spelled(png)});
    EXPECT_EQ(iconImport.status, 0) << iconImport.err;
    EXPECT_TRUE(iconImport.out.starts_with("Icon imported at ")) << iconImport.out;

    EXPECT_EQ(NamesIn(folder), (std::set<std::string>{romName, romName + ".quillbox-history", romName + ".quillbox-tables",
                                                      "Profil \u00E9.ini", "Liste \u00E4.csv", "Bild \u00F6.png"}));
}

// Where a slash is the system's own separator, the first three spellings are one and the same.
std::vector<Spelling> DistinctSpellings()
{
    if (std::filesystem::path::preferred_separator != '/') return {std::begin(kSpellings), std::end(kSpellings)};
    return {kSpellings[0], kSpellings[3]};
}

INSTANTIATE_TEST_SUITE_P(EverySpelling, PathSpellingCliTest, ::testing::ValuesIn(DistinctSpellings()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox
