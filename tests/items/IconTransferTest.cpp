#include "SpaceFixture.h"

#include "items/record/DescriptionGrowth.h"
#include "items/record/IconTransfer.h"
#include "support/PngFiles.h"

#include <functional>

namespace quillbox::test {
namespace {

Result<IconPixels> IconOf(const RomState& state, int position)
{
    auto offsets = ReadImageOffsets(state, position);
    if (!offsets) return offsets.error();
    return ReadItemIcon(state, std::stoll(offsets->imageOffsetText, nullptr, 16),
                        std::stoll(offsets->paletteOffsetText, nullptr, 16));
}

Status Import(const RomState& state, int position, const std::filesystem::path& png, IconImportPlan* planned = nullptr)
{
    auto plan = PlanIconImport(state, position, png);
    if (!plan) return plan.error();
    if (planned != nullptr) *planned = *plan;
    return ApplyToRom(state, plan->patches, {"Test", position});
}

// An icon exported from one item and imported onto another draws the same pixels there, comes
// back out as the same picture, and the file changes only in free space and the two pointers.
TEST(IconTransferTest, ExportedIconImportedElsewhereDrawsTheSame)
{
    SpaceFixture fixture;
    TempDir dir;
    const RomState& state = fixture.State();
    ASSERT_TRUE(ExportItemIcon(state, 3, dir / "three.png"));
    auto original = IconOf(state, 3);
    auto neighbourBefore = IconOf(state, 4 + SpaceFixture::kImageCount);
    ASSERT_TRUE(original && neighbourBefore);
    const Bytes before = fixture.Read();

    IconImportPlan plan;
    const Status imported = Import(state, 4, dir / "three.png", &plan);
    ASSERT_TRUE(imported) << Describe(imported);

    auto drawn = IconOf(state, 4);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->argb, original->argb);
    EXPECT_EQ(IconOf(state, 4 + SpaceFixture::kImageCount)->argb, neighbourBefore->argb);

    EXPECT_TRUE(WasFree(before, plan.imageOffset, plan.size));
    Bytes expected = before;
    PutInto(expected, plan.imageOffset, plan.patches[0].bytes);
    PutInto(expected, fixture.Builder().ImageEntry(4), PointerTo(plan.imageOffset));
    PutInto(expected, fixture.Builder().ImageEntry(4) + 4, PointerTo(plan.paletteOffset));
    EXPECT_EQ(DifferingOffsets(expected, fixture.Read()), std::vector<std::size_t>{});
    EXPECT_EQ(plan.paletteOffset % 4, 0);

    ASSERT_TRUE(ExportItemIcon(state, 4, dir / "four.png"));
    EXPECT_EQ(ReadFile(dir / "four.png"), ReadFile(dir / "three.png"));

    // A second import lands beside the first, not over it.
    IconImportPlan second;
    ASSERT_TRUE(Import(state, 5, dir / "three.png", &second));
    EXPECT_GE(second.imageOffset, plan.imageOffset + plan.size + kFreeSpaceMargin);
    EXPECT_EQ(IconOf(state, 4)->argb, original->argb);
}

struct RefusalCase {
    std::string name;
    std::string headerCode;
    std::string profileLines;
    std::function<Status(const SpaceFixture&, const TempDir&)> act;
    ErrorCode code;
    std::string fragment;
};

void PrintTo(const RefusalCase& row, std::ostream* out) { *out << row.name; }

Status SaveLonger(const SpaceFixture& fixture, DescriptionMove move)
{
    ItemEdit edit;
    edit.description = U"Three times its room";
    auto plan = PlanItemSave(fixture.State(), 40, edit, {SpaceFixture::Description(40), 2}, move);
    if (!plan) return plan.error();
    return ApplyToRom(fixture.State(), plan->patches, {"Test", 40});
}

Status ImportFile(const SpaceFixture& fixture, const TempDir& dir, const Bytes& png)
{
    return Import(fixture.State(), 4, WriteFile(dir / "icon.png", png));
}

Bytes IconPng()
{
    std::vector<std::uint32_t> argb(kIconSize * kIconSize);
    for (std::size_t i = 0; i < argb.size(); ++i) argb[i] = i % 5 == 0 ? 0u : 0xFF102030u + static_cast<std::uint32_t>(i % 3) * 0x80;
    return *EncodePng(kIconSize, kIconSize, argb);
}

class SpaceRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// Each refusal says why and leaves every byte of the ROM as it was.
TEST_P(SpaceRefusalTest, SaysWhyAndWritesNothing)
{
    const RefusalCase& row = GetParam();
    SpaceFixture fixture(row.headerCode, row.profileLines);
    TempDir dir;
    // Anything the case does to the file before the operation is part of "before".
    Bytes before = fixture.Read();
    const Status status = row.act(fixture, dir);
    if (row.code == ErrorCode::RomChanged) before.push_back(0);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, row.code);
    EXPECT_NE(status.error().message.find(row.fragment), std::string::npos) << status.error().message;
    EXPECT_EQ(fixture.Read(), before);
}

const auto kGrown = [](const SpaceFixture& fixture, const TempDir&) { return SaveLonger(fixture, DescriptionMove::Relocate); };

INSTANTIATE_TEST_SUITE_P(
    Refusals, SpaceRefusalTest,
    ::testing::Values(
        RefusalCase{"LongerTextNotAllowedToMove", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir&) { return SaveLonger(f, DescriptionMove::None); },
                    ErrorCode::DescriptionTooLong, "more than the 2"},
        RefusalCase{"NoFreeRunLargeEnough", "BPRE", "FreeSpaceStart=&HFFD0\n", kGrown, ErrorCode::NoFreeSpace, "21 bytes"},
        RefusalCase{"FreeSpaceStartPastTheEnd", "BPRE", "FreeSpaceStart=&H10000\n", kGrown, ErrorCode::PastEndOfFile,
                    "FreeSpaceStart 10000"},
        RefusalCase{"IconRomChangedOnDisk", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) {
                        Bytes grown = f.Read();
                        grown.push_back(0);
                        WriteFile(f.Rom(), grown);
                        return ImportFile(f, d, IconPng());
                    },
                    ErrorCode::RomChanged, "now has"},
        RefusalCase{"IconWithoutRoom", "BPRE", "FreeSpaceStart=&HFFE0\n",
                    [](const SpaceFixture& f, const TempDir& d) { return ImportFile(f, d, IconPng()); },
                    ErrorCode::NoFreeSpace, "bytes are needed"},
        RefusalCase{"TruncatedPng", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) {
                        Bytes png = IconPng();
                        png.resize(png.size() / 2);
                        return ImportFile(f, d, png);
                    },
                    ErrorCode::BadImageFile, "cut short"},
        RefusalCase{"InterlacedPng", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) { return ImportFile(f, d, IndexedPng(24, 24, 4, true)); },
                    ErrorCode::BadImageFile, "interlaced"},
        RefusalCase{"PaletteOfSeventeen", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) { return ImportFile(f, d, IndexedPng(24, 24, 17)); },
                    ErrorCode::BadImageFile, "17 entries"},
        RefusalCase{"SixteenColoursAndTransparency", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) {
                        std::vector<std::uint32_t> argb(kIconSize * kIconSize, 0);
                        for (std::uint32_t i = 1; i <= 16; ++i) argb[i] = 0xFF000000u | i << 3;
                        return ImportFile(f, d, *EncodePng(kIconSize, kIconSize, argb));
                    },
                    ErrorCode::BadImageFile, "more than 15 colours"},
        RefusalCase{"OtherSize", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) { return ImportFile(f, d, IndexedPng(16, 16, 4)); },
                    ErrorCode::BadImageFile, "16 by 16"},
        RefusalCase{"UnreadablePath", "BPRE", "",
                    [](const SpaceFixture& f, const TempDir& d) { return Import(f.State(), 4, d / "nowhere.png"); },
                    ErrorCode::BadImageFile, "nowhere.png"},
        RefusalCase{"GameWithoutIcons", "AXVE", "",
                    [](const SpaceFixture& f, const TempDir& d) { return ImportFile(f, d, IconPng()); },
                    ErrorCode::NoImages, "no item images"}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

}  // namespace
}  // namespace quillbox::test
