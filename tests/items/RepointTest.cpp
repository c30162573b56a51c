#include "ItemTestSupport.h"

#include "image/Lz77.h"

#include <algorithm>

namespace quillbox::test {
namespace {

constexpr std::int64_t kPlace = 0x9400;

Bytes PointerBytes(std::int64_t offset)
{
    const auto pointer = static_cast<std::uint32_t>(offset + 0x08000000);
    return {static_cast<Byte>(pointer), static_cast<Byte>(pointer >> 8), static_cast<Byte>(pointer >> 16),
            static_cast<Byte>(pointer >> 24)};
}

void Apply(Bytes& file, std::int64_t offset, const Bytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

struct PlaceCase {
    std::string name;
    Bytes stored;
    bool readable;
    bool freeSpace;
    std::string shown;
    int room;
    int roomBytes;
};

void PrintTo(const PlaceCase& row, std::ostream* out) { *out << row.name; }

Bytes Run(Byte value, int count, std::initializer_list<Byte> then = {})
{
    Bytes bytes(static_cast<std::size_t>(count), value);
    bytes.insert(bytes.end(), then);
    return bytes;
}

class RepointPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(RepointPlaceTest, WritesThePointerAndShowsWhatLiesThere)
{
    const PlaceCase& row = GetParam();
    RomBuilder builder("BPRE", RomBuilder::kDefaultSize, 0x00);
    builder.Put(kPlace, row.stored);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    Bytes expected = ReadFile(rom);
    Apply(expected, builder.Entry(9) + 20, PointerBytes(kPlace));

    auto repointed = RepointDescription(state, 9, "9400");
    ASSERT_TRUE(repointed) << Describe(repointed);
    EXPECT_EQ(repointed->offset, kPlace);
    EXPECT_EQ(repointed->readable, row.readable);
    EXPECT_EQ(repointed->freeSpace, row.freeSpace);
    EXPECT_EQ(U8(repointed->description), row.shown);
    EXPECT_EQ(repointed->room, row.room);
    EXPECT_EQ(repointed->roomBytes, row.roomBytes);
    EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});

    // Showing the item again agrees, except that the display counts a free run as an empty text.
    auto item = ReadItem(state, 9);
    ASSERT_TRUE(item) << Describe(item);
    EXPECT_EQ(item->descriptionOffset, kPlace);
    EXPECT_EQ(item->descriptionOffsetText, "9400");
    if (row.readable && !row.freeSpace) {
        EXPECT_EQ(U8(item->description), row.shown);
        EXPECT_EQ(item->descriptionRoomBytes, row.roomBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, RepointPlaceTest,
    ::testing::Values(PlaceCase{"Text", {0xBB, 0xFE, 0xBC, 0xFF}, true, false, "A\r\nB", 4, 4},
                      PlaceCase{"EscapesStay", {0xFC, 0x01, 0xFA, 0xBB, 0xFF, 0xBC}, true, false, "\\c\\h01\\lA", 9, 5},
                      PlaceCase{"ThirtyFreeBytes", Run(0xFF, 30, {0xBB, 0xBC, 0xFF}), true, true, "", 30, 30},
                      PlaceCase{"OneFreeByte", Run(0xFF, 1, {0xBB}), true, true, "", 1, 1},
                      PlaceCase{"FreeRunCappedAt110", Run(0xFF, 200), true, true, "", 110, 110},
                      PlaceCase{"Longest", Run(0xBB, 108, {0xFF}), true, false, std::string(108, 'A'), 108, 109},
                      PlaceCase{"TerminatorCutAt110Characters", Run(0xBB, 109, {0xFF}), false, false, "", 0, 0},
                      PlaceCase{"NoTerminatorWithinReach", Run(0xBB, 110, {0xFF}), false, false, "", 0, 0},
                      PlaceCase{"EscapesPastReach", Run(0x40, 30, {0xFF}), false, false, "", 0, 0}),
    [](const ::testing::TestParamInfo<PlaceCase>& row) { return row.param.name; });

TEST(RepointDescriptionTest, PointerIsWrittenAtOffset20AndASaveWritesTheTextThere)
{
    RomBuilder builder("BPRE", 0x130000, 0x00);
    builder.Fill(0x123456, 40, 0xFF);
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);

    auto repointed = RepointDescription(state, 5, "123456");
    ASSERT_TRUE(repointed) << Describe(repointed);
    EXPECT_TRUE(repointed->freeSpace);
    EXPECT_EQ(repointed->room, 40);
    Bytes expected = before;
    Apply(expected, builder.Entry(5) + 20, {0x56, 0x34, 0x12, 0x08});
    EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});

    // A text as long as the free run needs one byte more for its terminator.
    const DescriptionPlace place{repointed->offset, repointed->roomBytes};
    const Status tooLong = SaveItem(state, 5, EditOf(&ItemEdit::description, Text(40, U'B')), place);
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(tooLong.error().code, ErrorCode::DescriptionTooLong);
    EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});

    const Status saved = SaveItem(state, 5, EditOf(&ItemEdit::description, U"A\r\nB"), place);
    ASSERT_TRUE(saved) << Describe(saved);
    Apply(expected, 0x123456, {0xBB, 0xFE, 0xBC, 0xFF});
    EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});

    auto item = ReadItem(state, 5);
    ASSERT_TRUE(item) << Describe(item);
    EXPECT_EQ(item->descriptionOffsetText, "123456");
    EXPECT_EQ(U8(item->description), "A\r\nB");
    EXPECT_EQ(item->descriptionRoom, 4);
}

TEST(RepointDescriptionTest, OffsetTextIsHexOfEitherCaseAndEmptyIsZero)
{
    RomBuilder builder("AXVE");
    builder.Put(0xABCD, {0xBC, 0xFF});
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    struct Row {
        std::string text;
        std::int64_t offset;
    };
    for (const Row& row : {Row{"abcd", 0xABCD}, Row{"00ABCD", 0xABCD}, Row{"", 0}, Row{"0", 0}}) {
        SCOPED_TRACE(row.text);
        Bytes expected = ReadFile(rom);
        Apply(expected, builder.Entry(348) + 20, PointerBytes(row.offset));
        auto repointed = RepointDescription(state, 348, row.text);
        ASSERT_TRUE(repointed) << Describe(repointed);
        EXPECT_EQ(repointed->offset, row.offset);
        EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});
    }
}

TEST(RepointDescriptionTest, RefusedOffsetsWriteNothing)
{
    RomBuilder builder("BPGE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    struct Row {
        std::string text;
        ErrorCode code;
    };
    const Row rows[] = {
        {"10000", ErrorCode::PastEndOfFile},      // exactly the end of the 64 KiB file
        {"10001", ErrorCode::PastEndOfFile},
        {"FFFFFF", ErrorCode::PastEndOfFile},
        {"7FFFFFFF", ErrorCode::PastEndOfFile},
        {"12X4", ErrorCode::BadHexText},
        {"-10", ErrorCode::BadHexText},
        {" 10", ErrorCode::BadHexText},
        {"123456789", ErrorCode::BadOffset},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        auto repointed = RepointDescription(state, 1, row.text);
        ASSERT_FALSE(repointed);
        EXPECT_EQ(repointed.error().code, row.code) << repointed.error().message;
        EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
    }
    auto lastByte = RepointDescription(state, 1, "FFFF");
    ASSERT_TRUE(lastByte) << Describe(lastByte);
    EXPECT_FALSE(lastByte->readable);

    auto outside = RepointDescription(state, 375, "100");
    ASSERT_FALSE(outside);
    EXPECT_EQ(outside.error().code, ErrorCode::NoSuchItem);
}

TEST(RepointDescriptionTest, AFailedPointerWriteChangesNothing)
{
    RomBuilder builder("BPRE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    {
        FailingWrites faults(0);
        auto repointed = RepointDescription(state, 1, "9000");
        ASSERT_FALSE(repointed);
        EXPECT_EQ(repointed.error().code, ErrorCode::FileWrite);
    }
    EXPECT_EQ(ReadFile(rom), before);
}

class RepointImageTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(RepointImageTest, WritesTheLowThreeBytesOfBothPointers)
{
    const GameCase& game = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, game.headerCode);
    const RomState state = OpenOrFail(rom, ShippedProfile());
    const Bytes before = ReadFile(rom);
    if (!game.hasImages) {
        const Status refused = RepointItemImage(state, 5, "3D4000", "ABC");
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code, ErrorCode::NoImages);
        EXPECT_EQ(ReadFile(rom), before);
        return;
    }
    const std::int64_t table = state.imageTableOffset;
    ASSERT_EQ(before[static_cast<std::size_t>(table + 43)], 0x08);

    struct Row {
        std::string image;
        std::string palette;
        Bytes imageBytes;
        Bytes paletteBytes;
    };
    const Row rows[] = {
        {"3D4000", "ABC", {0x00, 0x40, 0x3D}, {0xBC, 0x0A, 0x00}},
        {"", "", {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}},
        {"fedcba", "0", {0xBA, 0xDC, 0xFE}, {0x00, 0x00, 0x00}},
        {"0123456", "1", {0x56, 0x34, 0x12}, {0x01, 0x00, 0x00}},
    };
    Bytes expected = before;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.image + "/" + row.palette);
        Apply(expected, table + 40, row.imageBytes);
        Apply(expected, table + 44, row.paletteBytes);
        const Status written = RepointItemImage(state, 5, row.image, row.palette);
        ASSERT_TRUE(written) << Describe(written);
        EXPECT_EQ(DifferingOffsets(expected, ReadFile(rom)), std::vector<std::size_t>{});
    }
    auto offsets = ReadImageOffsets(state, 5);
    ASSERT_TRUE(offsets) << Describe(offsets);
    EXPECT_EQ(offsets->imageOffsetText, "123456");
    EXPECT_EQ(offsets->paletteOffsetText, "000001");

    // Three bytes hold at most FFFFFF: a longer offset is refused, not cut to its last digits.
    const Bytes written = ReadFile(rom);
    for (const auto& [image, palette] : {std::pair{"1000000", "100"}, std::pair{"100", "1000ABC"}}) {
        SCOPED_TRACE(image);
        const Status refused = RepointItemImage(state, 5, image, palette);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code, ErrorCode::BadOffset) << refused.error().message;
        EXPECT_EQ(DifferingOffsets(written, ReadFile(rom)), std::vector<std::size_t>{});
    }
}

INSTANTIATE_TEST_SUITE_P(AllGames, RepointImageTest, ::testing::ValuesIn(kGameCases), GameCaseName);

TEST(RepointImageTest, RefusedOffsetsWriteNothing)
{
    RomBuilder builder("BPEE");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    struct Row {
        std::string image;
        std::string palette;
        ErrorCode code;
    };
    const Row rows[] = {
        {"10000", "100", ErrorCode::PastEndOfFile},
        {"100", "10000", ErrorCode::PastEndOfFile},
        {"FFFFFF", "FFFFFF", ErrorCode::PastEndOfFile},
        {"12G", "100", ErrorCode::BadHexText},
        {"100", "x", ErrorCode::BadHexText},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.image + "/" + row.palette);
        const Status refused = RepointItemImage(state, 2, row.image, row.palette);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code, row.code) << refused.error().message;
        EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
    }
    for (int failingWrite = 0; failingWrite < 2; ++failingWrite) {
        Status failed;
        {
            FailingWriteOnce fault(failingWrite);
            failed = RepointItemImage(state, 2, "100", "200");
        }
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error().code, ErrorCode::FileWrite);
        EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)), std::vector<std::size_t>{});
    }

    const Status lastByte = RepointItemImage(state, 2, "FFFF", "FFFF");
    ASSERT_TRUE(lastByte) << Describe(lastByte);
    const Status outside = RepointItemImage(state, 377, "100", "100");
    ASSERT_FALSE(outside);
    EXPECT_EQ(outside.error().code, ErrorCode::NoSuchItem);
}

bool Opaque(std::uint32_t argb) { return (argb >> 24) != 0; }

class SampleIconTest : public ::testing::TestWithParam<GameCase> {};

TEST_P(SampleIconTest, IconsDecodeToAVisibleShapeWithTransparentCorners)
{
    const GameCase& game = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, game.headerCode);
    const RomState state = OpenOrFail(rom, ShippedProfile());
    for (const int position : {0, 1, 23, 24, game.itemCount - 1}) {
        SCOPED_TRACE(position);
        auto offsets = ReadImageOffsets(state, position);
        ASSERT_TRUE(offsets) << Describe(offsets);
        const auto image = static_cast<std::int64_t>(std::stoll(offsets->imageOffsetText, nullptr, 16));
        const auto palette = static_cast<std::int64_t>(std::stoll(offsets->paletteOffsetText, nullptr, 16));
        auto icon = ReadItemIcon(rom, image, palette);
        ASSERT_TRUE(icon) << Describe(icon);
        const auto opaque = std::count_if(icon->argb.begin(), icon->argb.end(), Opaque);
        EXPECT_GT(opaque, 100);
        EXPECT_LT(opaque, 24 * 24);
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{23, 0}, std::pair{0, 23}, std::pair{23, 23}}) {
            EXPECT_FALSE(Opaque(icon->At(x, y))) << x << "," << y;
        }
        EXPECT_TRUE(Opaque(icon->At(12, 12)));
        std::vector<std::uint32_t> colours;
        for (const std::uint32_t argb : icon->argb) {
            if (Opaque(argb) && std::find(colours.begin(), colours.end(), argb) == colours.end()) colours.push_back(argb);
        }
        EXPECT_GE(colours.size(), 3U);
        for (const std::uint32_t argb : colours) {
            // Channels are 5-bit values times 8.
            EXPECT_EQ(argb & 0x070707U, 0U) << std::hex << argb;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ImageGames, SampleIconTest, ::testing::ValuesIn(std::vector<GameCase>(kGameCases.begin(), kGameCases.begin() + 3)),
                         GameCaseName);

// Streams that end exactly at the end of the file decode as they do in the middle of it: the
// bytes past the end read as zero.
TEST(ReadItemIconTest, StreamsAtTheLastBytesOfTheFileDecode)
{
    Bytes tiles(9 * 32, 0);
    for (std::size_t i = 0; i < tiles.size(); ++i) tiles[i] = static_cast<Byte>((i * 7) & 0x33);
    const Bytes palette = {0x00, 0x00, 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C};
    const Bytes packedTiles = CompressLz77(tiles);
    const Bytes packedPalette = CompressLz77(palette);

    RomBuilder builder("BPRE");
    const std::int64_t middleTiles = 0xA000;
    const std::int64_t middlePalette = 0xB000;
    builder.Put(middleTiles, packedTiles).Put(middlePalette, packedPalette);
    const std::int64_t endPalette = builder.Size() - static_cast<std::int64_t>(packedPalette.size());
    const std::int64_t endTiles = endPalette - static_cast<std::int64_t>(packedTiles.size());
    builder.Put(endTiles, packedTiles).Put(endPalette, packedPalette);
    TempDir dir;
    const auto rom = builder.Write(dir);

    auto middle = ReadItemIcon(rom, middleTiles, middlePalette);
    ASSERT_TRUE(middle) << Describe(middle);
    auto end = ReadItemIcon(rom, endTiles, endPalette);
    ASSERT_TRUE(end) << Describe(end);
    EXPECT_EQ(end->argb, middle->argb);
    EXPECT_EQ(middle->At(0, 0), 0x00000000U);  // tile byte 0 is 0x00: transparent
    EXPECT_TRUE(std::any_of(middle->argb.begin(), middle->argb.end(), Opaque));

    auto lastByte = ReadItemIcon(rom, builder.Size() - 1, builder.Size() - 1);
    EXPECT_TRUE(lastByte) << Describe(lastByte);
    auto pastEnd = ReadItemIcon(rom, builder.Size() + 100, builder.Size());
    ASSERT_TRUE(pastEnd) << Describe(pastEnd);
    EXPECT_FALSE(std::any_of(pastEnd->argb.begin(), pastEnd->argb.end(), Opaque));

    auto missing = ReadItemIcon(dir / "missing.gba", 0, 0);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::FileNotOpened);
}

}  // namespace
}  // namespace quillbox::test
