#include "ItemTestSupport.h"

#include "rom/Profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillbox::test {
namespace {

// A kept-tables file or a profile that cannot serve the ROM is named, with what is wrong in it,
// in the refusal and in the warnings of an opening that succeeds all the same.
constexpr std::string_view kFolder = "@FOLDER";  // the file's place holds a folder
const std::string kBinary("QB\0\x01\x02\xFF garbage \x7F\x00", 16);
const std::string kForeign = "[BPRE]\nItemData=&HF00000\nAttackNames=&H2470A1\nTMData=&H45A80C\nItemCount=400\n";

struct FaultRow {
    const char* name;
    std::string kept;     // empty: none
    std::string user;     // empty: none
    std::string shipped;  // empty: the shipped profile
    std::string headerCode = "BPRE";
    bool refused = false;
    std::vector<std::string> says;  // fragments of the refusal, or of the warnings in order
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

class ProfileFault : public ::testing::TestWithParam<FaultRow> {};

TEST_P(ProfileFault, NamesTheFileAndWhatIsWrongInIt)
{
    const FaultRow& row = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, "BPRE", "rom.gba");
    Bytes bytes = ReadFile(rom);
    std::copy(row.headerCode.begin(), row.headerCode.end(), bytes.begin() + 0xAC);
    WriteFile(rom, bytes);
    const auto kept = RomTablesPathOf(rom);
    const auto user = dir / "user.ini";
    const auto shipped = row.shipped.empty() ? ShippedProfile() : dir / "shipped.ini";
    const auto place = [](const std::filesystem::path& file, const std::string& content) {
        if (content == kFolder) {
            std::filesystem::create_directory(file);
        } else if (!content.empty()) {
            WriteTextFile(file, content);
        }
    };
    place(kept, row.kept);
    place(user, row.user);
    place(shipped, row.shipped);
    const auto expand = [&](std::string text) {
        for (const auto& [mark, value] : {std::pair<std::string, std::string>{"@KEPT", kept.string()},
                                          {"@USER", user.string()}, {"@SHIPPED", shipped.string()}}) {
            for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) text.replace(at, mark.size(), value);
        }
        return text;
    };

    auto opened = OpenRom(rom, OpenOptions{{shipped, user}, std::nullopt});
    EXPECT_EQ(ReadFile(rom), bytes);
    if (row.refused) {
        ASSERT_FALSE(opened);
        for (const std::string& part : row.says) {
            EXPECT_TRUE(opened.error().message.contains(expand(part))) << opened.error().message;
        }
        return;
    }
    ASSERT_TRUE(opened) << Describe(opened);
    std::string log;
    for (const std::string& warning : opened->warnings) log += warning + "\n";
    ASSERT_EQ(opened->warnings.size(), row.says.size()) << log;
    for (std::size_t i = 0; i < row.says.size(); ++i) {
        EXPECT_TRUE(opened->warnings[i].contains(expand(row.says[i]))) << log;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileFault,
    ::testing::Values(
        FaultRow{"KeptBinary", kBinary, "", "", "BPRE", false,
                 {"the tables kept for this ROM in @KEPT is not a profile (it holds binary data, not text); "
                  "section [BPRE] of @SHIPPED is used"}},
        FaultRow{"KeptWithoutHeading", "ItemData=&H3DB028\nsome words\n", "", "", "BPRE", false,
                 {"the tables kept for this ROM in @KEPT is not a profile (it has no [section] heading)"}},
        FaultRow{"KeptIsAFolder", std::string(kFolder), "", "", "BPRE", false,
                 {"the tables kept for this ROM in @KEPT cannot be read (not a plain file)"}},
        FaultRow{"KeptForAnotherGame", "[AXVE]\nItemData=&H3C5564\n", "", "", "BPRE", false,
                 {"the tables kept for this ROM in @KEPT has no section [BPRE0] or [BPRE]"}},
        FaultRow{"KeptTablesDoNotFit", kForeign, "", "", "BPRE", false,
                 {"the tables kept for this ROM in @KEPT does not fit this ROM (ItemData F00000 holds no item table"}},
        FaultRow{"UserProfileBinary", "", kBinary, "", "BPRE", false, {"the user profile @USER is not a profile (it holds binary data"}},
        FaultRow{"UserProfileForOtherGamesOnly", "", "[AXVE]\nItemData=&H3C5564\n", "", "BPRE", false, {}},
        FaultRow{"UserProfileOfCommentsOnly", "", "; mine\n\n# nothing yet\n", "", "BPRE", false, {}},
        FaultRow{"KeptEmpty", "\n", "", "", "BPRE", false, {"the tables kept for this ROM in @KEPT has no section [BPRE0] or [BPRE]"}},
        FaultRow{"UnknownGameWithGarbageKept", kBinary, "", "", "AXVD", true,
                 {"no section [AXVD0] or [AXVD] in @SHIPPED or @USER",
                  "; the tables kept for this ROM in @KEPT is not a profile (it holds binary data, not text)"}},
        FaultRow{"ShippedProfileBinary", "", "", kBinary, "BPRE", true,
                 {"no section [BPRE0] or [BPRE] in @SHIPPED", "; the profile @SHIPPED is not a profile"}},
        FaultRow{"EverySectionFails", "", kForeign, kForeign, "BPRE", true,
                 {"(section [BPRE] of @USER)", "; section [BPRE] of @SHIPPED does not fit this ROM either (ItemData F00000"}},
        FaultRow{"KeptUnreadableAndEverySectionFails", std::string(kFolder), kForeign, kForeign, "BPRE", true,
                 {"(section [BPRE] of @USER)", "; the tables kept for this ROM in @KEPT cannot be read (not a plain file)"}}),
    [](const ::testing::TestParamInfo<FaultRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox::test
