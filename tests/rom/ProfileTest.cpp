#include "rom/Profile.h"

#include "rom/GameFamily.h"
#include "base/PathText.h"
#include "platform/ProgramLocation.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <vector>
#include <ostream>
#include <string>

namespace quillbox {
namespace {

using test::TempDir;
using test::WriteTextFile;

struct LookupCase {
    const char* name;
    std::string contents;
    std::string section;
    std::string key;
    std::string expected;
};

void PrintTo(const LookupCase& row, std::ostream* out) { *out << row.name; }

class ProfileLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, FromText)
{
    const LookupCase& row = GetParam();
    EXPECT_EQ(ReadProfileValueFromText(row.contents, row.section, row.key), row.expected);
}

TEST_P(ProfileLookup, FromFile)
{
    const LookupCase& row = GetParam();
    TempDir dir;
    const auto path = WriteTextFile(dir / "roms.ini", row.contents);
    EXPECT_EQ(ReadProfileValue(path, row.section, row.key), row.expected);
}

TEST_P(ProfileLookup, FromFileWithWindowsLineBreaks)
{
    const LookupCase& row = GetParam();
    std::string crlf;
    for (char c : row.contents) {
        if (c == '\n') crlf.push_back('\r');
        crlf.push_back(c);
    }
    TempDir dir;
    const auto path = WriteTextFile(dir / "roms.ini", crlf);
    EXPECT_EQ(ReadProfileValue(path, row.section, row.key), row.expected);
}

const std::string kLongValue(600, 'x');

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileLookup,
    testing::Values(
        LookupCase{"PlainValue", "[BPRE]\nItemData=&H1000\n", "BPRE", "ItemData", "&H1000"},
        LookupCase{"SectionNameIgnoresCase", "[bpre]\nItemData=&H1000\n", "BPRE", "ItemData", "&H1000"},
        LookupCase{"AskedSectionIgnoresCase", "[BPRE]\nItemData=1\n", "bPrE", "ItemData", "1"},
        LookupCase{"KeyNameIgnoresCase", "[BPRE]\nITEMDATA=7\n", "BPRE", "itemdata", "7"},
        LookupCase{"FirstOfDuplicateKeysWins", "[BPRE]\nItemData=1\nitemdata=2\n", "BPRE", "ItemData", "1"},
        LookupCase{"FirstOfDuplicateSectionsWins", "[BPRE]\nItemData=1\n[bpre]\nItemData=2\n", "BPRE", "ItemData",
                   "1"},
        LookupCase{"ValueAfterTheFirstEquals", "[S]\nKey=a=b=c\n", "S", "Key", "a=b=c"},
        LookupCase{"BlanksAroundValueTrimmed", "[S]\nKey=  \t 4096 \t \n", "S", "Key", "4096"},
        LookupCase{"BlanksInsideValueKept", "[S]\nKey= & H 10 00 \n", "S", "Key", "& H 10 00"},
        LookupCase{"BlanksAroundKeyIgnored", "[S]\n  Key\t =5\n", "S", "Key", "5"},
        LookupCase{"BlanksAroundSectionLine", "  [S]  \nKey=5\n", "S", "Key", "5"},
        LookupCase{"CommentAfterSectionName", "[BPRE] ; FireRed\nKey=5\n", "BPRE", "Key", "5"},
        LookupCase{"EmptyValue", "[S]\nKey=\nKey=5\n", "S", "Key", ""},
        LookupCase{"MissingKey", "[S]\nOther=5\n", "S", "Key", ""},
        LookupCase{"MissingSection", "[T]\nKey=5\n", "S", "Key", ""},
        LookupCase{"EmptyFile", "", "S", "Key", ""},
        LookupCase{"KeyOfALaterSectionDoesNotLeak", "[S]\nOther=1\n[T]\nKey=2\n", "S", "Key", ""},
        LookupCase{"KeyBeforeAnySectionIgnored", "Key=1\n[S]\nKey=2\n", "S", "Key", "2"},
        LookupCase{"SectionFoundAfterOthers", "[A]\nKey=1\n[B]\nKey=2\n[C]\nKey=3\n", "B", "Key", "2"},
        LookupCase{"CommentLinesIgnored", "; Key=1\n[S]\n; Key=2\n;Key=3\nKey=4\n", "S", "Key", "4"},
        LookupCase{"LineWithoutEqualsIgnored", "[S]\njust words\nKey=5\n", "S", "Key", "5"},
        LookupCase{"KeyIsWholeNameNotPrefix", "[S]\nKeyData=1\nKey=2\n", "S", "Key", "2"},
        LookupCase{"SectionIsWholeNameNotPrefix", "[BPREX]\nKey=1\n[BPRE]\nKey=2\n", "BPRE", "Key", "2"},
        LookupCase{"LastLineWithoutLineBreak", "[S]\nKey=9", "S", "Key", "9"},
        LookupCase{"ValueCutTo511Characters", "[S]\nKey=" + kLongValue + "\n", "S", "Key", kLongValue.substr(0, 511)},
        LookupCase{"ValueOf511CharactersKept", "[S]\nKey=" + kLongValue.substr(0, 511) + "\n", "S", "Key",
                   kLongValue.substr(0, 511)},
        LookupCase{"CutAfterTrimming", "[S]\nKey=   " + kLongValue + "\n", "S", "Key", kLongValue.substr(0, 511)}),
    [](const testing::TestParamInfo<LookupCase>& row) { return std::string(row.param.name); });

TEST(ProfileFile, MissingFileOrFolderGivesEmptyText)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "folder.ini");
    EXPECT_EQ(ReadProfileValue(dir / "missing.ini", "BPRE", "ItemData"), "");
    EXPECT_EQ(ReadProfileValue(dir / "folder.ini", "BPRE", "ItemData"), "");
    EXPECT_EQ(ReadProfileValue({}, "BPRE", "ItemData"), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
}

TEST(ProfileFile, NonAsciiFolder)
{
    TempDir dir;
    const auto path = dir.Path() / std::u8string_view(u8"Prögram dir") / "ini" / "roms.ini";
    WriteTextFile(path, "[BPRE]\nItemData=&H1000\n");
    EXPECT_EQ(ParseProfileNumber(ReadProfileValue(path, "bpre", "itemdata")), 4096);
}

struct NumberCase {
    const char* name;
    std::string text;
    std::int64_t expected;
};

void PrintTo(const NumberCase& row, std::ostream* out) { *out << row.name; }

class ProfileNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(ProfileNumber, ReadsTheValueFormat)
{
    EXPECT_EQ(ParseProfileNumber(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileNumber,
    testing::Values(NumberCase{"Decimal", "4096", 4096},
                    NumberCase{"HexUpperPrefix", "&H1000", 4096},
                    NumberCase{"HexLowerPrefix", "&h1000", 4096},
                    NumberCase{"HexLowerDigits", "&Habcdef", 0xABCDEF},
                    NumberCase{"HexMixedDigits", "&h3dB028", 0x3DB028},
                    NumberCase{"BlanksIgnored", " & H 10 00 ", 4096},
                    NumberCase{"TabsIgnored", "\t40\t96\t", 4096},
                    NumberCase{"DecimalStopsAtLetter", "12abc", 12},
                    NumberCase{"HexStopsAtForeignCharacter", "&H1G", 1},
                    NumberCase{"HalfRoundsToEvenDown", "2.5", 2},
                    NumberCase{"HalfRoundsToEvenUp", "3.5", 4},
                    NumberCase{"HalfOfZero", "0.5", 0},
                    NumberCase{"HalfOfOne", "1.5", 2},
                    NumberCase{"HalfWithTrailingZeros", "2.500", 2},
                    NumberCase{"AboveHalfRoundsUp", "2.51", 3},
                    NumberCase{"JustAboveHalfRoundsUp", "2.5000001", 3},
                    NumberCase{"BelowHalfRoundsDown", "2.49", 2},
                    NumberCase{"BelowHalfManyDigits", "2.4999999", 2},
                    NumberCase{"FractionOnly", ".7", 1},
                    NumberCase{"ZeroXPrefixStopsAtX", "0x1000", 0},
                    NumberCase{"Empty", "", 0},
                    NumberCase{"OnlyBlanks", "   ", 0},
                    NumberCase{"NoNumber", "abc", 0},
                    NumberCase{"PrefixWithoutDigits", "&H", 0},
                    NumberCase{"PrefixWithForeignDigits", "&Hxyz", 0},
                    NumberCase{"AmpersandAlone", "&", 0},
                    NumberCase{"SixteenBitTopBitIsUnsigned", "&H8000", 32768},
                    NumberCase{"FourHexDigitsAllSet", "&HFFFF", 65535},
                    NumberCase{"ThirtyTwoBitsAllSet", "&HFFFFFFFF", 4294967295LL},
                    NumberCase{"HexLeadingZerosDoNotCount", "&H0000000001000", 4096},
                    NumberCase{"HexBeyondThirtyTwoBits", "&H100000000", 0},
                    NumberCase{"DecimalLargestThirtyTwoBit", "4294967295", 4294967295LL},
                    NumberCase{"DecimalJustBeyondThirtyTwoBits", "4294967296", 0},
                    NumberCase{"DecimalFarBeyondThirtyTwoBits", "99999999999", 0},
                    NumberCase{"DecimalBeyondSixtyFourBits", "99999999999999999999999", 0},
                    NumberCase{"RoundingPastThirtyTwoBits", "4294967295.5", 0},
                    NumberCase{"ShippedItemTable", "&H3DB028", 4042792}),
    [](const testing::TestParamInfo<NumberCase>& row) { return std::string(row.param.name); });

TEST(ProfilePath, TextFormNeverDoublesTheSeparator)
{
    const struct {
        const char* folder;
        char separator;
        const char* expected;
    } rows[] = {
        {"C:\\", '\\', "C:\\ini\\roms.ini"},
        {"C:\\Games\\Quillbox", '\\', "C:\\Games\\Quillbox\\ini\\roms.ini"},
        {"C:\\Games\\Quillbox\\", '\\', "C:\\Games\\Quillbox\\ini\\roms.ini"},
        {"/opt/q", '/', "/opt/q/ini/roms.ini"},
        {"/opt/q/", '/', "/opt/q/ini/roms.ini"},
        {"/", '/', "/ini/roms.ini"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        EXPECT_EQ(ProfilePathText(row.folder, row.separator), row.expected);
    }
}

TEST(ProfilePath, PathFormIsIniRomsIniInTheFolder)
{
    EXPECT_EQ(ProfilePathFor("/opt/q"), std::filesystem::path("/opt/q/ini/roms.ini"));
    EXPECT_EQ(ProfilePathFor("/opt/q/").lexically_normal(), std::filesystem::path("/opt/q/ini/roms.ini"));
    EXPECT_EQ(ProfilePathFor("/"), std::filesystem::path("/ini/roms.ini"));
    EXPECT_EQ(ProfilePathFor("/opt/q").filename(), "roms.ini");
    EXPECT_EQ(ProfilePathFor("/opt/q").parent_path().filename(), "ini");
}

// Whatever the program is called and wherever it lies, on every system.
TEST(ProfilePath, ProgramFolderHoldsTheRunningProgram)
{
    const std::filesystem::path program = RunningProgramFile();
    EXPECT_TRUE(program.is_absolute()) << program;
    EXPECT_TRUE(std::filesystem::is_regular_file(program)) << program;
    EXPECT_EQ(ProgramFolder(), program.parent_path());
}

struct ShippedRow {
    const char* section;
    std::int64_t itemData;
    std::int64_t attackNames;
    std::int64_t tmData;
    std::int64_t imgData;  // 0: the game has no item images and no key for them
    std::int64_t effectData;  // 0: no public listing gives the item-effect table's place
};

void PrintTo(const ShippedRow& row, std::ostream* out) { *out << row.section; }

class ShippedProfileSection : public testing::TestWithParam<ShippedRow> {};

TEST_P(ShippedProfileSection, HoldsTheTableOffsetsOfItsGame)
{
    const ShippedRow& row = GetParam();
    const auto profile = test::ShippedProfile();
    ASSERT_TRUE(std::filesystem::is_regular_file(profile)) << profile;

    EXPECT_EQ(ParseProfileNumber(ReadProfileValue(profile, row.section, "ItemData")), row.itemData);
    EXPECT_EQ(ParseProfileNumber(ReadProfileValue(profile, row.section, "AttackNames")), row.attackNames);
    EXPECT_EQ(ParseProfileNumber(ReadProfileValue(profile, row.section, "TMData")), row.tmData);
    const std::string image = ReadProfileValue(profile, row.section, "IMGData");
    if (row.imgData == 0) {
        EXPECT_EQ(image, "");
    } else {
        EXPECT_EQ(ParseProfileNumber(image), row.imgData);
    }
    const auto section = FindProfileSection({profile, {}}, std::string_view(row.section).substr(0, 4),
                                            row.section[4] == '\0' ? 0 : row.section[4] - '0');
    ASSERT_TRUE(section);
    EXPECT_EQ(section->name, row.section);
    EXPECT_EQ(ReadProfileTables(*section).effectData, row.effectData);

    const GameFamily* family = FindGameFamily(GameCodeOf(row.section));
    ASSERT_NE(family, nullptr);
    EXPECT_EQ(family->hasImages, row.imgData != 0);
}

INSTANTIATE_TEST_SUITE_P(Profile, ShippedProfileSection,
                         testing::Values(ShippedRow{"BPRE", 0x3DB028, 0x2470A1, 0x45A80C, 0x3D4294, 0x2528BC},
                                         ShippedRow{"BPGE", 0x3DAE64, 0x24707D, 0x45A22C, 0x3D40D0, 0},
                                         ShippedRow{"BPEE", 0x5839A0, 0x319789, 0x616040, 0x614410, 0x31E58C},
                                         ShippedRow{"AXVE", 0x3C5564, 0x1F832D, 0x376504, 0, 0x1FCDE4},
                                         ShippedRow{"AXPE", 0x3C55BC, 0x1F82BD, 0x376494, 0, 0x1FCD74},
                                         ShippedRow{"BPRE1", 0x3DB098, 0x247111, 0x45A86C, 0x3D4304, 0x25292C},
                                         ShippedRow{"BPGE1", 0x3DAED4, 0x2470ED, 0x45A29C, 0x3D4140, 0},
                                         ShippedRow{"AXVE1", 0x3C5580, 0x1F8345, 0x37651C, 0, 0x1FCDFC},
                                         ShippedRow{"AXVE2", 0x3C5580, 0x1F8345, 0x37651C, 0, 0x1FCDFC},
                                         ShippedRow{"AXPE1", 0x3C55DC, 0x1F82D5, 0x3764AC, 0, 0x1FCD8C},
                                         ShippedRow{"AXPE2", 0x3C55DC, 0x1F82D5, 0x3764AC, 0, 0x1FCD8C}),
                         [](const testing::TestParamInfo<ShippedRow>& row) { return std::string(row.param.section); });

TEST(ShippedProfile, CoversExactlyTheKnownHeaderCodes)
{
    const auto profile = test::ShippedProfile();
    for (std::string_view code : kKnownHeaderCodes) {
        SCOPED_TRACE(std::string(code));
        EXPECT_NE(ParseProfileNumber(ReadProfileValue(profile, code, "ItemData")), 0);
    }
    // Another release of a supported game has the family but no section of its own.
    ASSERT_NE(FindGameFamily(GameCodeOf("BPRJ")), nullptr);
    EXPECT_EQ(ReadProfileValue(profile, "BPRJ", "ItemData"), "");
    EXPECT_EQ(ParseProfileNumber(ReadProfileValue(profile, "BPRJ", "ItemData")), 0);
}

// Which section serves a ROM: the revision's before the plain code's, and for one name the
// user's profile before the shipped one.
struct PrecedenceRow {
    const char* name;
    std::string shipped;
    std::string user;
    int version;
    std::string section;  // empty: none serves the ROM
    bool fromUser;
    std::int64_t itemData;
    std::optional<std::int64_t> itemCount;
};

void PrintTo(const PrecedenceRow& row, std::ostream* out) { *out << row.name; }

class ProfilePrecedence : public testing::TestWithParam<PrecedenceRow> {};

TEST_P(ProfilePrecedence, PicksTheSectionServingTheRom)
{
    const PrecedenceRow& row = GetParam();
    TempDir dir;
    const ProfileFiles files{WriteTextFile(dir / "roms.ini", row.shipped),
                             row.user.empty() ? dir / "none.ini" : WriteTextFile(dir / "user.ini", row.user)};
    const auto section = FindProfileSection(files, "BPRE", row.version);
    if (row.section.empty()) {
        EXPECT_FALSE(section);
        return;
    }
    ASSERT_TRUE(section);
    EXPECT_EQ(section->name, row.section);
    EXPECT_EQ(section->userProfile, row.fromUser);
    EXPECT_EQ(section->file, row.fromUser ? files.user : files.shipped);
    const ProfileTables tables = ReadProfileTables(*section);
    EXPECT_EQ(tables.itemData, row.itemData);
    EXPECT_EQ(tables.itemCount, row.itemCount);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfilePrecedence,
    testing::Values(
        PrecedenceRow{"PlainServesEveryVersion", "[BPRE]\nItemData=1\n", "", 3, "BPRE", false, 1, {}},
        PrecedenceRow{"RevisionBeforePlain", "[BPRE]\nItemData=1\n[BPRE1]\nItemData=2\n", "", 1, "BPRE1", false, 2, {}},
        PrecedenceRow{"OtherRevisionTakesPlain", "[BPRE]\nItemData=1\n[BPRE1]\nItemData=2\n", "", 0, "BPRE", false, 1, {}},
        PrecedenceRow{"RevisionNameIgnoresCase", "[bpre1]\nItemData=2\n", "", 1, "BPRE1", false, 2, {}},
        PrecedenceRow{"UserWinsForTheSameName", "[BPRE]\nItemData=1\n", "[BPRE]\nItemData=5\nItemCount=400\n", 0,
                      "BPRE", true, 5, 400},
        PrecedenceRow{"ShippedRevisionBeforeUserPlain", "[BPRE1]\nItemData=2\n", "[BPRE]\nItemData=5\n", 1, "BPRE1",
                      false, 2, {}},
        PrecedenceRow{"UserRevisionBeforeShippedPlain", "[BPRE]\nItemData=1\n", "[BPRE1]\nItemData=6\n", 1, "BPRE1",
                      true, 6, {}},
        PrecedenceRow{"ItemCountZeroIsKeptForRefusal", "[BPRE]\nItemData=1\nItemCount=0\n", "", 0, "BPRE", false, 1, 0},
        PrecedenceRow{"NoSectionAnywhere", "[BPGE]\nItemData=1\n", "[AXVE]\nItemData=1\n", 0, "", false, 0, {}}),
    [](const testing::TestParamInfo<PrecedenceRow>& row) { return std::string(row.param.name); });

// Keeping found tables replaces the one section and nothing else, in whatever case it was written.
TEST(ProfileWrite, ReplacesOneSectionAndKeepsTheRest)
{
    const std::vector<std::string> lines{"ItemData=&H100", "ItemCount=400"};
    const std::string before = "; mine\n[AXVE]\nItemData=1\n\n[bpre1]\nItemData=2\nTMData=3\n[BPEE]\nItemData=4";
    const std::string after = ReplaceProfileSection(before, "BPRE1", lines);
    EXPECT_EQ(after, "; mine\n[AXVE]\nItemData=1\n\n[BPRE1]\nItemData=&H100\nItemCount=400\n[BPEE]\nItemData=4\n");
    EXPECT_EQ(ReplaceProfileSection("", "BPRE", lines), "[BPRE]\nItemData=&H100\nItemCount=400\n");

    TempDir dir;
    const auto file = dir / "config" / "quillbox" / "roms.ini";
    ASSERT_TRUE(WriteProfileSection(file, "BPRE1", lines));
    ASSERT_TRUE(WriteProfileSection(file, "AXVE", std::vector<std::string>{"ItemData=7"}));
    ASSERT_TRUE(WriteProfileSection(file, "BPRE1", std::vector<std::string>{"ItemData=8"}));
    EXPECT_EQ(ReadProfileValue(file, "BPRE1", "ItemData"), "8");
    EXPECT_EQ(ReadProfileValue(file, "BPRE1", "ItemCount"), "");
    EXPECT_EQ(ReadProfileValue(file, "AXVE", "ItemData"), "7");
    // Nothing but the profile is left in its folder: the file it was written to first took its place.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);

    // A profile that cannot be written is named as such, not as the ROM.
    const auto notAFolder = dir / "config" / "quillbox" / "roms.ini" / "roms.ini";
    const auto failed = WriteProfileSection(notAFolder, "BPRE", lines);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().code, ErrorCode::FileWrite);
    EXPECT_EQ(failed.error().message.rfind("could not write " + PathText(file), 0), 0u) << failed.error().message;
    EXPECT_EQ(ReadProfileValue(file, "BPRE1", "ItemData"), "8");
}

}  // namespace
}  // namespace quillbox
