#include "rom/InstallPaths.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>


namespace quillbox {
namespace {

using test::TempDir;

struct Layout {
    const char* name;
    bool beside;     // ini/roms.ini and Readme.txt next to the program
    bool installed;  // share/... under the program's prefix
    bool besideExpected;
};

class InstallPathsTest : public ::testing::TestWithParam<Layout> {};

// The program lies in <prefix>/bin; the files it ships are looked for beside it first.
TEST_P(InstallPathsTest, FindsTheShippedFilesBesideTheProgramFirst)
{
    const Layout& layout = GetParam();
    TempDir dir;
    const auto bin = dir / "bin";
    std::filesystem::create_directories(bin / "ini");
    if (layout.beside) {
        test::WriteTextFile(bin / "ini" / "roms.ini", "[BPRE]\n");
        test::WriteTextFile(bin / "Readme.txt", "beside");
    }
    const auto profile = dir.Path() / kInstalledProfile;
    const auto readme = dir.Path() / kInstalledReadme;
    if (layout.installed) {
        std::filesystem::create_directories(profile.parent_path());
        std::filesystem::create_directories(readme.parent_path());
        test::WriteTextFile(profile, "[BPRE]\n");
        test::WriteTextFile(readme, "installed");
    }
    for (const auto& folder : {bin, bin / "", dir.Path() / "bin" / "." }) {
        SCOPED_TRACE(folder.string());
        EXPECT_EQ(ShippedProfilePath(folder).lexically_normal(),
                  (layout.besideExpected ? bin / "ini" / "roms.ini" : profile).lexically_normal());
        EXPECT_EQ(ReadmePath(folder).lexically_normal(), (layout.besideExpected ? bin / "Readme.txt" : readme).lexically_normal());
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, InstallPathsTest,
                         ::testing::Values(Layout{"BuildTree", true, false, true}, Layout{"Installed", false, true, false},
                                           Layout{"BothPreferBeside", true, true, true},
                                           Layout{"NeitherNamesBeside", false, false, true}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox
