#include "CliRun.h"

#include "cli/Cli.h"
#include "image/Png.h"
#include "items/record/ItemOperations.h"
#include "base/PathText.h"
#include "rom/Profile.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"
#include "text/GameText.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace quillbox {
namespace {

using test::ReadFile;
using test::Q;
using test::Replace;
using test::CliRun;
using test::RunTool;
using test::TempDir;

using Args = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

class CliTest : public ::testing::TestWithParam<std::string> {
protected:
    TempDir dir;
};

TEST_P(CliTest, InfoListAndMovesDescribeTheRom)
{
    const auto rom = test::WriteSample(dir, GetParam());
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);

    const CliRun info = RunTool({"info", Q(rom)});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(Contains(info.out, "headerCode: " + GetParam()));
    EXPECT_TRUE(Contains(info.out, "items: " + std::to_string(opened->family->itemCount) + "\n"));

    const CliRun list = RunTool({"list", Q(rom)});
    ASSERT_EQ(list.status, 0);
    const auto lines = Lines(list.out);
    ASSERT_EQ(std::ssize(lines), opened->family->itemCount);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], std::to_string(i) + '\t' + ToUtf8(opened->itemNames[i]));
    }

    const CliRun moves = RunTool({"moves", Q(rom)});
    const auto moveLines = Lines(moves.out);
    ASSERT_EQ(moveLines.size(), 354u);
    EXPECT_TRUE(moveLines.front().starts_with("1\t"));
    EXPECT_TRUE(moveLines.back().starts_with("354\t"));
}

TEST_P(CliTest, ShowJsonMatchesWhatTheCoreReads)
{
    const auto rom = test::WriteSample(dir, GetParam());
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);
    for (int position : {0, 3, 290, 346, 347}) {
        const auto item = ReadItem(opened->state, position);
        ASSERT_TRUE(item);
        const CliRun show = RunTool({"show", Q(rom), std::to_string(position), "--json"});
        ASSERT_EQ(show.status, 0) << show.err;
        const auto json = nlohmann::json::parse(show.out);
        EXPECT_EQ(json["price"].get<int>(), item->price);
        EXPECT_EQ(FromUtf8(json["name"].get<std::string>()), item->name);
        EXPECT_EQ(json["descriptionOffset"].get<std::string>(), item->descriptionOffsetText);
        EXPECT_FALSE(Contains(json["description"].get<std::string>(), "\r"));
        EXPECT_EQ(json["descriptionRoom"].get<int>(), item->descriptionRoom);
        EXPECT_EQ(json["tmMove"].is_null(), position < 289 || position > 346);
        EXPECT_EQ(json["imageOffset"].is_null(), !opened->family->hasImages);
        EXPECT_FALSE(json["pocketName"].is_null());
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGame, CliTest, ::testing::Values("BPRE", "BPGE", "BPEE", "AXVE", "AXPE"));

TEST(CliExport, JsonAndCsvHoldEveryItemInOrder)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPEE");
    const auto jsonFile = dir / "items.json";
    const auto csvFile = dir / "items.csv";
    ASSERT_EQ(RunTool({"export", Q(rom), "-o", Q(jsonFile)}).status, 0);
    ASSERT_EQ(RunTool({"--format", "csv", "export", Q(rom), "--output", Q(csvFile)}).status, 0);
    const Bytes jsonBytes = ReadFile(jsonFile);
    const auto items = nlohmann::json::parse(jsonBytes.begin(), jsonBytes.end());
    ASSERT_EQ(items.size(), 377u);
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i]["position"].get<std::size_t>(), i);

    const Bytes csvBytes = ReadFile(csvFile);
    const std::string text(csvBytes.begin(), csvBytes.end());
    EXPECT_TRUE(text.starts_with("position,name,index,price,"));
    // Descriptions hold line breaks, so rows are told apart by the quoted fields, not by lines.
    EXPECT_TRUE(Contains(text, "\"A ????????") || Contains(text, "\n0,"));
    EXPECT_TRUE(Contains(text, "\n376,"));

    // Printed, an export is written a part at a time as it is made: the same text as the file.
    EXPECT_EQ(RunTool({"export", Q(rom)}).out, std::string(jsonBytes.begin(), jsonBytes.end()));
    EXPECT_EQ(RunTool({"export", Q(rom), "--format", "csv"}).out, text);
}

TEST(CliIcon, WritesTheIconScaledAndRefusesGamesWithoutIcons)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const auto png = dir / "icon.png";
    const CliRun run = RunTool({"icon", Q(rom), "7", "-o", Q(png), "--scale", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto image = ReadPng(png);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 72);
    ASSERT_EQ(image->height, 72);
    EXPECT_EQ(image->At(0, 0) >> 24, 0u);
    EXPECT_EQ(image->At(36, 36) >> 24, 255u);

    const auto ruby = test::WriteSample(dir, "AXVE", "ruby.gba");
    const CliRun refused = RunTool({"icon", Q(ruby), "7", "-o", Q(dir / "r.png")});
    EXPECT_EQ(refused.status, 3);
    EXPECT_TRUE(Contains(refused.err, "no item images"));
}

TEST(CliSet, WritesOnlyTheNamedFields)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);
    const Bytes before = ReadFile(rom);
    const CliRun run = RunTool({"set", Q(rom), "10", "price=40000", "pocket=2", "fieldUsageCodePointer=A1B2D"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t entry = static_cast<std::size_t>(opened->state.itemTableOffset) + 44 * 10;
    const std::vector<std::size_t> expected{entry + 16, entry + 17, entry + 26, entry + 28, entry + 29, entry + 30, entry + 31};
    const Bytes after = ReadFile(rom);
    auto changed = test::DifferingOffsets(before, after);
    // Only bytes whose value really changed show up; each of them must be one the command named.
    for (std::size_t offset : changed) {
        EXPECT_NE(std::find(expected.begin(), expected.end(), offset), expected.end()) << offset;
    }
    EXPECT_EQ(after[entry + 16], 0x40);
    EXPECT_EQ(after[entry + 17], 0x9C);
    EXPECT_EQ(after[entry + 26], 2);
    EXPECT_EQ(after[entry + 28], 0x2D);
    EXPECT_EQ(after[entry + 29], 0x1B);
    EXPECT_EQ(after[entry + 30], 0x0A);
    EXPECT_EQ(after[entry + 31], 0x08);  // the pointer is written whole, a routine in the ROM
}

// use-like 13 85 on every sample, ESCAPE ROPE's battle routine first made null as the games have
// it: POTION takes both pointers whole, the battle usage, type and secondary id, and no other byte
// of the file changes; show then says POTION has no battle routine, and undo takes it all back.
TEST(CliUseLike, CopiesWholePointersAndNothingElse)
{
    for (const char* code : {"BPRE", "BPGE", "BPEE", "AXVE", "AXPE"}) {
        SCOPED_TRACE(code);
        TempDir dir;
        const auto rom = test::WriteSample(dir, code);
        const auto opened = OpenRom(rom, test::ShippedProfile());
        ASSERT_TRUE(opened);
        const CliRun nullBattle = RunTool({"set", Q(rom), "85", "battleUsage=0", "battleUsageCodePointer=000000"});
        ASSERT_EQ(nullBattle.status, 0) << nullBattle.err;
        const Bytes before = ReadFile(rom);
        const CliRun run = RunTool({"use-like", Q(rom), "13", "85"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "Item Changed\n");
        const Bytes after = ReadFile(rom);
        const auto entry = static_cast<std::size_t>(opened->state.itemTableOffset) + 44 * 13;
        const auto model = static_cast<std::size_t>(opened->state.itemTableOffset) + 44 * 85;
        for (std::size_t k : {27, 28, 29, 30, 31, 32, 36, 37, 38, 39, 40}) {
            EXPECT_EQ(after[entry + k], before[model + k]) << "record byte " << k;
        }
        for (std::size_t offset : test::DifferingOffsets(before, after)) {
            EXPECT_TRUE(offset >= entry + 27 && offset <= entry + 40 && offset != entry + 33 && offset != entry + 34 &&
                        offset != entry + 35)
                << offset;
        }
        EXPECT_EQ(after[entry + 39], 0x00);
        const CliRun show = RunTool({"show", Q(rom), "13"});
        EXPECT_NE(show.out.find("battleRoutineUsers: no routine\n"), std::string::npos) << show.out;
        ASSERT_EQ(RunTool({"undo", Q(rom)}).status, 0);
        EXPECT_EQ(ReadFile(rom), before);
    }
}

TEST(CliSet, RepointsTheDescriptionAndWritesTheNewTextThere)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "AXPE");
    const CliRun run = RunTool({"set", Q(rom), "4", "descriptionOffset=A00000", "description=Two\nlines"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes after = ReadFile(rom);
    const Bytes expected{0xCE, 0xEB, 0xE3, 0xFE, 0xE0, 0xDD, 0xE2, 0xD9, 0xE7, 0xFF};
    EXPECT_EQ(Bytes(after.begin() + 0xA00000, after.begin() + 0xA00000 + 10), expected);
    const CliRun show = RunTool({"show", Q(rom), "4", "--json"});
    const auto json = nlohmann::json::parse(show.out);
    EXPECT_EQ(json["description"], "Two\nlines");
    EXPECT_EQ(json["descriptionOffset"], "A00000");
}

TEST(CliImport, DryRunPrintsWhatTheRunWritesAndDiffFindsIt)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPGE");
    const auto copy = dir / "copy.gba";
    std::filesystem::copy_file(rom, copy);
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);
    const auto item = ReadItem(opened->state, 3);
    ASSERT_TRUE(item);
    const auto batch = test::WriteTextFile(dir / "batch.csv", "position,price,name\r\n3,999," + ToUtf8(item->name) + "\r\n");
    const std::string change = "3 price: " + std::to_string(item->price) + " -> 999\n";
    const Bytes before = ReadFile(rom);

    const CliRun dry = RunTool({"import", Q(rom), Q(batch), "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, change + "1 change to 1 item; nothing written (dry run)\n");
    EXPECT_EQ(ReadFile(rom), before);

    const CliRun run = RunTool({"--format", "csv", "import", Q(rom), Q(batch)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, change + "1 change to 1 item written\n");
    EXPECT_EQ(RunTool({"diff", Q(copy), Q(rom)}).out, change);
    EXPECT_EQ(RunTool({"import", Q(rom), Q(batch)}).out, "Nothing to change\n");

    const auto bad = test::WriteTextFile(dir / "bad.json", R"([{"position": 3, "price": 1}, {"position": 3}])");
    const Bytes after = ReadFile(rom);
    const CliRun refused = RunTool({"import", Q(rom), Q(bad)});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.err, "quillbox-cli: The import file is not accepted: row 2, column position: position 3 is also in row 1\n");
    EXPECT_EQ(ReadFile(rom), after);
}

struct UnknownCharacterRun {
    const char* name;
    Args arguments;  // "ROM" stands for the sample ROM, "FILE" for the import file
    std::string file;
    int status;
    std::string printed;    // the whole error line on failure, part of the output on success
    std::string nameAfter;  // the name item 3 shows afterwards; empty when nothing may be written
};

class CliUnknownCharacters : public ::testing::TestWithParam<UnknownCharacterRun> {};

TEST_P(CliUnknownCharacters, AreRefusedUnlessReplacementIsAskedFor)
{
    const UnknownCharacterRun& row = GetParam();
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const auto file = test::WriteTextFile(dir / (row.file.starts_with("[") ? "batch.json" : "batch.csv"), row.file);
    const Bytes before = ReadFile(rom);
    Args arguments = row.arguments;
    for (std::string& argument : arguments) argument = Replace(Replace(argument, "ROM", Q(rom)), "FILE", Q(file));
    const CliRun run = RunTool(arguments);
    EXPECT_EQ(run.status, row.status) << run.err;
    if (row.status != 0) {
        EXPECT_EQ(run.err, row.printed);
    } else {
        EXPECT_TRUE(Contains(run.out, row.printed)) << run.out;
    }
    if (row.nameAfter.empty()) {
        EXPECT_EQ(ReadFile(rom), before);
    } else {
        EXPECT_EQ(nlohmann::json::parse(RunTool({"show", Q(rom), "3", "--json"}).out)["name"], row.nameAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliUnknownCharacters,
    ::testing::Values(
        UnknownCharacterRun{"SetRefused", {"set", "ROM", "3", "name=Potion; x", "price=5"}, "", 3,
                            "quillbox-cli: The text holds characters this game cannot show: \";\" in the name would be saved "
                            "as spaces; --replace-unknown writes them as spaces\n",
                            ""},
        UnknownCharacterRun{"SetReplacing", {"set", "ROM", "3", "name=Potion; x", "--replace-unknown"}, "", 0, "Item Changed\n",
                            "Potion  x"},
        UnknownCharacterRun{"ImportDryRunRefused", {"import", "ROM", "FILE", "--dry-run"},
                            "position,price,description\n3,5,\"Tab\there\"\n", 3,
                            "quillbox-cli: row 1 (position 3), column description: The text holds characters this game "
                            "cannot show: U+0009 in the description would be saved as spaces; --replace-unknown writes "
                            "them as spaces\n",
                            ""},
        UnknownCharacterRun{"ImportReplacing", {"import", "ROM", "FILE", "--replace-unknown"},
                            R"([{"position": 3, "name": "Mega*Tonic"}])", 0, "1 change to 1 item written\n", "Mega Tonic"}),
    [](const auto& row) { return std::string(row.param.name); });

struct BadCommand {
    const char* name;
    Args arguments;  // "ROM" stands for the sample ROM's path, "DIR" for its folder
    int status;
    const char* fragment;
};

class CliBadInput : public ::testing::TestWithParam<BadCommand> {};

TEST_P(CliBadInput, FailsWithAClearLineAndLeavesTheRomAlone)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const Bytes before = ReadFile(rom);
    Args arguments = GetParam().arguments;
    for (std::string& argument : arguments) argument = Replace(Replace(argument, "ROM", Q(rom)), "DIR", Q(dir.Path()));
    const CliRun run = RunTool(arguments);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_TRUE(Contains(run.err, GetParam().fragment)) << run.err;
    EXPECT_EQ(ReadFile(rom), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliBadInput,
    ::testing::Values(
        BadCommand{"NoCommand", {}, 2, "Usage"},
        BadCommand{"UnknownCommand", {"frobnicate", "ROM"}, 2, "unknown command"},
        BadCommand{"UnknownOption", {"info", "ROM", "--nope"}, 2, "nope"},
        BadCommand{"UnknownKey", {"set", "ROM", "1", "colour=3"}, 2, "KEY=VALUE"},
        BadCommand{"PositionOutOfRange", {"show", "ROM", "375"}, 3, "no item at position"},
        BadCommand{"NameTooLong", {"set", "ROM", "1", "name=ABCDEFGHIJKLMN"}, 3, "14-byte"},
        BadCommand{"DescriptionTooLong", {"set", "ROM", "1", "description=" + std::string(300, 'x')}, 3, "more than"},
        BadCommand{"PriceTooLarge", {"set", "ROM", "1", "price=65536"}, 3, "0 to 65535"},
        BadCommand{"PocketPastList", {"set", "ROM", "1", "pocket=6"}, 3, "0 to 5"},
        BadCommand{"NonHexPointer", {"set", "ROM", "1", "price=5", "battleUsageCodePointer=12G"}, 3, "hexadecimal"},
        BadCommand{"DescriptionRepointPastEnd", {"set", "ROM", "1", "price=5", "descriptionOffset=1000000"}, 3, "past the end"},
        BadCommand{"ImageRepointPastEnd", {"set", "ROM", "1", "price=5", "imageOffset=FFFFFF", "paletteOffset=1000000"}, 3, "at most 6"},
        BadCommand{"TmMoveOnOrdinaryItem", {"set", "ROM", "1", "price=5", "tmMove=3"}, 3, "289 to 346"},
        BadCommand{"FolderAsRom", {"info", "DIR"}, 4, "folder"},
        BadCommand{"MissingProfile", {"--profile", "DIR/none.ini", "list", "ROM"}, 3, "Unsupported ROM or no ROM opened!"},
        BadCommand{"ImportWithoutFile", {"import", "ROM"}, 2, "import takes a ROM and a file"},
        BadCommand{"ImportMissingFile", {"import", "ROM", "DIR/none.json"}, 4, "could not read"},
        BadCommand{"DiffWithAFolder", {"diff", "ROM", "DIR"}, 4, "folder"},
        BadCommand{"UnknownSampleGame", {"sample-rom", "DIR/x.gba", "--game", "ZZZZ"}, 3, "no sample"}),
    [](const auto& row) { return std::string(row.param.name); });

struct OptionSpelling {
    const char* name;
    Args arguments;  // "ROM" and "DIR" as above
    int status;
    const char* fragment;  // in the output on success, in the error otherwise
};

class CliOptionSpelling : public ::testing::TestWithParam<OptionSpelling> {};

// Options are long whether written with one dash or two, take their value after "=" or as the
// next argument whatever it looks like, and stop at "--".
TEST_P(CliOptionSpelling, ReadsOptionsAsTheToolAlwaysHas)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "AXVE");
    Args arguments = GetParam().arguments;
    for (std::string& argument : arguments) argument = Replace(Replace(argument, "ROM", Q(rom)), "DIR", Q(dir.Path()));
    const CliRun run = RunTool(arguments);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_TRUE(Contains(run.status == 0 ? run.out : run.err, GetParam().fragment)) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliOptionSpelling,
    ::testing::Values(
        OptionSpelling{"ValueAfterEquals", {"export", "ROM", "--format=csv"}, 0, "position,name,index"},
        OptionSpelling{"OneDashLongOption", {"-format", "csv", "export", "ROM"}, 0, "position,name,index"},
        OptionSpelling{"LastValueWins", {"export", "ROM", "--format", "xml", "--format", "csv"}, 0, "position,name,index"},
        OptionSpelling{"ValueThatLooksLikeAnOption", {"--profile", "--json", "info", "ROM"}, 3, "Unsupported ROM"},
        OptionSpelling{"FlagAfterTheArguments", {"show", "ROM", "5", "--json"}, 0, "\"position\": 5"},
        OptionSpelling{"DoubleDashEndsOptions", {"show", "ROM", "--", "--json"}, 3, "no item at position \"--json\""},
        OptionSpelling{"MissingValue", {"info", "ROM", "--profile"}, 2, "Missing value after '--profile'."},
        OptionSpelling{"ValueForAFlag", {"show", "ROM", "5", "--json=yes"}, 2, "Unexpected value after '--json'."},
        OptionSpelling{"SeveralUnknownOptions", {"info", "ROM", "-x", "--why"}, 2, "Unknown options: x, why."},
        OptionSpelling{"Help", {"list", "-h"}, 0, "Usage: quillbox-cli"}),
    [](const auto& row) { return std::string(row.param.name); });

// The built program, started as a shell would start it: its arguments reach it whole, a file
// name outside ASCII included, and it exits with the documented status.
TEST(CliProgram, TheBuiltToolExitsWithTheDocumentedStatus)
{
    TempDir dir;
    const auto tool = ProgramFolder() / QUILLBOX_CLI_FILE_NAME;
    const auto rom = dir.Path() / PathFromText("made by the tool \u00FC\u65E5.gba");
    EXPECT_EQ(test::RunProgram(tool, {"sample-rom", Q(rom), "--game", "AXVE"}), 0);
    ASSERT_TRUE(std::filesystem::exists(rom));
    EXPECT_EQ(std::filesystem::file_size(rom), 16u * 1024 * 1024);
    EXPECT_EQ(test::RunProgram(tool, {"show", Q(rom), "999"}), 3);
}

}  // namespace
}  // namespace quillbox
