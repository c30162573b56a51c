#include "ItemTestSupport.h"

#include "rom/Profile.h"

#include <set>

namespace quillbox::test {
namespace {

std::int32_t ShippedValue(std::string_view headerCode, std::string_view key)
{
    return static_cast<std::int32_t>(ParseProfileNumber(ReadProfileValue(ShippedProfile(), headerCode, key)));
}

class OpenSampleTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(OpenSampleTest, OpensWithTheShippedProfileAndListsEveryItemAndMove)
{
    const GameCase& game = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, game.headerCode);

    auto opened = OpenRom(rom, ShippedProfile());
    ASSERT_TRUE(opened) << Describe(opened);
    const RomState& state = opened->state;
    EXPECT_EQ(state.romPath, rom);
    EXPECT_EQ(state.headerCode, game.headerCode);
    EXPECT_EQ(state.gameCode, game.gameCode);
    ASSERT_NE(opened->family, nullptr);
    EXPECT_EQ(opened->family->itemCount, game.itemCount);
    EXPECT_EQ(opened->family->hasImages, game.hasImages);
    EXPECT_EQ(state.ItemCount(), game.itemCount);

    EXPECT_EQ(state.itemTableOffset, ShippedValue(game.headerCode, "ItemData"));
    EXPECT_EQ(state.moveNamesOffset, ShippedValue(game.headerCode, "AttackNames"));
    EXPECT_EQ(state.tmMovesOffset, ShippedValue(game.headerCode, "TMData"));
    EXPECT_EQ(state.imageTableOffset, game.hasImages ? ShippedValue(game.headerCode, "IMGData") : 0);
    EXPECT_NE(state.itemTableOffset, 0);

    ASSERT_EQ(opened->itemNames.size(), static_cast<std::size_t>(game.itemCount));
    EXPECT_EQ(opened->moveNames.size(), 354U);

    // The list keeps what the item display trims; otherwise both show the same name.
    for (int i = 0; i < game.itemCount; ++i) {
        auto item = ReadItem(state, i);
        ASSERT_TRUE(item) << Describe(item);
        Text listed = opened->itemNames[static_cast<std::size_t>(i)];
        EXPECT_EQ(listed.find(kTerminatorEscape), Text::npos) << "item " << i;
        while (!listed.empty() && listed.back() == U' ') listed.pop_back();
        EXPECT_EQ(U8(listed), U8(item->name)) << "item " << i;
        EXPECT_FALSE(item->name.empty()) << "item " << i;
    }
    for (const Text& move : opened->moveNames) {
        EXPECT_EQ(move.find(kTerminatorEscape), Text::npos);
        EXPECT_NE(move.find_first_not_of(U' '), Text::npos);
    }

    auto again = ListItemNames(state);
    ASSERT_TRUE(again) << Describe(again);
    EXPECT_EQ(*again, opened->itemNames);
}

INSTANTIATE_TEST_SUITE_P(AllGames, OpenSampleTest, ::testing::ValuesIn(kGameCases), GameCaseName);

// Record i gets a name that says i, followed by one of three tails: zeros after the terminator,
// letters after the terminator, or no terminator at all.
std::string ExpectedListEntry(int position)
{
    const std::string number = "Item" + std::to_string(position);
    switch (position % 3) {
    case 0: return number + std::string(13 - number.size(), ' ');
    case 1: return number + std::string(13 - number.size(), 'q');
    default: return number + std::string(14 - number.size(), 'Z');
    }
}

Bytes NameBytes(int position)
{
    const std::string number = "Item" + std::to_string(position);
    Bytes bytes = PlainGameBytes(number);
    switch (position % 3) {
    case 0:
        bytes.push_back(0xFF);
        bytes.resize(14, 0x00);
        break;
    case 1: {
        bytes.push_back(0xFF);
        const Bytes tail = PlainGameBytes(std::string(13 - number.size(), 'q'));
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        break;
    }
    default: {
        const Bytes tail = PlainGameBytes(std::string(14 - number.size(), 'Z'));
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        break;
    }
    }
    return bytes;
}

class ListingTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(ListingTest, EntryIsTheRecordsNameWithEveryTerminatorRemovedAndNothingTrimmed)
{
    const GameCase& game = GetParam();
    RomBuilder builder(game.headerCode);
    for (int i = 0; i < game.itemCount; ++i) {
        const Bytes name = NameBytes(i);
        ASSERT_EQ(name.size(), 14U);
        builder.Put(builder.Entry(i), name);
    }
    // A record field right after the name must not leak into it.
    builder.PutLe16(builder.Entry(0) + 14, 0xBBBB);
    // Move k names move k + 1: a padded one first, a full 13 bytes last, and a terminator
    // in the middle of another.
    Bytes first = PlainGameBytes("Tackle");
    first.push_back(0xFF);
    first.resize(13, 0x00);
    builder.Put(builder.Tables().attackNames, first);
    builder.Put(builder.Tables().attackNames + 13 * 353, PlainGameBytes("LastMoveNameX"));
    Bytes middle = PlainGameBytes("Ab");
    middle.push_back(0xFF);
    middle.push_back(0xFF);
    const Bytes tail = PlainGameBytes("cdefghijk");
    middle.insert(middle.end(), tail.begin(), tail.end());
    builder.Put(builder.Tables().attackNames + 13 * 100, middle);

    TempDir dir;
    const auto rom = builder.Write(dir);
    auto opened = OpenRom(rom, RomBuilder::ProfilePath(dir));
    ASSERT_TRUE(opened) << Describe(opened);
    ASSERT_EQ(opened->itemNames.size(), static_cast<std::size_t>(game.itemCount));
    for (int i = 0; i < game.itemCount; ++i) {
        EXPECT_EQ(U8(opened->itemNames[static_cast<std::size_t>(i)]), ExpectedListEntry(i)) << "item " << i;
    }
    ASSERT_EQ(opened->moveNames.size(), 354U);
    EXPECT_EQ(U8(opened->moveNames[0]), "Tackle      ");
    EXPECT_EQ(U8(opened->moveNames[353]), "LastMoveNameX");
    EXPECT_EQ(U8(opened->moveNames[100]), "Abcdefghijk");
    // The fixture's other names are "A", its end mark and zeros, which read as blanks.
    EXPECT_EQ(U8(opened->moveNames[1]), "A" + std::string(11, ' '));

    // The item display trims the zeros' spaces but keeps letters after the terminator.
    auto zeroTail = ReadItem(opened->state, 0);
    ASSERT_TRUE(zeroTail) << Describe(zeroTail);
    EXPECT_EQ(U8(zeroTail->name), "Item0");
    auto letterTail = ReadItem(opened->state, 1);
    ASSERT_TRUE(letterTail) << Describe(letterTail);
    EXPECT_EQ(U8(letterTail->name), "Item1qqqqqqqq");
    auto full = ReadItem(opened->state, 2);
    ASSERT_TRUE(full) << Describe(full);
    EXPECT_EQ(U8(full->name), "Item2ZZZZZZZZZ");
}

INSTANTIATE_TEST_SUITE_P(AllGames, ListingTest, ::testing::ValuesIn(kGameCases), GameCaseName);

TEST(OpenRomTest, UnsupportedGameCodesAreRefused)
{
    for (const std::string_view code : {"BPXE", "bpre", "AXQE", "BP", "ZZZZ", "XBPR"}) {
        SCOPED_TRACE(code);
        RomBuilder builder("BPRE");
        builder.Fill(0xAC, 4, 0x00);
        builder.Put(0xAC, Bytes(code.begin(), code.end()));
        // The profile has a section for the code, so only the code itself can refuse it.
        builder.ProfileText("[" + std::string(code) + "]\nItemData=&H1000\nAttackNames=&H5200\nTMData=&H6400\n");
        TempDir dir;
        auto opened = OpenRom(builder.Write(dir), RomBuilder::ProfilePath(dir));
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, ErrorCode::UnsupportedRom);
    }
}

struct ProfileCase {
    std::string name;
    std::string profile;  // "" writes no profile file at all
    bool opens;
    std::int32_t itemTableOffset = 0;
    std::int32_t imageTableOffset = 0;
};

void PrintTo(const ProfileCase& row, std::ostream* out) { *out << row.name; }

class ProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileTest, OpensOnlyWithAllThreeTableOffsets)
{
    const ProfileCase& row = GetParam();
    RomBuilder builder("BPRE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    std::filesystem::remove(RomBuilder::ProfilePath(dir));
    if (!row.profile.empty()) {
        WriteTextFile(RomBuilder::ProfilePath(dir), row.profile);
    }
    const Bytes before = ReadFile(rom);

    auto opened = OpenRom(rom, RomBuilder::ProfilePath(dir));
    if (row.opens) {
        ASSERT_TRUE(opened) << Describe(opened);
        EXPECT_EQ(opened->state.itemTableOffset, row.itemTableOffset);
        EXPECT_EQ(opened->state.imageTableOffset, row.imageTableOffset);
        EXPECT_EQ(opened->itemNames.size(), 375U);
    } else {
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, ErrorCode::UnsupportedRom) << opened.error().message;
        EXPECT_EQ(opened.error().message.rfind("Unsupported ROM or no ROM opened!", 0), 0U) << opened.error().message;
    }
    EXPECT_EQ(ReadFile(rom), before);
}

const std::string kTables = "AttackNames=&H5200\nTMData=&H6400\nIMGData=&H6500\n";

INSTANTIATE_TEST_SUITE_P(
    Profiles, ProfileTest,
    ::testing::Values(
        ProfileCase{"Complete", "[BPRE]\nItemData=&H1000\n" + kTables, true, 0x1000, 0x6500},
        ProfileCase{"DecimalValue", "[BPRE]\nItemData=4096\n" + kTables, true, 0x1000, 0x6500},
        ProfileCase{"LowerCasePrefixAndSection", "[bpre]\nitemdata=&h1000\n" + kTables, true, 0x1000, 0x6500},
        ProfileCase{"ImageTableMissing", "[BPRE]\nItemData=&H1000\nAttackNames=&H5200\nTMData=&H6400\n", true,
                    0x1000, 0},
        ProfileCase{"MissingFile", "", false},
        ProfileCase{"MissingSection", "[BPGE]\nItemData=&H1000\n" + kTables, false},
        ProfileCase{"OtherSectionsKeysOnly", "[BPRE]\nItemData=&H1000\n[BPGE]\n" + kTables, false},
        ProfileCase{"MissingItemData", "[BPRE]\n" + kTables, false},
        ProfileCase{"MissingAttackNames", "[BPRE]\nItemData=&H1000\nTMData=&H6400\nIMGData=&H6500\n", false},
        ProfileCase{"MissingTMData", "[BPRE]\nItemData=&H1000\nAttackNames=&H5200\nIMGData=&H6500\n", false},
        ProfileCase{"ZeroTMData", "[BPRE]\nItemData=&H1000\nAttackNames=&H5200\nTMData=0\n", false},
        ProfileCase{"CPrefixReadsAsZero", "[BPRE]\nItemData=0x1000\n" + kTables, false},
        ProfileCase{"NoNumber", "[BPRE]\nItemData=table\n" + kTables, false}),
    [](const ::testing::TestParamInfo<ProfileCase>& row) { return row.param.name; });

TEST(OpenRomTest, AHeaderCodeWithItsOwnSectionUsesThatSection)
{
    RomBuilder builder("BPRJ");
    builder.ProfileText("[BPRE]\nItemData=&H1\nAttackNames=&H1\nTMData=&H1\n"
                        "[BPRJ]\nItemData=&H1000\nAttackNames=&H5200\nTMData=&H6400\nIMGData=&H6500\n");
    TempDir dir;
    auto opened = OpenRom(builder.Write(dir), RomBuilder::ProfilePath(dir));
    ASSERT_TRUE(opened) << Describe(opened);
    EXPECT_EQ(opened->state.headerCode, "BPRJ");
    EXPECT_EQ(opened->state.gameCode, "BPR");
    EXPECT_EQ(opened->state.itemTableOffset, 0x1000);
    EXPECT_EQ(opened->state.imageTableOffset, 0x6500);
    EXPECT_EQ(opened->itemNames.size(), 375U);
}

TEST(OpenRomTest, AHeaderCodeWithoutItsOwnSectionIsRefusedEvenWhenItsFamilyHasOne)
{
    RomBuilder builder("BPRJ");
    builder.ProfileText("[BPRE]\nItemData=&H1000\nAttackNames=&H5200\nTMData=&H6400\nIMGData=&H6500\n");
    TempDir dir;
    auto opened = OpenRom(builder.Write(dir), RomBuilder::ProfilePath(dir));
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().code, ErrorCode::UnsupportedRom);
}

// An image table past the end of the file is refused for a game that has images, and never
// looked at for one that has none.
TEST(OpenRomTest, ImageTableIsReadOnlyForGamesWithImages)
{
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        RomBuilder builder(game.headerCode);
        builder.OmitImageTableFromProfile().ProfileLines("IMGData=&HFFFFFF\n");
        TempDir dir;
        auto opened = OpenRom(builder.Write(dir), RomBuilder::ProfilePath(dir));
        if (game.hasImages) {
            ASSERT_FALSE(opened);
            EXPECT_EQ(opened.error().code, ErrorCode::RomTooShort) << opened.error().message;
        } else {
            ASSERT_TRUE(opened) << Describe(opened);
            EXPECT_EQ(opened->state.imageTableOffset, 0);
            auto item = ReadItem(opened->state, 0);
            ASSERT_TRUE(item) << Describe(item);
            EXPECT_FALSE(item->imageOffsetText.has_value());
            auto offsets = ReadImageOffsets(opened->state, 0);
            ASSERT_FALSE(offsets);
            EXPECT_EQ(offsets.error().code, ErrorCode::NoImages);
        }
    }
}

struct TableCase {
    std::string name;
    int table;  // 0 items, 1 move names, 2 TM/HM moves, 3 images
    std::int64_t size;
};

void PrintTo(const TableCase& row, std::ostream* out) { *out << row.name; }

class TableAtEndTest : public ::testing::TestWithParam<TableCase> {};

// Each table in turn is moved to end exactly at the end of the file: that opens, one byte
// less does not.
TEST_P(TableAtEndTest, ATableEndingAtTheEndOfTheFileFitsAndOneByteLessDoesNot)
{
    const TableCase& row = GetParam();
    constexpr std::int64_t kSize = RomBuilder::kDefaultSize;
    FixtureTables tables;
    const auto atEnd = static_cast<std::int32_t>(kSize - row.size);
    switch (row.table) {
    case 0: tables.itemData = atEnd; break;
    case 1: tables.attackNames = atEnd; break;
    case 2: tables.tmData = atEnd; break;
    default: tables.imgData = atEnd; break;
    }
    RomBuilder builder("BPRE", kSize, 0x00, tables);
    TempDir dir;
    const auto rom = builder.Write(dir);
    auto opened = OpenRom(rom, RomBuilder::ProfilePath(dir));
    ASSERT_TRUE(opened) << Describe(opened);

    Bytes shorter = builder.Data();
    shorter.pop_back();
    WriteFile(rom, shorter);
    auto refused = OpenRom(rom, RomBuilder::ProfilePath(dir));
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::RomTooShort) << refused.error().message;
    EXPECT_EQ(ReadFile(rom), shorter);
}

INSTANTIATE_TEST_SUITE_P(Tables, TableAtEndTest,
                         ::testing::Values(TableCase{"Items", 0, 375 * 44}, TableCase{"MoveNames", 1, 354 * 13},
                                           TableCase{"TmMoves", 2, 58 * 2}, TableCase{"Images", 3, 375 * 8}),
                         [](const ::testing::TestParamInfo<TableCase>& row) { return row.param.name; });

TEST(OpenRomTest, FilesThatCannotBeOpenedOrAreTooShortGiveDistinctErrors)
{
    TempDir dir;
    RomBuilder builder("BPRE");
    builder.Write(dir, "unused.gba");
    const auto profile = RomBuilder::ProfilePath(dir);

    const auto empty = WriteFile(dir / "empty.gba", {});
    const auto headerOnly = WriteFile(dir / "short.gba", Bytes(builder.Data().begin(), builder.Data().begin() + 0x200));
    const auto cutHeader = WriteFile(dir / "cut.gba", Bytes(builder.Data().begin(), builder.Data().begin() + 0xAE));
    std::filesystem::create_directories(dir / "folder.gba");
    const auto missing = dir / "missing.gba";

    struct Row {
        std::filesystem::path path;
        ErrorCode code;
        std::string fragment;
    };
    const Row rows[] = {
        {empty, ErrorCode::RomTooShort, "header"},
        {cutHeader, ErrorCode::RomTooShort, "header"},
        {headerOnly, ErrorCode::RomTooShort, "item table"},
        {dir / "folder.gba", ErrorCode::FileNotOpened, "folder"},
        {missing, ErrorCode::FileNotOpened, "missing.gba"},
    };
    std::set<std::string> messages;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.string());
        auto opened = OpenRom(row.path, profile);
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, row.code) << opened.error().message;
        EXPECT_NE(opened.error().message.find(row.fragment), std::string::npos) << opened.error().message;
        messages.insert(opened.error().message);
    }
    EXPECT_EQ(messages.size(), std::size(rows));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(ReadFile(empty).empty());
}

TEST(OpenRomTest, HeaderCodeIsTheFourBytesAtAC)
{
    TempDir dir;
    Bytes bytes(0xB0, 0x41);
    bytes[0xAC] = 'B';
    bytes[0xAD] = 'P';
    bytes[0xAE] = 'E';
    bytes[0xAF] = 'E';
    const auto rom = WriteFile(dir / "header.gba", bytes);
    auto code = ReadHeaderCode(rom);
    ASSERT_TRUE(code) << Describe(code);
    EXPECT_EQ(*code, "BPEE");

    bytes.pop_back();
    WriteFile(rom, bytes);
    auto cut = ReadHeaderCode(rom);
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, ErrorCode::RomTooShort);
}

}  // namespace
}  // namespace quillbox::test
