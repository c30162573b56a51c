// One table of bad inputs, each run against the core and against the command-line tool: every
// row must be refused with a message naming what is wrong, and must leave the ROM untouched.
#include "CliRun.h"

#include "cli/Cli.h"
#include "items/record/ItemOperations.h"
#include "base/HexText.h"
#include "rom/Profile.h"
#include "support/RomBuilder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <sstream>

namespace quillbox {
namespace {

using test::ReadFile;
using test::RomBuilder;
using test::TempDir;
using test::Replace;

using Args = std::vector<std::string>;

// The files a row works on; `romAfter` is where the ROM is looked for afterwards.
struct Scene {
    std::filesystem::path rom;
    std::filesystem::path profile;
};

enum class Action { Open, Save, RepointDescription, RepointImage, Icon };

struct BadInput {
    const char* name;
    std::function<Scene(const TempDir&)> make;
    Action action;
    ItemEdit edit;           // for Save
    std::string first;       // description offset, or image offset
    std::string second;      // palette offset
    // Something done to the files after the core opened the ROM (the tool opens afresh, so the
    // row runs against the core only).
    std::function<void(const Scene&)> afterOpening;
    Args cliArguments;  // "ROM", "PROFILE" and "OUTPUT" are replaced; empty: the row is core-only
    const char* fragment;
    bool expectFailure = true;
    int status = kExitRefused;  // what the tool exits with: refused input, or a file that cannot be read or written
};

Scene Fixture(const TempDir& dir, std::string_view code = "BPRE", std::string_view name = "fixture.gba")
{
    RomBuilder builder(code);
    const auto rom = builder.Write(dir, name);
    return {rom, RomBuilder::ProfilePath(dir)};
}

Scene WithProfile(const TempDir& dir, std::string_view profileText, std::string_view code = "BPRE")
{
    RomBuilder builder(code);
    builder.ProfileText(std::string(profileText));
    return {builder.Write(dir), RomBuilder::ProfilePath(dir)};
}

std::string Section(std::string_view code, std::string_view itemData)
{
    return "[" + std::string(code) + "]\nItemData=" + std::string(itemData) + "\nAttackNames=&H5200\nTMData=&H6400\nIMGData=&H6500\n";
}

ItemEdit NameEdit(Text name)
{
    ItemEdit edit;
    edit.name = std::move(name);
    return edit;
}

ItemEdit DescriptionEdit(Text description)
{
    ItemEdit edit;
    edit.description = std::move(description);
    return edit;
}

ItemEdit PointerEdit(std::string text)
{
    ItemEdit edit;
    edit.price = 7;
    edit.fieldUsageCodePointer = std::move(text);
    return edit;
}

ItemEdit PriceEdit()
{
    ItemEdit edit;
    edit.price = 1234;
    return edit;
}

const Args kList{"--profile", "PROFILE", "list", "ROM"};
const Args kIcon{"--profile", "PROFILE", "icon", "ROM", "1", "-o", "OUTPUT"};
Args SetArgs(std::initializer_list<std::string> pairs)
{
    Args args{"--profile", "PROFILE", "set", "ROM", "1"};
    args.insert(args.end(), pairs);
    return args;
}

std::vector<BadInput> Rows()
{
    std::vector<BadInput> rows;
    auto add = [&rows](BadInput row) { rows.push_back(std::move(row)); };

    add({"ReadOnlyRom",
         [](const TempDir& dir) {
             Scene scene = Fixture(dir);
             std::filesystem::permissions(scene.rom, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
             return scene;
         },
         Action::Save, PriceEdit(), {}, {}, {}, SetArgs({"price=1234"}), "read-only", true, kExitFileError});
    add({"RomDeletedAfterOpening", [](const TempDir& dir) { return Fixture(dir); }, Action::Save, PriceEdit(), {}, {},
         [](const Scene& scene) { std::filesystem::remove(scene.rom); }, {}, "could not be opened"});
    add({"RomShortenedAfterOpening", [](const TempDir& dir) { return Fixture(dir); }, Action::Save, PriceEdit(), {}, {},
         [](const Scene& scene) { std::filesystem::resize_file(scene.rom, 0x2000); }, {}, "changed on disk"});
    add({"RomReplacedAfterOpening", [](const TempDir& dir) { return Fixture(dir); }, Action::Save, PriceEdit(), {}, {},
         [](const Scene& scene) {
             TempDir other;
             const auto replacement = RomBuilder("AXVE").Write(other);
             test::WriteFile(scene.rom, test::ReadFile(replacement));
         },
         {}, "changed on disk"});
    add({"MissingProfile",
         [](const TempDir& dir) {
             Scene scene = Fixture(dir);
             std::filesystem::remove(scene.profile);
             return scene;
         },
         Action::Open, {}, {}, {}, {}, kList, "Unsupported ROM or no ROM opened!"});
    add({"EmptyProfile", [](const TempDir& dir) { return WithProfile(dir, ""); }, Action::Open, {}, {}, {}, {}, kList,
         "Unsupported ROM or no ROM opened!"});
    add({"BinaryGarbageProfile",
         [](const TempDir& dir) {
             std::string garbage;
             for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
             return WithProfile(dir, garbage);
         },
         Action::Open, {}, {}, {}, {}, kList, "Unsupported ROM or no ROM opened!"});
    add({"HugeProfile",
         [](const TempDir& dir) {
             Scene scene = Fixture(dir);
             // The real section stays at its start: a file this large is not read at all.
             std::filesystem::resize_file(scene.profile, 64ull * 1024 * 1024);
             return scene;
         },
         Action::Open, {}, {}, {}, {}, kList, "Unsupported ROM or no ROM opened!"});
    add({"ItemTablePastTheEnd", [](const TempDir& dir) { return WithProfile(dir, Section("BPRE", "&HFFF000")); },
         Action::Open, {}, {}, {}, {}, kList, "too short"});
    add({"NegativeOffset", [](const TempDir& dir) { return WithProfile(dir, Section("BPRE", "-4096")); }, Action::Open,
         {}, {}, {}, {}, kList, "negative"});
    add({"OffsetBeyondSignedRange", [](const TempDir& dir) { return WithProfile(dir, Section("BPRE", "&H80000000")); },
         Action::Open, {}, {}, {}, {}, kList, "does not fit"});
    add({"OffsetBeyond32Bits", [](const TempDir& dir) { return WithProfile(dir, Section("BPRE", "&H100001000")); },
         Action::Open, {}, {}, {}, {}, kList, "Unsupported ROM or no ROM opened!"});
    add({"ZeroXValue", [](const TempDir& dir) { return WithProfile(dir, Section("BPRE", "0x1000")); }, Action::Open, {},
         {}, {}, {}, kList, "Unsupported ROM or no ROM opened!"});
    add({"SectionForAnUnknownCode", [](const TempDir& dir) { return WithProfile(dir, Section("ZZZE", "&H1000"), "ZZZE"); },
         Action::Open, {}, {}, {}, {}, kList, "Unsupported ROM or no ROM opened!"});
    add({"NameOverItsRoom", [](const TempDir& dir) { return Fixture(dir); }, Action::Save, NameEdit(U"[Lv][PK]ABCDEFGHIJKL"),
         {}, {}, {}, SetArgs({"name=[Lv][PK]ABCDEFGHIJKL"}), "14-byte"});
    add({"DescriptionOverItsRoom", [](const TempDir& dir) { return Fixture(dir); }, Action::Save,
         DescriptionEdit(U"AB"), {}, {}, {}, SetArgs({"description=AB"}), "more than"});
    add({"PastedNonHexText", [](const TempDir& dir) { return Fixture(dir); }, Action::Save, PointerEdit("12G4"), {}, {},
         {}, SetArgs({"price=7", "fieldUsageCodePointer=12G4"}), "not hexadecimal"});
    add({"DescriptionRepointPastTheEnd", [](const TempDir& dir) { return Fixture(dir); }, Action::RepointDescription, {},
         "10000", {}, {}, SetArgs({"descriptionOffset=10000"}), "past the end"});
    add({"ImageRepointPastTheEnd", [](const TempDir& dir) { return Fixture(dir); }, Action::RepointImage, {}, "9000",
         "10000", {}, SetArgs({"imageOffset=9000", "paletteOffset=10000"}), "past the end"});
    add({"ZeroByteFile",
         [](const TempDir& dir) {
             Scene scene = Fixture(dir);
             std::filesystem::resize_file(scene.rom, 0);
             return scene;
         },
         Action::Open, {}, {}, {}, {}, kList, "too short"});
    add({"FolderAsRom",
         [](const TempDir& dir) {
             Scene scene = Fixture(dir);
             std::filesystem::create_directory(dir / "a folder.gba");
             scene.rom = dir / "a folder.gba";
             return scene;
         },
         Action::Open, {}, {}, {}, {}, kList, "folder", true, kExitFileError});

    // Inputs that look odd but are fine: they must work, and still change nothing unasked.
    add({"IconPointersIntoGarbage",
         [](const TempDir& dir) {
             RomBuilder builder("BPEE");
             for (std::int64_t at = 0x9000; at < 0xA000; ++at) builder.Put(at, {static_cast<Byte>(at * 31 + 7)});
             builder.PutPointer(builder.ImageEntry(1), 0x9001).PutPointer(builder.ImageEntry(1) + 4, 0x9333);
             return Scene{builder.Write(dir), RomBuilder::ProfilePath(dir)};
         },
         Action::Icon, {}, {}, {}, {}, kIcon, "", false});
    add({"IconPointersIntoTheLastBytes",
         [](const TempDir& dir) {
             RomBuilder builder("BPGE");
             builder.PutPointer(builder.ImageEntry(1), builder.Size() - 3).PutPointer(builder.ImageEntry(1) + 4, builder.Size() - 1);
             return Scene{builder.Write(dir), RomBuilder::ProfilePath(dir)};
         },
         Action::Icon, {}, {}, {}, {}, kIcon, "", false});
    add({"PathWithSpacesAndNonAscii", [](const TempDir& dir) { return Fixture(dir, "BPRE", "Pokémon hack ß 1.gba"); },
         Action::Open, {}, {}, {}, {}, kList, "", false});
    return rows;
}

std::string ErrorText(const Status& status) { return status ? std::string() : status.error().message; }
template <typename T>
std::string ErrorText(const Result<T>& result)
{
    return result ? std::string() : result.error().message;
}

std::optional<Bytes> Snapshot(const std::filesystem::path& path)
{
    if (!std::filesystem::is_regular_file(path)) return std::nullopt;
    return ReadFile(path);
}

// Runs the row's action through the core; `reference` is what the ROM must still hold after it.
std::string RunCore(const BadInput& row, const Scene& scene, std::optional<Bytes>& reference)
{
    reference = Snapshot(scene.rom);
    auto opened = OpenRom(scene.rom, scene.profile);
    if (!opened) return opened.error().message;
    if (row.afterOpening) {
        row.afterOpening(scene);
        reference = Snapshot(scene.rom);
    }
    const RomState& state = opened->state;
    switch (row.action) {
    case Action::Open: return {};
    case Action::Save: {
        auto item = ReadItem(state, 1);
        const DescriptionPlace place = item ? DescriptionPlace{item->descriptionOffset, item->descriptionRoomBytes}
                                            : DescriptionPlace{RomBuilder::kDefaultDescription, 2};
        return ErrorText(SaveItem(state, 1, row.edit, place));
    }
    case Action::RepointDescription: return ErrorText(RepointDescription(state, 1, row.first));
    case Action::RepointImage: return ErrorText(RepointItemImage(state, 1, row.first, row.second));
    case Action::Icon: {
        auto offsets = ReadImageOffsets(state, 1);
        if (!offsets) return offsets.error().message;
        return ErrorText(ReadItemIcon(state, static_cast<std::int64_t>(HexToNumber(offsets->imageOffsetText)),
                                      static_cast<std::int64_t>(HexToNumber(offsets->paletteOffsetText))));
    }
    }
    return "unknown action";
}

class BadInputTable : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTable, TheCoreRefusesWithAClearMessageAndChangesNothing)
{
    const BadInput& row = GetParam();
    TempDir dir;
    const Scene scene = row.make(dir);

    std::optional<Bytes> reference;
    const std::string message = RunCore(row, scene, reference);
    if (row.expectFailure) {
        EXPECT_NE(message.find(row.fragment), std::string::npos) << "message: \"" << message << "\"";
    } else {
        EXPECT_EQ(message, "");
    }
    // A deleted ROM is not made again, and whatever stands at the path is as it was.
    EXPECT_EQ(Snapshot(scene.rom), reference);
}

TEST_P(BadInputTable, TheCommandLineToolRefusesWithOneLineAndChangesNothing)
{
    const BadInput& row = GetParam();
    if (row.cliArguments.empty()) GTEST_SKIP() << "the tool opens the ROM afresh for every command";
    TempDir dir;
    const Scene scene = row.make(dir);
    const bool isFile = std::filesystem::is_regular_file(scene.rom);
    const Bytes before = isFile ? ReadFile(scene.rom) : Bytes{};

    Args arguments = row.cliArguments;
    for (std::string& argument : arguments) {
        argument = Replace(argument, "PROFILE", scene.profile.string());
        argument = Replace(argument, "ROM", scene.rom.string());
        argument = Replace(argument, "OUTPUT", (dir / "icon.png").string());
    }
    std::ostringstream outStream, errStream;
    const int status = RunCli(arguments, outStream, errStream, ProgramFolder());
    const std::string err = errStream.str();

    if (row.expectFailure) {
        EXPECT_EQ(status, row.status);
        EXPECT_NE(err.find(row.fragment), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    } else {
        EXPECT_EQ(status, 0) << err;
    }
    if (isFile) {
        EXPECT_EQ(ReadFile(scene.rom), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTable, ::testing::ValuesIn(Rows()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox
