#include "ItemTestSupport.h"

#include "items/record/IconTransfer.h"
#include "items/opening/TableCheck.h"
#include "items/opening/TableDetection.h"
#include "base/HexText.h"
#include "rom/PointerScan.h"
#include "rom/TableFinder.h"
#include "sample/SampleRom.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quillbox::test {
namespace {

// The fixture's own offsets; a row's line goes before them, and the first key of a name wins.
constexpr std::string_view kFixtureKeys = "ItemData=&H1000\nAttackNames=&H5200\nTMData=&H6400\nIMGData=&H6500\n";

enum class Attempt { None, TmMove, ImageRepoint };

struct BadOffsetRow {
    const char* name;
    std::string line;                     // put before the fixture's keys
    std::optional<Byte> headerFill;       // the header code's four bytes all set to this
    std::optional<ErrorCode> openRefusal; // opening is refused with this
    std::string messagePart;              // in the refusal or in a warning
    Attempt attempt = Attempt::None;      // a write that must be refused, leaving the file as it was
};

void PrintTo(const BadOffsetRow& row, std::ostream* out) { *out << row.name; }

class BadOffsetTest : public ::testing::TestWithParam<BadOffsetRow> {};

TEST_P(BadOffsetTest, IsReportedAndNeverWrittenThrough)
{
    const BadOffsetRow& row = GetParam();
    RomBuilder builder("BPRE");
    if (row.headerFill) builder.Fill(0xAC, 4, *row.headerFill);
    builder.ProfileText("[BPRE]\n" + row.line + "\n" + std::string(kFixtureKeys));
    TempDir dir;
    const auto rom = builder.Write(dir);
    const Bytes before = ReadFile(rom);

    auto opened = OpenRom(rom, RomBuilder::ProfilePath(dir));
    if (row.openRefusal) {
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, *row.openRefusal);
        EXPECT_TRUE(opened.error().message.contains(row.messagePart)) << opened.error().message;
        EXPECT_EQ(ReadFile(rom), before);
        return;
    }
    ASSERT_TRUE(opened) << Describe(opened);
    ASSERT_EQ(opened->warnings.size(), 1U);
    EXPECT_TRUE(opened->warnings.front().contains(row.messagePart)) << opened->warnings.front();

    Status written;
    if (row.attempt == Attempt::TmMove) {
        written = SaveItem(opened->state, 300, EditOf(&ItemEdit::tmMove, 7), {});
    } else if (row.attempt == Attempt::ImageRepoint) {
        written = RepointItemImage(opened->state, 3, "8010", "8010");
    }
    if (row.attempt != Attempt::None) {
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().code, ErrorCode::TablesDisagree);
    }
    if (row.attempt == Attempt::ImageRepoint) {
        const auto imported = PlanIconImport(opened->state, 3, IndexedIcon{}, RomImage{});
        ASSERT_FALSE(imported);
        EXPECT_EQ(imported.error().code, ErrorCode::TablesDisagree);
    }
    // Other fields of the item table stay writable.
    EXPECT_TRUE(SaveItem(opened->state, 3, EditOf(&ItemEdit::price, 77), {}));
    EXPECT_EQ(DifferingOffsets(before, ReadFile(rom)).size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, BadOffsetTest,
    ::testing::Values(
        BadOffsetRow{"ItemDataPastTheEnd", "ItemData=&H20000", {}, ErrorCode::RomTooShort, "the item table"},
        BadOffsetRow{"ItemDataNamingNoTable", "ItemData=&H9100", {}, ErrorCode::TablesDisagree, "ItemData 9100"},
        BadOffsetRow{"ItemCountZero", "ItemCount=0", {}, ErrorCode::BadValue, "ItemCount 0"},
        BadOffsetRow{"ItemCountAbsurd", "ItemCount=100000", {}, ErrorCode::BadValue, "ItemCount 100000"},
        BadOffsetRow{"ItemCountPastTheEnd", "ItemCount=2000", {}, ErrorCode::RomTooShort, "the item table"},
        BadOffsetRow{"HeaderAllZero", "", Byte{0x00}, ErrorCode::UnsupportedRom, "not four printable characters"},
        BadOffsetRow{"HeaderAllFF", "", Byte{0xFF}, ErrorCode::UnsupportedRom, "not four printable characters"},
        BadOffsetRow{"AttackNamesNamingNoTable", "AttackNames=&H9100", {}, {}, "AttackNames 9100"},
        BadOffsetRow{"TmDataNamingNoTable", "TMData=&H9100", {}, {}, "TMData 9100", Attempt::TmMove},
        BadOffsetRow{"ImgDataNamingNoTable", "IMGData=&H9100", {}, {}, "IMGData 9100", Attempt::ImageRepoint}),
    [](const ::testing::TestParamInfo<BadOffsetRow>& row) { return std::string(row.param.name); });

// Real ROMs hold many tables of 58 move numbers that words name (battle-message ids, Pokédex
// orders, move groups); the check at opening takes none of them for the TM/HM list.
TEST(TmListCheckTest, RefusesEveryLookAlikeOfTheSamples)
{
    for (const std::string_view code : kKnownHeaderCodes) {
        SCOPED_TRACE(code);
        auto rom = BuildSampleRom(code);
        auto tables = SampleTablesFor(code);
        ASSERT_TRUE(rom && tables);
        const auto bytes = [&](std::int64_t at) { return std::span<const Byte>(*rom).subspan(static_cast<std::size_t>(at), 116); };
        EXPECT_TRUE(LooksLikeTmMoves(bytes(tables->tmData)));
        const PointerTargets pointers = ScanPointers(*rom);
        int lookAlikes = 0;
        for (const std::uint32_t at : pointers.Offsets()) {
            if (std::cmp_equal(at, tables->tmData) || at % 2 != 0 || CountMoveNumbers(*rom, at, kTmMoveCount) != kTmMoveCount) continue;
            ++lookAlikes;
            EXPECT_FALSE(LooksLikeTmMoves(bytes(at))) << NumberToHex(at);
        }
        EXPECT_GE(lookAlikes, 10);
    }
}

// ItemCount lists every record of an enlarged table, and reads and saves reach its last one.
TEST(EnlargedTableTest, EveryItemIsListedAndWritable)
{
    constexpr int kCount = 400;
    RomBuilder builder("BPEE", 0x20000, 0x00, FixtureTables{0x1000, 0xA000, 0xB400, 0xB500});
    for (int position = 377; position < kCount; ++position) {
        builder.PutLe16(builder.Entry(position) + 14, static_cast<std::uint16_t>(position));
        builder.PutPointer(builder.Entry(position) + 20, RomBuilder::kDefaultDescription);
    }
    builder.ProfileLines("ItemCount=" + std::to_string(kCount) + "\n");
    TempDir dir;
    const auto rom = builder.Write(dir);
    auto opened = OpenRom(rom, RomBuilder::ProfilePath(dir));
    ASSERT_TRUE(opened) << Describe(opened);
    EXPECT_EQ(opened->itemNames.size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(opened->state.ItemCount(), kCount);

    const Bytes before = ReadFile(rom);
    ASSERT_TRUE(SaveItem(opened->state, kCount - 1, EditOf(&ItemEdit::price, 0x1234), {}));
    const auto changed = DifferingOffsets(before, ReadFile(rom));
    ASSERT_EQ(changed.size(), 2U);
    EXPECT_EQ(static_cast<std::int64_t>(changed.front()), builder.Entry(kCount - 1) + 16);
    EXPECT_EQ(ReadItem(opened->state, kCount).error().code, ErrorCode::NoSuchItem);
    auto names = ListItemNames(opened->state);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), static_cast<std::size_t>(kCount));
}

// A Japanese release keeps its names and descriptions as they are; its numbers stay editable.
TEST(JapaneseReleaseTest, TextEditsAreRefusedAndOtherFieldsSaved)
{
    RomBuilder builder("BPRJ");
    TempDir dir;
    const auto rom = builder.Write(dir);
    const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    const Bytes before = ReadFile(rom);
    for (const ItemEdit& edit : {EditOf(&ItemEdit::name, U"Potion"), EditOf(&ItemEdit::description, U"A")}) {
        const Status saved = SaveItem(state, 1, edit, {RomBuilder::kDefaultDescription, 2});
        ASSERT_FALSE(saved);
        EXPECT_EQ(saved.error().code, ErrorCode::TextNotEditable);
        EXPECT_EQ(ReadFile(rom), before);
    }
    EXPECT_TRUE(SaveItem(state, 1, EditOf(&ItemEdit::price, 9), {}));
}

// Opening a hack with the shipped profile says where the game reads its items; the found tables
// list every item of the enlarged table and save there.
struct SampleRow {
    std::string_view headerCode;
    int version;
    std::int64_t size = kSampleRomSize;
};

void PrintTo(const SampleRow& row, std::ostream* out)
{
    *out << row.headerCode << row.version << " hack of " << row.size << " bytes";
}

class DetectHackTest : public ::testing::TestWithParam<SampleRow> {};

TEST_P(DetectHackTest, FindsTheTablesTheGameReads)
{
    const SampleRow& row = GetParam();
    const SampleOptions options{row.version, true, std::nullopt, row.size};
    TempDir dir;
    const auto rom = dir / "sample.gba";
    ASSERT_TRUE(WriteSampleRom(rom, row.headerCode, options));
    auto placed = SampleTablesFor(row.headerCode, options);
    ASSERT_TRUE(placed);

    auto detected = DetectTables(rom);
    ASSERT_TRUE(detected) << detected.error().message;
    ASSERT_TRUE(CheckDetectedTables(*detected));
    const ProfileTables found = detected->Tables();
    EXPECT_EQ(found.itemData, placed->itemData);
    EXPECT_EQ(found.attackNames, placed->attackNames);
    EXPECT_EQ(found.tmData, placed->tmData);
    EXPECT_EQ(found.imgData, placed->imgData);
    EXPECT_EQ(found.itemCount.value_or(detected->family->itemCount), placed->itemCount);

    auto shipped = OpenRom(rom, ShippedProfile());
    ASSERT_TRUE(shipped) << Describe(shipped);
    EXPECT_EQ(shipped->gameItemTable, placed->itemData);
    auto opened = OpenRom(rom, OpenOptions{{ShippedProfile(), {}}, found});
    ASSERT_TRUE(opened) << Describe(opened);
    EXPECT_TRUE(opened->origin.detected);
    EXPECT_EQ(opened->itemNames.size(), static_cast<std::size_t>(placed->itemCount));
    const Bytes before = ReadFile(rom);
    ASSERT_TRUE(SaveItem(opened->state, placed->itemCount - 1, EditOf(&ItemEdit::price, 4321), {}));
    const std::int64_t price = placed->itemData + std::int64_t{44} * (placed->itemCount - 1) + 16;
    const auto changed = DifferingOffsets(before, ReadFile(rom));
    ASSERT_FALSE(changed.empty());
    for (const std::size_t offset : changed) {
        EXPECT_TRUE(std::cmp_greater_equal(offset, price) && std::cmp_less(offset, price + 2)) << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DetectHackTest,
    ::testing::Values(SampleRow{"BPRE", 0},
                      SampleRow{"BPGE", 1}, SampleRow{"BPEE", 0}, SampleRow{"AXVE", 2},
                      SampleRow{"AXPE", 0}, SampleRow{"BPEE", 0, 32 * 1024 * 1024},
                      SampleRow{"AXVE", 0, 32 * 1024 * 1024}),
    [](const ::testing::TestParamInfo<SampleRow>& row) {
        return std::string(row.param.headerCode) + std::to_string(row.param.version) + "Hack" +
               (row.param.size == kSampleRomSize ? "" : "Of" + std::to_string(row.param.size >> 20) + "MiB");
    });

}  // namespace
}  // namespace quillbox::test
