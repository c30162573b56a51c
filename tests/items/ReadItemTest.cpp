#include "ItemTestSupport.h"

#include "rom/TmHmList.h"

#include <optional>

namespace quillbox::test {
namespace {

class RecordLayoutTest : public ::testing::TestWithParam<GameCase> {};

// Every field holds a value no other field holds, so a field read from the wrong offset or
// in the wrong byte order shows.
TEST_P(RecordLayoutTest, EveryFieldIsReadFromItsOffset)
{
    const GameCase& game = GetParam();
    for (const int position : {0, 7, game.itemCount - 1}) {
        SCOPED_TRACE(position);
        RomBuilder builder(game.headerCode);
        const std::int64_t e = builder.Entry(position);
        Bytes name = PlainGameBytes("Potion");
        name.push_back(0xFF);
        name.resize(14, 0x00);
        builder.Put(e, name);
        builder.Put(e + 14, {0x34, 0x12});        // index 0x1234
        builder.Put(e + 16, {0x40, 0x9C});        // price 40000
        builder.Put(e + 18, {0x8A, 0xFE});        // special values
        builder.PutPointer(e + 20, RomBuilder::kFreeArea);
        builder.Put(e + 24, {0x02, 0x01, 0x04, 0x77});
        builder.Put(e + 28, {0x2C, 0x1B, 0x0A, 0x08});
        builder.Put(e + 32, {0x03, 0x11, 0x22, 0x33});
        builder.Put(e + 36, {0x56, 0x34, 0x12, 0x09});
        builder.Put(e + 40, {0xDE, 0xAD, 0xBE, 0xEF});
        builder.Put(RomBuilder::kFreeArea, {0xBB, 0xFE, 0xBC, 0xFF});
        builder.Put(builder.ImageEntry(position), {0x00, 0x40, 0x3D, 0x08, 0xBC, 0x0A, 0x00, 0x09});
        // The neighbours' bytes differ, so reading a neighbour's record shows.
        if (position > 0) builder.Fill(e - 44, 44, 0x5A);
        if (position + 1 < game.itemCount) builder.Fill(e + 44, 44, 0xA5);
        TempDir dir;
        const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));

        auto item = ReadItem(state, position);
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_EQ(item->position, position);
        EXPECT_EQ(U8(item->name), "Potion");
        EXPECT_EQ(item->index, 0x1234);
        EXPECT_EQ(item->price, 40000);
        EXPECT_EQ(item->holdEffect, 0x8A);
        EXPECT_EQ(item->holdEffectParam, 0xFE);
        EXPECT_EQ(item->importance, 2);
        EXPECT_EQ(item->registrability, 1);
        EXPECT_EQ(item->pocket, 4);
        EXPECT_EQ(item->battleUsage, 3);
        EXPECT_EQ(item->fieldUsageCodePointer, "0A1B2C");
        EXPECT_EQ(item->battleUsageCodePointer, "123456");
        EXPECT_EQ(item->descriptionOffset, RomBuilder::kFreeArea);
        EXPECT_EQ(item->descriptionOffsetText, "9000");
        EXPECT_TRUE(item->descriptionReadable);
        EXPECT_EQ(U8(item->description), "A\r\nB");
        EXPECT_EQ(item->descriptionRoom, 4);
        EXPECT_EQ(item->descriptionRoomBytes, 4);
        EXPECT_FALSE(item->tmMove.has_value());
        if (game.hasImages) {
            EXPECT_EQ(item->imageOffsetText, std::optional<std::string>("3D4000"));
            EXPECT_EQ(item->paletteOffsetText, std::optional<std::string>("000ABC"));
        } else {
            EXPECT_FALSE(item->imageOffsetText.has_value());
            EXPECT_FALSE(item->paletteOffsetText.has_value());
        }
    }
}

TEST_P(RecordLayoutTest, PositionsOutsideTheListAreRefused)
{
    const GameCase& game = GetParam();
    RomBuilder builder(game.headerCode);
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    for (const int position : {-1, game.itemCount, 1000}) {
        auto item = ReadItem(state, position);
        ASSERT_FALSE(item) << position;
        EXPECT_EQ(item.error().code, ErrorCode::NoSuchItem);
    }
    EXPECT_TRUE(ReadItem(state, game.itemCount - 1));
}

// Only items 289 to 346 teach a move; the entry of item i lies at TMData + 2 * (i - 289).
TEST_P(RecordLayoutTest, TmMovesBelongToItems289To346)
{
    const GameCase& game = GetParam();
    RomBuilder builder(game.headerCode);
    // TMs teaching moves of their own, HMs as released: a list the opening check takes.
    const auto expected = [](int position) {
        return position <= 338 ? static_cast<std::uint16_t>(position - 288) : kReleasedTmHmMoves[static_cast<std::size_t>(position - 289)];
    };
    for (int position = 289; position <= 346; ++position) builder.PutLe16(builder.TmEntry(position), expected(position));
    builder.PutLe16(builder.TmEntry(288), 0x7777);
    builder.PutLe16(builder.TmEntry(347), 0x8888);
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    for (const int position : {0, 288, 347, game.itemCount - 1}) {
        auto item = ReadItem(state, position);
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_FALSE(item->tmMove.has_value()) << position;
    }
    for (int position = 289; position <= 346; ++position) {
        auto item = ReadItem(state, position);
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_EQ(item->tmMove, std::optional<std::uint16_t>(expected(position))) << position;
    }
}

// Values that have no entry in their list come back as stored.
TEST_P(RecordLayoutTest, ValuesWithoutAListPositionAreReturnedAsStored)
{
    const GameCase& game = GetParam();
    RomBuilder builder(game.headerCode);
    const std::int64_t e = builder.Entry(290);
    builder.Put(e + 24, {0xC8, 0x02, 0x06});
    builder.Put(e + 32, {0x09});
    builder.PutLe16(builder.TmEntry(290), 400);
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    auto item = ReadItem(state, 290);
    ASSERT_TRUE(item) << Describe(item);
    EXPECT_EQ(item->importance, 200);
    EXPECT_EQ(item->registrability, 2);
    EXPECT_EQ(item->pocket, 6);
    EXPECT_EQ(item->battleUsage, 9);
    EXPECT_EQ(item->tmMove, std::optional<std::uint16_t>(400));
}

INSTANTIATE_TEST_SUITE_P(AllGames, RecordLayoutTest, ::testing::ValuesIn(kGameCases), GameCaseName);

struct NumberCase {
    Bytes stored;
    std::uint16_t shown;
};

TEST(ReadItemTest, TwoByteNumbersAreUnsignedLittleEndian)
{
    const NumberCase cases[] = {
        {{0x40, 0x9C}, 40000}, {{0xFF, 0xFF}, 65535}, {{0x00, 0x80}, 32768},
        {{0x01, 0x00}, 1},     {{0x00, 0x01}, 256},   {{0x00, 0x00}, 0},
    };
    RomBuilder builder("BPRE");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::int64_t e = builder.Entry(static_cast<int>(i));
        builder.Put(e + 14, cases[i].stored);
        builder.Put(e + 16, cases[i].stored);
    }
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        auto item = ReadItem(state, static_cast<int>(i));
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_EQ(item->index, cases[i].shown);
        EXPECT_EQ(item->price, cases[i].shown);
    }
}

TEST(ReadItemTest, CodePointersShowTheirLowThreeBytesWithLeadingZeros)
{
    struct Row {
        Bytes stored;
        std::string shown;
    };
    const Row rows[] = {
        {{0x2C, 0x1B, 0x0A, 0x08}, "0A1B2C"},
        {{0x00, 0x00, 0x00, 0x08}, "000000"},
        {{0x01, 0x00, 0x00, 0x00}, "000001"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "FFFFFF"},
        {{0xEF, 0xCD, 0xAB, 0x09}, "ABCDEF"},
    };
    RomBuilder builder("AXPE");
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::int64_t e = builder.Entry(static_cast<int>(i));
        builder.Put(e + 28, rows[i].stored);
        builder.Put(e + 36, rows[std::size(rows) - 1 - i].stored);
    }
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        auto item = ReadItem(state, static_cast<int>(i));
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_EQ(item->fieldUsageCodePointer, rows[i].shown);
        EXPECT_EQ(item->battleUsageCodePointer, rows[std::size(rows) - 1 - i].shown);
    }
}

struct DescriptionCase {
    std::string name;
    Bytes stored;
    bool readable;
    std::string shown;
    int room;
    int roomBytes;
};

void PrintTo(const DescriptionCase& row, std::ostream* out) { *out << row.name; }

Bytes Repeat(std::initializer_list<Byte> unit, int times, std::initializer_list<Byte> end = {})
{
    Bytes bytes;
    for (int i = 0; i < times; ++i) bytes.insert(bytes.end(), unit);
    bytes.insert(bytes.end(), end);
    return bytes;
}

class DescriptionTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionTest, ShowsTheTextBeforeTheFirstTerminatorWithinTheFirst256Characters)
{
    const DescriptionCase& row = GetParam();
    RomBuilder builder("BPEE", RomBuilder::kDefaultSize, 0xFF);
    // 0xFF fill: whatever follows the stored bytes would end the text if it were looked at.
    builder.Put(RomBuilder::kFreeArea, row.stored);
    builder.PutPointer(builder.Entry(3) + 20, RomBuilder::kFreeArea);
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    auto item = ReadItem(state, 3);
    ASSERT_TRUE(item) << Describe(item);
    EXPECT_EQ(item->descriptionReadable, row.readable);
    EXPECT_EQ(U8(item->description), row.shown);
    EXPECT_EQ(item->descriptionRoom, row.room);
    EXPECT_EQ(item->descriptionRoomBytes, row.roomBytes);
    EXPECT_EQ(CountDescriptionCharacters(item->description), row.room);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, DescriptionTest,
    ::testing::Values(
        DescriptionCase{"LineBreak", {0xBB, 0xFE, 0xBC, 0xFF}, true, "A\r\nB", 4, 4},
        DescriptionCase{"TerminatorFirst", {0xFF, 0xBB, 0xFF}, true, "", 0, 1},
        DescriptionCase{"ControlCodeShownAsEscape", {0xBB, 0xFA, 0xBC, 0xFF}, true, "A\\lB", 4, 4},
        DescriptionCase{"TrailingSpacesStay", {0xBB, 0x00, 0x00, 0xFF}, true, "A  ", 3, 4},
        DescriptionCase{"ArgumentShownAsHex", {0xFC, 0x01, 0xBB, 0xFF}, true, "\\c\\h01A", 7, 4},
        DescriptionCase{"TerminatorAsArgumentDoesNotEnd", {0xFD, 0xFF, 0xBB, 0xFF}, true, "\\v\\hFFA", 7, 4},
        DescriptionCase{"UnknownByteAsHex", {0x40, 0xFF}, true, "\\h40", 4, 2},
        DescriptionCase{"Longest", Repeat({0xBB}, 254, {0xFF}), true, std::string(254, 'A'), 254, 255},
        DescriptionCase{"TerminatorCutAt256Characters", Repeat({0xBB}, 255, {0xFF}), false, "", 0, 0},
        DescriptionCase{"TerminatorPast256Bytes", Repeat({0xBB}, 300, {0xFF}), false, "", 0, 0},
        DescriptionCase{"EscapesFillingRoom", Repeat({0xFC, 0x01}, 42, {0xFF}), true,
                        [] {
                            std::string s;
                            for (int i = 0; i < 42; ++i) s += "\\c\\h01";
                            return s;
                        }(),
                        252, 85},
        DescriptionCase{"EscapesDecodingPast256Characters", Repeat({0xFC, 0x01}, 43, {0xFF}), false, "", 0, 0}),
    [](const ::testing::TestParamInfo<DescriptionCase>& row) { return row.param.name; });

TEST(ReadItemTest, PointersThatNameNoPlaceInTheFileGiveAnUnreadableDescription)
{
    RomBuilder builder("BPRE", RomBuilder::kDefaultSize, 0x00);
    const std::int64_t size = builder.Size();
    builder.Put(size - 2, {0xBB, 0xFF});
    struct Row {
        std::int64_t offset;
        bool readable;
        std::string shown;
    };
    const Row rows[] = {
        {-16, false, ""},
        {-0x08000000, false, ""},
        {size, false, ""},
        {size + 0x1000, false, ""},
        {size - 1, true, ""},   // the last byte is the terminator
        {size - 2, true, "A"},  // fewer than 256 bytes left
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        builder.PutPointer(builder.Entry(static_cast<int>(i)) + 20, rows[i].offset);
    }
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].offset);
        auto item = ReadItem(state, static_cast<int>(i));
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_EQ(item->descriptionOffset, rows[i].offset);
        EXPECT_EQ(item->descriptionReadable, rows[i].readable);
        EXPECT_EQ(U8(item->description), rows[i].shown);
        EXPECT_EQ(item->descriptionRoom, static_cast<int>(rows[i].shown.size()));
        EXPECT_EQ(item->descriptionRoomBytes, rows[i].readable ? static_cast<int>(rows[i].shown.size()) + 1 : 0);
    }
}

TEST(ReadItemTest, DescriptionOffsetTextIsUpperCaseHexWithoutLeadingZeros)
{
    RomBuilder builder("BPRE", 0x124000, 0x00);
    builder.Put(0x123456, {0xBB, 0xFF});
    builder.Put(0x0ABCDE, {0xBC, 0xFF});
    builder.PutPointer(builder.Entry(0) + 20, 0x123456);
    builder.PutPointer(builder.Entry(1) + 20, 0);
    builder.PutPointer(builder.Entry(2) + 20, 0x0ABCDE);
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));

    auto first = ReadItem(state, 0);
    ASSERT_TRUE(first) << Describe(first);
    EXPECT_EQ(first->descriptionOffset, 0x123456);
    EXPECT_EQ(first->descriptionOffsetText, "123456");
    EXPECT_EQ(U8(first->description), "A");

    auto zero = ReadItem(state, 1);
    ASSERT_TRUE(zero) << Describe(zero);
    EXPECT_EQ(zero->descriptionOffset, 0);
    EXPECT_EQ(zero->descriptionOffsetText, "0");

    auto third = ReadItem(state, 2);
    ASSERT_TRUE(third) << Describe(third);
    EXPECT_EQ(third->descriptionOffsetText, "ABCDE");
    EXPECT_EQ(U8(third->description), "B");
}

TEST(ReadItemTest, NameTrimsTrailingSpacesButKeepsLettersAfterTheTerminator)
{
    struct Row {
        Bytes stored;
        std::string shown;
    };
    auto bytes = [](std::string_view before, std::initializer_list<Byte> middle, std::string_view after) {
        Bytes b = PlainGameBytes(before);
        b.insert(b.end(), middle);
        const Bytes tail = PlainGameBytes(after);
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    const Row rows[] = {
        {bytes("Potion", {0xFF}, "       "), "Potion"},
        {bytes("AB", {0xFF}, "CD         "), "ABCD"},
        {bytes("ABCDEFGHIJKLMN", {}, ""), "ABCDEFGHIJKLMN"},
        {bytes("A B", {0xFF}, "  C       "), "A B  C"},
        {bytes("", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ""), ""},
        {bytes("Ab", {0xFF, 0xFF}, "          "), "Ab"},
    };
    RomBuilder builder("BPGE");
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        ASSERT_EQ(rows[i].stored.size(), 14U) << i;
        builder.Put(builder.Entry(static_cast<int>(i)), rows[i].stored);
    }
    TempDir dir;
    const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        auto item = ReadItem(state, static_cast<int>(i));
        ASSERT_TRUE(item) << Describe(item);
        EXPECT_EQ(U8(item->name), rows[i].shown) << i;
    }
}

TEST(ReadItemTest, ImageOffsetsComeFromTheImageTableForGamesWithImagesOnly)
{
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        RomBuilder builder(game.headerCode);
        builder.Put(builder.ImageEntry(5), {0x00, 0x40, 0x3D, 0x08, 0xBC, 0x0A, 0x00, 0x08});
        builder.Put(builder.ImageEntry(6), {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
        TempDir dir;
        const RomState state = OpenOrFail(builder.Write(dir), RomBuilder::ProfilePath(dir));
        auto offsets = ReadImageOffsets(state, 5);
        auto item = ReadItem(state, 5);
        ASSERT_TRUE(item) << Describe(item);
        if (game.hasImages) {
            ASSERT_TRUE(offsets) << Describe(offsets);
            EXPECT_EQ(offsets->imageOffsetText, "3D4000");
            EXPECT_EQ(offsets->paletteOffsetText, "000ABC");
            EXPECT_EQ(item->imageOffsetText, std::optional<std::string>("3D4000"));
            EXPECT_EQ(item->paletteOffsetText, std::optional<std::string>("000ABC"));
            auto next = ReadImageOffsets(state, 6);
            ASSERT_TRUE(next) << Describe(next);
            EXPECT_EQ(next->imageOffsetText, "332211");
            EXPECT_EQ(next->paletteOffsetText, "776655");
        } else {
            ASSERT_FALSE(offsets);
            EXPECT_EQ(offsets.error().code, ErrorCode::NoImages);
            EXPECT_FALSE(item->imageOffsetText.has_value());
        }
    }
}

TEST(ReadItemTest, AMissingFileIsAnError)
{
    TempDir dir;
    RomBuilder builder("BPRE");
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    std::filesystem::remove(rom);
    auto item = ReadItem(state, 0);
    ASSERT_FALSE(item);
    EXPECT_EQ(item.error().code, ErrorCode::FileNotOpened);
    EXPECT_FALSE(std::filesystem::exists(rom));
}

TEST(ReadItemTest, LineBreaksCountTwoCharactersHoweverTheyAreHeld)
{
    struct Row {
        Text text;
        int count;
    };
    const Row rows[] = {
        {U"", 0},          {U"A", 1},       {U"A\r\nB", 4},     {U"A\nB", 4},       {U"\n", 2},
        {U"\r\n\r\n", 4},  {U"é", 1},       {U"\\c\\h01", 6},   {U"\n\r\n", 4},     {U"[Lv]", 4},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CountDescriptionCharacters(row.text), row.count) << U8(row.text);
    }
}

}  // namespace
}  // namespace quillbox::test
