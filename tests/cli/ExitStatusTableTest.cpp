// One table of failures, one row per kind: each must exit with the status of its kind, say the
// same sentence with and without --json, give scripts its code, field and offending value, and
// leave the ROM as the row says (as it was, unless a step was taken before the failure).
#include "CliRun.h"

#include "base/Error.h"
#include "items/exchange/ItemColumns.h"
#include "rom/Profile.h"
#include "support/RomBuilder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <optional>

namespace quillbox {
namespace {

using test::Q;
using test::ReadFile;
using test::RunTool;
using test::TempDir;

// What a row runs, and what the ROM must hold afterwards.
struct Scene {
    std::vector<std::string> arguments;
    std::filesystem::path rom;
    Bytes expected;
};

struct Failure {
    const char* name;
    std::function<Scene(const TempDir&)> make;
    int status;
    std::optional<std::string> code;  // null for the tool's own usage messages
    std::optional<std::string> field;
    std::optional<std::string> found;
    bool fileUnchanged = true;
};

void PrintTo(const Failure& row, std::ostream* out) { *out << row.name; }

// A sample ROM and the command run on it; "ROM" in the arguments stands for its path.
std::function<Scene(const TempDir&)> OnSample(std::vector<std::string> arguments)
{
    return [arguments](const TempDir& dir) {
        Scene scene{arguments, test::WriteSample(dir, "BPRE"), {}};
        for (std::string& argument : scene.arguments) argument = test::Replace(argument, "ROM", Q(scene.rom));
        scene.expected = ReadFile(scene.rom);
        return scene;
    };
}

void RunOrFail(const std::vector<std::string>& arguments)
{
    const test::CliRun run = RunTool(arguments);
    ASSERT_EQ(run.status, 0) << run.err;
}

// Another program changes a byte that the oldest of two changes wrote (or, with `newest`, the
// newest); two undos are asked for. A refused first step leaves the file as it was, a refused
// second one leaves the first taken.
Scene ChangedBehindOurBack(const TempDir& dir, bool newest)
{
    const auto rom = test::WriteSample(dir, "BPRE");
    const Bytes start = ReadFile(rom);
    RunOrFail({"set", Q(rom), "13", "price=5"});
    Bytes afterFirst = ReadFile(rom);
    RunOrFail({"set", Q(rom), "20", "price=6"});
    Bytes changed = ReadFile(rom);
    const std::size_t at = newest ? test::DifferingOffsets(afterFirst, changed).front() : test::DifferingOffsets(start, afterFirst).front();
    changed[at] ^= 0x40;
    afterFirst[at] ^= 0x40;
    test::WriteFile(rom, changed);
    return {{"undo", Q(rom), "--steps", "2"}, rom, newest ? changed : afterFirst};
}

std::vector<Failure> Rows()
{
    return {
        {"UnknownOption", OnSample({"list", "ROM", "--bogus"}), 2, {}, {}, {}},
        {"NotKeyValue", OnSample({"set", "ROM", "1", "price"}), 2, {}, {}, {}},
        {"UnknownCommand", OnSample({"frobnicate", "ROM"}), 2, {}, {}, {}},
        {"ValueTheGameDoesNotKnow", OnSample({"set", "ROM", "1", "pocket=9"}), 3, "BadValue", "pocket", "9"},
        {"NoItemAtPosition", OnSample({"icon", "ROM", "9999", "-o", "ROM.png"}), 3, "NoSuchItem", {}, "9999"},
        {"SetOnNoItem", OnSample({"set", "ROM", "9999", "price=1"}), 3, "NoSuchItem", {}, "9999"},
        {"ShowNoItem", OnSample({"show", "ROM", "x1"}), 3, "NoSuchItem", {}, "x1"},
        {"DescriptionTooLong", OnSample({"set", "ROM", "1", "description=" + std::string(400, 'A')}), 3, "DescriptionTooLong", "description", {}},
        {"NothingToUndo", OnSample({"undo", "ROM"}), 3, "NothingToUndo", {}, {}},
        {"AddItemWithoutModel", OnSample({"add-item", "ROM"}), 2, {}, {}, {}},
        {"AddItemNoIdForTheRole", OnSample({"add-item", "ROM", "--like", "300"}), 3, "NoItemId", "id", {}},
        {"AddItemPriceOutOfRange", OnSample({"add-item", "ROM", "--like", "13", "--price", "65536"}), 3, "BadValue", "price", {}},
        {"AddItemModelUnknown", OnSample({"add-item", "ROM", "--like", "NO SUCH ITEM"}), 3, "NoSuchItem", {}, "NO SUCH ITEM"},
        {"GameNotSupported",
         [](const TempDir& dir) {
             Scene scene = OnSample({"list", "ROM"})(dir);
             Bytes bytes = ReadFile(scene.rom);
             std::copy_n("ZZZE", 4, bytes.begin() + 0xAC);
             test::WriteFile(scene.rom, bytes);
             scene.expected = bytes;
             return scene;
         },
         3, "UnsupportedRom", {}, "ZZZ"},
        {"ProfileItemCountOutOfRange",
         [](const TempDir& dir) {
             test::RomBuilder builder("BPRE");
             builder.ProfileLines("ItemCount=0\n");
             const auto rom = builder.Write(dir);
             return Scene{{"--profile", Q(test::RomBuilder::ProfilePath(dir)), "list", Q(rom)}, rom, ReadFile(rom)};
         },
         3, "BadValue", {}, "0"},
        {"ImportFileNotJson",
         [](const TempDir& dir) {
             Scene scene = OnSample({"import", "ROM", "ROM.json"})(dir);
             test::WriteTextFile(Q(scene.rom) + ".json", "{\"items\": [");
             return scene;
         },
         3, "BadImportFile", {}, {}},
        {"RomMissing",
         [](const TempDir& dir) {
             return Scene{{"list", Q(dir / "missing.gba")}, dir / "missing.gba", {}};
         },
         4, "FileNotOpened", {}, {}},
        {"ImportFileMissing", OnSample({"import", "ROM", "ROM.missing.csv"}), 4, "FileRead", {}, {}},
        {"ReadOnlyRom",
         [](const TempDir& dir) {
             Scene scene = OnSample({"set", "ROM", "1", "price=1234"})(dir);
             std::filesystem::permissions(scene.rom, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
             return scene;
         },
         4, "FileWrite", {}, {}},
        {"ExportOverAFolder",
         [](const TempDir& dir) {
             Scene scene = OnSample({"export", "ROM", "-o", Q(dir / "folder")})(dir);
             std::filesystem::create_directory(dir / "folder");
             return scene;
         },
         4, "FileWrite", {}, {}},
        {"ChangedBehindOurBack", [](const TempDir& dir) { return ChangedBehindOurBack(dir, true); }, 4, "UndoConflict", {}, {}},
        {"ChangedBehindOurBackAfterAStep", [](const TempDir& dir) { return ChangedBehindOurBack(dir, false); }, 4,
         "UndoConflict", {}, {}, false},
    };
}

nlohmann::json OrNull(const std::optional<std::string>& text) { return text ? nlohmann::json(*text) : nlohmann::json(); }

class ExitStatusTable : public ::testing::TestWithParam<Failure> {};

TEST_P(ExitStatusTable, StatusJsonAndFileSayWhatHappened)
{
    const Failure& row = GetParam();
    std::string plainLine;
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "--json" : "plain");
        TempDir dir;
        const Scene scene = row.make(dir);
        std::vector<std::string> arguments = scene.arguments;
        if (json) arguments.insert(arguments.begin(), "--json");
        const test::CliRun run = RunTool(arguments);

        EXPECT_EQ(run.status, row.status) << run.err;
        if (row.fileUnchanged) {
            EXPECT_EQ(run.out, "");
        }
        if (std::filesystem::exists(scene.rom)) {
            EXPECT_EQ(ReadFile(scene.rom), scene.expected) << "the ROM is not as the row says";
        }
        if (!json) {
            ASSERT_TRUE(run.err.starts_with("quillbox-cli: ")) << run.err;
            plainLine = test::Replace(run.err.substr(run.err.find(' ') + 1, run.err.find('\n') - run.err.find(' ') - 1), Q(dir.Path()), "DIR");
            continue;
        }
        ASSERT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        const nlohmann::json line = nlohmann::json::parse(run.err, nullptr, false);
        ASSERT_TRUE(line.is_object() && line.contains("error")) << run.err;
        const nlohmann::json& error = line["error"];
        EXPECT_EQ(error["code"], OrNull(row.code)) << run.err;
        EXPECT_EQ(error["field"], OrNull(row.field)) << run.err;
        EXPECT_EQ(error["found"], OrNull(row.found)) << run.err;
        EXPECT_EQ(error["fileUnchanged"], row.fileUnchanged) << run.err;
        EXPECT_EQ(error["number"].is_null(), !row.code) << run.err;
        // Only a column of the item lies at an offset of its record.
        EXPECT_EQ(error["offset"].is_null(), !row.field || FindItemColumn(*row.field) == nullptr) << run.err;
        // The sentence is the one the tool says without --json (a usage error says it before the usage text).
        EXPECT_EQ(test::Replace(error["message"].get<std::string>(), Q(dir.Path()), "DIR"), plainLine) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ExitStatusTable, ::testing::ValuesIn(Rows()), [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox
