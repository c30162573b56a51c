#include "ItemTestSupport.h"
#include "base/HexText.h"

#include <functional>
#include <random>
#include <tuple>

namespace quillbox::test {
namespace {

void Apply(Bytes& file, std::int64_t offset, const Bytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A fixture whose records and TM/HM list hold a byte pattern no write below repeats, so
// every expected write changes the file, and whose byte 31 and 39 are the usual 0x08.
RomBuilder PatternedRom(std::string_view headerCode)
{
    RomBuilder builder(headerCode);
    const GameFamily* family = FindGameFamily(GameCodeOf(headerCode));
    for (int position = 0; position < family->itemCount; ++position) {
        const std::int64_t e = builder.Entry(position);
        for (int k = 0; k < 44; ++k) {
            if (k < 20 || k >= 24) builder.Data()[static_cast<std::size_t>(e + k)] = static_cast<Byte>(0x40 + k);
        }
        // The Index stays the record's position, as a table that passes the opening check has it.
        builder.PutLe16(e + 14, static_cast<std::uint16_t>(position));
        builder.Data()[static_cast<std::size_t>(e + 31)] = 0x08;
        builder.Data()[static_cast<std::size_t>(e + 39)] = 0x08;
    }
    // The TMs a pattern of their own; the HMs as released, so the list passes the opening check.
    for (int position = 289; position <= 338; ++position) {
        builder.PutLe16(builder.TmEntry(position), 0x0155);
    }
    builder.Fill(RomBuilder::kFreeArea, 64, 0x77);
    return builder;
}

enum class Base { Entry, TmList, File };

struct Write {
    Base base;
    std::int64_t offset;
    Bytes bytes;
};

struct FieldCase {
    std::string name;
    int position;
    ItemEdit edit;
    std::vector<Write> writes;
};

void PrintTo(const FieldCase& row, std::ostream* out) { *out << row.name; }

Bytes NameField(std::initializer_list<Byte> text)
{
    Bytes bytes(text);
    bytes.resize(14, 0xFF);
    return bytes;
}

const DescriptionPlace kPlace{RomBuilder::kFreeArea, 40};

std::vector<FieldCase> FieldCases()
{
    return {
        {"PriceMax", 5, EditOf(&ItemEdit::price, 65535), {{Base::Entry, 16, {0xFF, 0xFF}}}},
        {"PriceZero", 5, EditOf(&ItemEdit::price, 0), {{Base::Entry, 16, {0x00, 0x00}}}},
        {"Price40000", 5, EditOf(&ItemEdit::price, 40000), {{Base::Entry, 16, {0x40, 0x9C}}}},
        {"Index", 5, EditOf(&ItemEdit::index, 0x1234), {{Base::Entry, 14, {0x34, 0x12}}}},
        {"IndexZero", 5, EditOf(&ItemEdit::index, 0), {{Base::Entry, 14, {0x00, 0x00}}}},
        {"Special1", 5, EditOf(&ItemEdit::holdEffect, 0xAB), {{Base::Entry, 18, {0xAB}}}},
        {"Special2", 5, EditOf(&ItemEdit::holdEffectParam, 0xCD), {{Base::Entry, 19, {0xCD}}}},
        {"Mystery1", 5, EditOf(&ItemEdit::importance, 2), {{Base::Entry, 24, {0x02}}}},
        {"Mystery2", 5, EditOf(&ItemEdit::registrability, 1), {{Base::Entry, 25, {0x01}}}},
        {"Pocket", 5, EditOf(&ItemEdit::pocket, 5), {{Base::Entry, 26, {0x05}}}},
        {"BattleUsage", 5, EditOf(&ItemEdit::battleUsage, 2), {{Base::Entry, 32, {0x02}}}},
        // Code pointers are written whole: the top byte a routine has (0x08 here), 0 for none.
        {"FieldUsagePointer", 5, EditOf(&ItemEdit::fieldUsageCodePointer, "A1B3"), {{Base::Entry, 28, {0xB3, 0xA1, 0x00, 0x08}}}},
        {"FieldUsagePointerLowerCase", 5, EditOf(&ItemEdit::fieldUsageCodePointer, "a1b3"),
         {{Base::Entry, 28, {0xB3, 0xA1, 0x00, 0x08}}}},
        {"FieldUsagePointerEmpty", 5, EditOf(&ItemEdit::fieldUsageCodePointer, ""), {{Base::Entry, 28, {0x00, 0x00, 0x00, 0x00}}}},
        {"FieldUsagePointerZeros", 5, EditOf(&ItemEdit::fieldUsageCodePointer, "000000"),
         {{Base::Entry, 28, {0x00, 0x00, 0x00, 0x00}}}},
        {"FieldUsagePointerKeepsLastSixDigits", 5, EditOf(&ItemEdit::fieldUsageCodePointer, "1A00A1B3"),
         {{Base::Entry, 28, {0xB3, 0xA1, 0x00, 0x08}}}},
        {"BattleUsagePointer", 5, EditOf(&ItemEdit::battleUsageCodePointer, "ABCD"), {{Base::Entry, 36, {0xCD, 0xAB, 0x00, 0x08}}}},
        {"BattleUsagePointerZero", 5, EditOf(&ItemEdit::battleUsageCodePointer, "0"), {{Base::Entry, 36, {0x00, 0x00, 0x00, 0x00}}}},
        {"TmMoveOfItem290", 290, EditOf(&ItemEdit::tmMove, 15), {{Base::TmList, 2, {0x0F, 0x00}}}},
        {"TmMoveOfItem289", 289, EditOf(&ItemEdit::tmMove, 0x0102), {{Base::TmList, 0, {0x02, 0x01}}}},
        {"TmMoveOfItem346", 346, EditOf(&ItemEdit::tmMove, 354), {{Base::TmList, 114, {0x62, 0x01}}}},
        {"TmMoveNone", 300, EditOf(&ItemEdit::tmMove, 0), {{Base::TmList, 22, {0x00, 0x00}}}},
        {"NameShort", 5, EditOf(&ItemEdit::name, U"AB"), {{Base::Entry, 0, NameField({0xBB, 0xBC})}}},
        {"NameEmpty", 5, EditOf(&ItemEdit::name, U""), {{Base::Entry, 0, NameField({})}}},
        {"NameThirteenLetters", 5, EditOf(&ItemEdit::name, U"ABCDEFGHIJKLM"),
         {{Base::Entry, 0, NameField({0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7})}}},
        {"NameThirteenTokens", 5, EditOf(&ItemEdit::name, U"[Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv]"),
         {{Base::Entry, 0, NameField({0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34})}}},
        {"NameWithAccent", 374 - 30, EditOf(&ItemEdit::name, U"é a"), {{Base::Entry, 0, NameField({0x1B, 0x00, 0xD5})}}},
        {"DescriptionWindowsLineBreak", 5, EditOf(&ItemEdit::description, U"A\r\nB"),
         {{Base::File, kPlace.offset, {0xBB, 0xFE, 0xBC, 0xFF}}}},
        {"DescriptionLineFeed", 5, EditOf(&ItemEdit::description, U"A\nB"), {{Base::File, kPlace.offset, {0xBB, 0xFE, 0xBC, 0xFF}}}},
        {"DescriptionEmpty", 5, EditOf(&ItemEdit::description, U""), {{Base::File, kPlace.offset, {0xFF}}}},
        {"UnknownCharactersReplacedAsAsked", 5,
         [] {
             ItemEdit edit;
             edit.name = U"Potion; x";
             edit.description = U"A\tB\r\n*";
             edit.replaceUnknownCharacters = true;
             return edit;
         }(),
         {{Base::Entry, 0, NameField({0xCA, 0xE3, 0xE8, 0xDD, 0xE3, 0xE2, 0x00, 0x00, 0xEC})},
          {Base::File, kPlace.offset, {0xBB, 0x00, 0xBC, 0xFE, 0x00, 0xFF}}}},
        {"DescriptionEscapes", 5, EditOf(&ItemEdit::description, U"\\l\\c\\h01\\p"),
         {{Base::File, kPlace.offset, {0xFA, 0xFC, 0x01, 0xFB, 0xFF}}}},
        {"Several", 300,
         [] {
             ItemEdit edit;
             edit.name = U"Zz";
             edit.index = 7;
             edit.price = 0x0201;
             edit.holdEffect = 1;
             edit.holdEffectParam = 2;
             edit.importance = 0;
             edit.registrability = 0;
             edit.pocket = 3;
             edit.battleUsage = 0;
             edit.fieldUsageCodePointer = "1235";
             edit.battleUsageCodePointer = "0";
             edit.description = U"Hi";
             edit.tmMove = 0x0A0B;
             return edit;
         }(),
         {{Base::Entry, 0, NameField({0xD4, 0xEE})},
          {Base::Entry, 14, {0x07, 0x00, 0x01, 0x02, 0x01, 0x02}},
          {Base::Entry, 24, {0x00, 0x00, 0x03}},
          {Base::Entry, 28, {0x35, 0x12, 0x00, 0x08}},
          {Base::Entry, 32, {0x00}},
          {Base::Entry, 36, {0x00, 0x00, 0x00, 0x00}},
          {Base::TmList, 22, {0x0B, 0x0A}},
          {Base::File, kPlace.offset, {0xC2, 0xDD, 0xFF}}}},
    };
}

using FieldParam = std::tuple<GameCase, FieldCase>;

class FieldWriteTest : public ::testing::TestWithParam<FieldParam> {};

TEST_P(FieldWriteTest, WritesExactlyTheEditedFieldsLittleEndian)
{
    const auto& [game, row] = GetParam();
    const int position = std::min(row.position, game.itemCount - 1);
    RomBuilder builder = PatternedRom(game.headerCode);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);

    Bytes expected = before;
    for (const Write& write : row.writes) {
        const std::int64_t base = write.base == Base::Entry    ? builder.Entry(position)
                                  : write.base == Base::TmList ? builder.Tables().tmData
                                                               : 0;
        Apply(expected, base + write.offset, write.bytes);
    }
    ASSERT_NE(expected, before) << "the row would not show a missing write";

    const Status saved = SaveItem(state, position, row.edit, kPlace);
    ASSERT_TRUE(saved) << Describe(saved);
    const Bytes after = ReadFile(rom);
    EXPECT_EQ(DifferingOffsets(expected, after), std::vector<std::size_t>{});
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldWriteTest,
                         ::testing::Combine(::testing::ValuesIn(kGameCases), ::testing::ValuesIn(FieldCases())),
                         [](const ::testing::TestParamInfo<FieldParam>& row) {
                             return std::string(std::get<0>(row.param).headerCode) + "_" +
                                    std::get<1>(row.param).name;
                         });

class SaveGameTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(SaveGameTest, FullEditNeverTouchesTheUninterpretedBytesOrTheDescriptionPointer)
{
    const GameCase& game = GetParam();
    RomBuilder builder = PatternedRom(game.headerCode);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    ItemEdit edit;
    edit.name = U"ABCDEFGHIJKLM";
    edit.index = 0xFFFF;
    edit.price = 0xFFFF;
    edit.holdEffect = 0xFF;
    edit.holdEffectParam = 0xFF;
    edit.importance = 0xFF;
    edit.registrability = 0xFF;
    // The pocket and battle usage take only values the game knows; the highest of each.
    edit.pocket = 5;
    edit.battleUsage = 2;
    // The highest routines inside the 64 KiB file.
    edit.fieldUsageCodePointer = "FFFF";
    edit.battleUsageCodePointer = "FFFF";
    edit.description = U"Long text here";
    edit.tmMove = 0xFFFF;
    const int position = 300;
    ASSERT_TRUE(SaveItem(state, position, edit, kPlace));
    const Bytes after = ReadFile(rom);
    const auto e = static_cast<std::size_t>(builder.Entry(position));
    for (const std::size_t k : {20U, 21U, 22U, 23U, 27U, 31U, 33U, 34U, 35U, 39U, 40U, 41U, 42U, 43U}) {
        EXPECT_EQ(after[e + k], before[e + k]) << "byte " << k;
    }
    for (std::size_t k = 14; k < 44; ++k) {
        const bool untouched = (k >= 20 && k <= 23) || k == 27 || k == 31 || (k >= 33 && k <= 35) || k >= 39;
        if (!untouched) {
            EXPECT_EQ(after[e + k], k == 26 ? 5 : k == 32 ? 2 : k == 30 || k == 38 ? 0x00 : 0xFF) << "byte " << k;
        }
    }
    // Nothing outside the record, the item's TM/HM entry and the description place changed.
    const auto tm = static_cast<std::size_t>(builder.TmEntry(position));
    const auto place = static_cast<std::size_t>(kPlace.offset);
    for (const std::size_t offset : DifferingOffsets(before, after)) {
        const bool inRecord = offset >= e && offset < e + 44;
        const bool inTm = offset == tm || offset == tm + 1;
        const bool inPlace = offset >= place && offset < place + 15;
        EXPECT_TRUE(inRecord || inTm || inPlace) << "offset " << offset;
    }
}

TEST_P(SaveGameTest, AnEmptyEditChangesNothing)
{
    const GameCase& game = GetParam();
    RomBuilder builder = PatternedRom(game.headerCode);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    for (const int position : {0, 289, game.itemCount - 1}) {
        const Status saved = SaveItem(state, position, ItemEdit{}, DescriptionPlace{});
        EXPECT_TRUE(saved) << Describe(saved);
    }
    EXPECT_EQ(ReadFile(rom), before);
}

// What the window does when the user saves without touching anything: every value as read,
// the name and the description left alone.
ItemEdit EditAsRead(const ItemView& item)
{
    ItemEdit edit;
    edit.index = item.index;
    edit.price = item.price;
    edit.holdEffect = item.holdEffect;
    edit.holdEffectParam = item.holdEffectParam;
    edit.importance = item.importance;
    edit.registrability = item.registrability;
    edit.pocket = item.pocket;
    edit.battleUsage = item.battleUsage;
    edit.fieldUsageCodePointer = item.fieldUsageCodePointer;
    edit.battleUsageCodePointer = item.battleUsageCodePointer;
    edit.tmMove = item.tmMove;
    return edit;
}

TEST_P(SaveGameTest, SavingEveryItemAsReadLeavesTheSampleByteIdentical)
{
    const GameCase& game = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, game.headerCode);
    const RomState state = OpenOrFail(rom, ShippedProfile());
    const Bytes before = ReadFile(rom);
    for (int position = 0; position < game.itemCount; ++position) {
        auto item = ReadItem(state, position);
        ASSERT_TRUE(item) << Describe(item);
        const Status saved =
            SaveItem(state, position, EditAsRead(*item), {item->descriptionOffset, item->descriptionRoomBytes});
        ASSERT_TRUE(saved) << "item " << position << ": " << Describe(saved);
    }
    EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
}

// The samples keep zeros after each name's terminator, so the name and description as shown
// also encode back to the stored bytes.
TEST_P(SaveGameTest, SavingNamesAndDescriptionsAsShownLeavesTheSampleByteIdentical)
{
    const GameCase& game = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, game.headerCode);
    const RomState state = OpenOrFail(rom, ShippedProfile());
    const Bytes before = ReadFile(rom);
    for (int position = 0; position < game.itemCount; ++position) {
        auto item = ReadItem(state, position);
        ASSERT_TRUE(item) << Describe(item);
        ASSERT_TRUE(item->descriptionReadable) << "item " << position;
        ItemEdit edit = EditAsRead(*item);
        edit.name = item->name;
        edit.description = item->description;
        const Status saved =
            SaveItem(state, position, edit, {item->descriptionOffset, item->descriptionRoomBytes});
        ASSERT_TRUE(saved) << "item " << position << ": " << Describe(saved);
    }
    EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
}

INSTANTIATE_TEST_SUITE_P(AllGames, SaveGameTest, ::testing::ValuesIn(kGameCases), GameCaseName);

TEST(SaveItemTest, DescriptionsAsShownSaveBackToTheirStoredBytes)
{
    const Bytes stored[] = {
        {0xBB, 0xFA, 0xBC, 0xFF},
        {0xBB, 0xFE, 0xBC, 0xFF},
        {0xBB, 0x00, 0x00, 0xFF},
        {0xFC, 0x01, 0xBB, 0xFF},
        {0xFD, 0xFF, 0xBB, 0xFF},
        {0x40, 0xB1, 0x34, 0x53, 0xFF},
        {0xFF},
    };
    RomBuilder builder("BPRE");
    for (std::size_t i = 0; i < std::size(stored); ++i) {
        const std::int64_t place = RomBuilder::kFreeArea + 16 * static_cast<std::int64_t>(i);
        builder.Put(place, stored[i]);
        builder.PutPointer(builder.Entry(static_cast<int>(i)) + 20, place);
    }
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    for (std::size_t i = 0; i < std::size(stored); ++i) {
        auto item = ReadItem(state, static_cast<int>(i));
        ASSERT_TRUE(item) << Describe(item);
        ASSERT_TRUE(item->descriptionReadable);
        EXPECT_EQ(item->descriptionRoomBytes, static_cast<int>(stored[i].size()));
        const Status saved = SaveItem(state, static_cast<int>(i), EditOf(&ItemEdit::description, item->description),
                                      {item->descriptionOffset, item->descriptionRoomBytes});
        ASSERT_TRUE(saved) << U8(item->description) << ": " << Describe(saved);
        EXPECT_EQ(ReadFile(rom), before) << U8(item->description);
    }
}

// Stored bytes that name no list entry survive a save of the values as read.
TEST(SaveItemTest, ValuesWithoutAListPositionAreWrittenBackUnchanged)
{
    RomBuilder builder("AXVE");
    const std::int64_t e = builder.Entry(300);
    builder.Put(e + 24, {0xC8, 0x02, 0x06});
    builder.Put(e + 32, {0x09});
    builder.PutLe16(builder.TmEntry(300), 400);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    auto item = ReadItem(state, 300);
    ASSERT_TRUE(item) << Describe(item);
    ASSERT_TRUE(SaveItem(state, 300, EditAsRead(*item), {item->descriptionOffset, item->descriptionRoomBytes}));
    EXPECT_EQ(ReadFile(rom), before);
}

// A description the display could not read is kept by a save that leaves it alone, and a
// save that does set it finds no room there.
TEST(SaveItemTest, UnreadableDescriptionsSurviveASaveThatLeavesThemAlone)
{
    RomBuilder builder("BPEE");
    builder.Fill(RomBuilder::kFreeArea, 300, 0xBB);
    builder.PutPointer(builder.Entry(0) + 20, RomBuilder::kFreeArea);
    builder.PutPointer(builder.Entry(1) + 20, -16);
    builder.PutPointer(builder.Entry(2) + 20, builder.Size() + 5);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    for (int position = 0; position < 3; ++position) {
        SCOPED_TRACE(position);
        auto item = ReadItem(state, position);
        ASSERT_TRUE(item) << Describe(item);
        ASSERT_FALSE(item->descriptionReadable);
        const DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};

        ItemEdit edit = EditAsRead(*item);
        edit.price = 1234;
        Bytes expected = ReadFile(rom);
        Apply(expected, builder.Entry(position) + 16, {0xD2, 0x04});
        ASSERT_TRUE(SaveItem(state, position, edit, place));
        EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});

        edit.description = item->description;
        const Status refused = SaveItem(state, position, edit, place);
        EXPECT_FALSE(refused);
        EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});
    }
}

struct RefusalCase {
    std::string name;
    int position;
    ItemEdit edit;
    DescriptionPlace place;
    ErrorCode code;
    std::string fragment;
};

void PrintTo(const RefusalCase& row, std::ostream* out) { *out << row.name; }

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// Each refused edit also sets fields that are fine; none of them may be written.
TEST_P(RefusalTest, ARefusedSaveWritesNothing)
{
    const RefusalCase& row = GetParam();
    RomBuilder builder = PatternedRom("BPRE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);

    ItemEdit edit = row.edit;
    edit.price = 1;
    edit.index = 2;
    edit.pocket = 3;
    if (!edit.name) edit.name = U"Fine";
    if (!edit.fieldUsageCodePointer) edit.fieldUsageCodePointer = "ABCD";
    const Status saved = SaveItem(state, row.position, edit, row.place);
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().code, row.code) << saved.error().message;
    EXPECT_NE(saved.error().message.find(row.fragment), std::string::npos) << saved.error().message;
    EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(
        RefusalCase{"NameOfFourteenLetters", 5, EditOf(&ItemEdit::name, U"ABCDEFGHIJKLMN"), kPlace, ErrorCode::NameTooLong, "14"},
        RefusalCase{"NameOfFourteenTokens", 5,
                    EditOf(&ItemEdit::name, U"[Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv][Lv]"), kPlace,
                    ErrorCode::NameTooLong, "14"},
        RefusalCase{"DescriptionOneByteOver", 5, EditOf(&ItemEdit::description, U"ABCD"), {RomBuilder::kFreeArea, 4},
                    ErrorCode::DescriptionTooLong, "1 more than"},
        RefusalCase{"DescriptionThreeBytesOver", 5, EditOf(&ItemEdit::description, U"A\r\nB\r\nC"), {RomBuilder::kFreeArea, 3},
                    ErrorCode::DescriptionTooLong, "3 more than"},
        RefusalCase{"DescriptionWithNoRoom", 5, EditOf(&ItemEdit::description, U""), {RomBuilder::kFreeArea, 0},
                    ErrorCode::DescriptionTooLong, "more than"},
        RefusalCase{"DescriptionWithNoPlace", 5, EditOf(&ItemEdit::description, U"A"), {-16, 10}, ErrorCode::BadOffset, ""},
        RefusalCase{"DescriptionPastTheEnd", 5, EditOf(&ItemEdit::description, U"ABC"), {RomBuilder::kDefaultSize - 2, 10},
                    ErrorCode::PastEndOfFile, ""},
        RefusalCase{"NameWithCharactersTheGameLacks", 5, EditOf(&ItemEdit::name, U"Potion; x*;"), kPlace,
                    ErrorCode::UnknownCharacters, "\";\" and \"*\" in the name would be saved as spaces"},
        RefusalCase{"DescriptionWithALoneCarriageReturn", 5, EditOf(&ItemEdit::description, U"A\r\nB\nC\rD"), kPlace,
                    ErrorCode::UnknownCharacters, ": U+000D in the description would"},
        RefusalCase{"FieldUsagePointerNotHex", 5, EditOf(&ItemEdit::fieldUsageCodePointer, "12G4"), kPlace,
                    ErrorCode::BadHexText, "12G4"},
        RefusalCase{"BattleUsagePointerNotHex", 5, EditOf(&ItemEdit::battleUsageCodePointer, "-1"), kPlace,
                    ErrorCode::BadHexText, "-1"},
        RefusalCase{"FieldUsagePointerPastTheEnd", 5, EditOf(&ItemEdit::fieldUsageCodePointer, "10001"), kPlace,
                    ErrorCode::PastEndOfFile, "field usage code pointer 08010001 names 10001, at or past the end of the file"},
        RefusalCase{"BattleUsagePointerEven", 5, EditOf(&ItemEdit::battleUsageCodePointer, "A1B2"), kPlace,
                    ErrorCode::BadValue, "battle usage code pointer 0800A1B2 is even"},
        RefusalCase{"TmMoveOfItem288", 288, EditOf(&ItemEdit::tmMove, 5), kPlace, ErrorCode::BadValue, "289"},
        RefusalCase{"TmMoveOfItem347", 347, EditOf(&ItemEdit::tmMove, 5), kPlace, ErrorCode::BadValue, "289"},
        RefusalCase{"PositionBelowTheList", -1, ItemEdit{}, kPlace, ErrorCode::NoSuchItem, ""},
        RefusalCase{"PositionPastTheList", 375, ItemEdit{}, kPlace, ErrorCode::NoSuchItem, ""}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST(SaveItemTest, TheRoomCountsTheTerminator)
{
    RomBuilder builder = PatternedRom("BPRE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const DescriptionPlace place{RomBuilder::kFreeArea, 5};
    const Bytes before = ReadFile(rom);
    EXPECT_FALSE(SaveItem(state, 1, EditOf(&ItemEdit::description, U"ABCDE"), place));
    EXPECT_EQ(ReadFile(rom), before);
    ASSERT_TRUE(SaveItem(state, 1, EditOf(&ItemEdit::description, U"ABCD"), place));
    Bytes expected = before;
    Apply(expected, place.offset, {0xBB, 0xBC, 0xBD, 0xBE, 0xFF});
    EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});
}

ItemEdit EditOfThirteenWrites()
{
    ItemEdit edit;
    edit.name = U"New";
    edit.index = 9;
    edit.price = 99;
    edit.holdEffect = 1;
    edit.holdEffectParam = 2;
    edit.importance = 1;
    edit.registrability = 1;
    edit.pocket = 2;
    edit.battleUsage = 1;
    edit.fieldUsageCodePointer = "1111";
    edit.battleUsageCodePointer = "2223";
    edit.description = U"Fresh";
    edit.tmMove = 33;
    return edit;
}

// A save whose k-th write fails, for every k, leaves the file as it was and says so.
TEST(SaveItemTest, AWriteFailingPartWayIsPutBack)
{
    RomBuilder builder = PatternedRom("BPEE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    const ItemEdit edit = EditOfThirteenWrites();
    int failures = 0;
    bool saved = false;
    for (int failingWrite = 0; failingWrite < 30 && !saved; ++failingWrite) {
        SCOPED_TRACE(failingWrite);
        Status status;
        {
            FailingWriteOnce fault(failingWrite);
            status = SaveItem(state, 300, edit, kPlace);
        }
        if (status) {
            saved = true;
            break;
        }
        ++failures;
        EXPECT_EQ(status.error().code, ErrorCode::FileWrite) << status.error().message;
        EXPECT_NE(status.error().message.find("nothing was changed"), std::string::npos) << status.error().message;
        EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
    }
    EXPECT_TRUE(saved);
    // One write per edited field: each can be the one that fails.
    EXPECT_EQ(failures, 13);
    auto item = ReadItem(state, 300);
    ASSERT_TRUE(item) << Describe(item);
    EXPECT_EQ(U8(item->name), "New");
    EXPECT_EQ(item->price, 99);
    EXPECT_EQ(item->tmMove, std::optional<std::uint16_t>(33));
    Bytes fresh = PlainGameBytes("Fresh");
    fresh.push_back(0xFF);
    const Bytes after = ReadFile(rom);
    EXPECT_EQ(Bytes(after.begin() + kPlace.offset, after.begin() + kPlace.offset + 6), fresh);
}

// When the disk refuses every write from some point on, the bytes already written cannot be
// put back either: the save must still fail, and say "nothing was changed" only when true.
TEST(SaveItemTest, WritesFailingForGoodAreReportedTruthfully)
{
    RomBuilder builder = PatternedRom("BPEE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes original = ReadFile(rom);
    const ItemEdit edit = EditOfThirteenWrites();
    for (int allowed = 0; allowed < 13; ++allowed) {
        SCOPED_TRACE(allowed);
        WriteFile(rom, original);
        Status status;
        {
            FailingWrites faults(allowed);
            status = SaveItem(state, 300, edit, kPlace);
        }
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().code, ErrorCode::FileWrite);
        const bool unchanged = ReadFile(rom) == original;
        if (allowed == 0) {
            EXPECT_TRUE(unchanged);
        }
        const std::string& message = status.error().message;
        if (!unchanged) {
            EXPECT_EQ(message.find("nothing was changed"), std::string::npos) << message;
            EXPECT_NE(message.find("partly written"), std::string::npos) << message;
        }
    }
}

// A plain-text model of the game's character set for the random edits: each token is one byte.
struct RandomText {
    Text text;
    Bytes bytes;
};

RandomText MakeRandomText(std::mt19937& random, int maxTokens, bool lineBreaks)
{
    static constexpr std::string_view kChars = "ABCXYZabcxyz0189 .";
    RandomText out;
    const int tokens = std::uniform_int_distribution<int>(0, maxTokens)(random);
    for (int i = 0; i < tokens; ++i) {
        if (lineBreaks && std::uniform_int_distribution<int>(0, 7)(random) == 0) {
            out.text += U"\r\n";
            out.bytes.push_back(0xFE);
            continue;
        }
        const char c = kChars[std::uniform_int_distribution<std::size_t>(0, kChars.size() - 1)(random)];
        out.text.push_back(static_cast<char32_t>(c));
        const Bytes b = PlainGameBytes(std::string_view(&c, 1));
        out.bytes.insert(out.bytes.end(), b.begin(), b.end());
    }
    return out;
}

// A routine of a file of `size` bytes (an odd offset inside it) or, one time in eight, none,
// spelled with up to six digits in either case and with leading zeros or none.
std::string RandomRoutine(std::mt19937& random, std::int64_t size, std::uint32_t& value)
{
    const bool none = std::uniform_int_distribution<int>(0, 7)(random) == 0;
    value = none ? 0 : static_cast<std::uint32_t>(std::uniform_int_distribution<std::int64_t>(0, size / 2 - 1)(random)) * 2 + 1;
    std::string text = NumberToHex(value);
    if (none && std::uniform_int_distribution<int>(0, 1)(random) == 1) text.clear();
    text.insert(0, std::uniform_int_distribution<std::size_t>(0, 6 - std::min<std::size_t>(6, text.size()))(random), '0');
    for (char& c : text) {
        if (std::uniform_int_distribution<int>(0, 1)(random) == 1) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

class RandomEditTest : public ::testing::TestWithParam<GameCase> {};

// Random valid edits, each compared over the whole file with the bytes the record layout says.
TEST_P(RandomEditTest, ChangesExactlyTheBytesOfTheEditedFields)
{
    const GameCase& game = GetParam();
    std::mt19937 random(20240611U);
    constexpr std::int64_t kPlaceStride = 24;
    RomBuilder builder(game.headerCode);
    std::uniform_int_distribution<int> anyByte(0, 255);
    auto coin = [&random] { return std::uniform_int_distribution<int>(0, 1)(random) == 1; };
    for (std::int64_t offset = builder.Entry(0); offset < builder.Entry(game.itemCount); ++offset) {
        builder.Data()[static_cast<std::size_t>(offset)] = static_cast<Byte>(anyByte(random));
    }
    // The code pointers' top bytes as the games hold them: a routine's or none.
    for (int position = 0; position < game.itemCount; ++position) {
        for (const int top : {31, 39}) builder.Data()[static_cast<std::size_t>(builder.Entry(position) + top)] = coin() ? 0x08 : 0x00;
    }
    // Index and TM/HM moves as a table that passes the opening check holds them: random TMs,
    // the HMs as released.
    for (int position = 0; position < game.itemCount; ++position) {
        builder.PutLe16(builder.Entry(position) + 14, static_cast<std::uint16_t>(position));
    }
    for (int position = 289; position <= 338; ++position) {
        builder.PutLe16(builder.TmEntry(position), static_cast<std::uint16_t>(1 + anyByte(random)));
    }
    std::vector<int> room(static_cast<std::size_t>(game.itemCount));
    for (int position = 0; position < game.itemCount; ++position) {
        const std::int64_t place = RomBuilder::kFreeArea + kPlaceStride * position;
        RandomText text = MakeRandomText(random, static_cast<int>(kPlaceStride) - 1, true);
        text.bytes.push_back(0xFF);
        builder.Put(place, text.bytes);
        builder.PutPointer(builder.Entry(position) + 20, place);
        room[static_cast<std::size_t>(position)] = static_cast<int>(text.bytes.size());
    }
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    Bytes model = ReadFile(rom);

    auto word = [&random] { return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 65535)(random)); };
    auto byte = [&] { return static_cast<std::uint8_t>(anyByte(random)); };
    for (int round = 0; round < 150; ++round) {
        const int position = round % 5 == 0 ? std::uniform_int_distribution<int>(289, 346)(random)
                                            : std::uniform_int_distribution<int>(0, game.itemCount - 1)(random);
        const std::int64_t e = builder.Entry(position);
        const std::int64_t place = RomBuilder::kFreeArea + kPlaceStride * position;
        const int placeRoom = room[static_cast<std::size_t>(position)];
        ItemEdit edit;
        Bytes expected = model;
        if (coin()) {
            RandomText name = MakeRandomText(random, 13, false);
            edit.name = name.text;
            name.bytes.resize(14, 0xFF);
            Apply(expected, e, name.bytes);
        }
        const std::pair<std::optional<std::uint16_t>*, int> words[] = {{&edit.index, 14}, {&edit.price, 16}};
        for (const auto& [member, offset] : words) {
            if (!coin()) continue;
            *member = word();
            Apply(expected, e + offset, {static_cast<Byte>(**member & 0xFF), static_cast<Byte>(**member >> 8)});
        }
        // The pocket and battle usage take the values the game knows (0 to 5 and 0 to 2 in every game).
        const std::tuple<std::optional<std::uint8_t>*, int, int> bytes[] = {
            {&edit.holdEffect, 18, 255}, {&edit.holdEffectParam, 19, 255}, {&edit.importance, 24, 255}, {&edit.registrability, 25, 255},
            {&edit.pocket, 26, 5},     {&edit.type, 27, 255},     {&edit.battleUsage, 32, 2}, {&edit.secondaryId, 40, 255}};
        for (const auto& [member, offset, highest] : bytes) {
            if (!coin()) continue;
            *member = static_cast<std::uint8_t>(byte() % (highest + 1));
            Apply(expected, e + offset, {**member});
        }
        const std::pair<std::optional<std::string>*, int> pointers[] = {{&edit.fieldUsageCodePointer, 28},
                                                                        {&edit.battleUsageCodePointer, 36}};
        for (const auto& [member, offset] : pointers) {
            if (!coin()) continue;
            std::uint32_t value = 0;
            *member = RandomRoutine(random, builder.Size(), value);
            const std::uint32_t pointer = value == 0 ? 0 : kRomBase + value;
            Apply(expected, e + offset,
                  {static_cast<Byte>(pointer), static_cast<Byte>(pointer >> 8), static_cast<Byte>(pointer >> 16),
                   static_cast<Byte>(pointer >> 24)});
        }
        if (position >= 289 && position <= 346 && coin()) {
            edit.tmMove = word();
            Apply(expected, builder.TmEntry(position),
                  {static_cast<Byte>(*edit.tmMove & 0xFF), static_cast<Byte>(*edit.tmMove >> 8)});
        }
        if (coin()) {
            RandomText description = MakeRandomText(random, placeRoom - 1, true);
            edit.description = description.text;
            description.bytes.push_back(0xFF);
            Apply(expected, place, description.bytes);
        }

        const Status saved = SaveItem(state, position, edit, {place, placeRoom});
        ASSERT_TRUE(saved) << "round " << round << ": " << Describe(saved);
        const Bytes after = ReadFile(rom);
        ASSERT_EQ(DifferingOffsets(expected, after), std::vector<std::size_t>{}) << "round " << round;
        model = after;
    }
}

INSTANTIATE_TEST_SUITE_P(AllGames, RandomEditTest, ::testing::ValuesIn(kGameCases), GameCaseName);

}  // namespace
}  // namespace quillbox::test
