#include "SpaceFixture.h"

#include "items/record/RomSpace.h"
#include "items/record/Sharing.h"

namespace quillbox::test {
namespace {

std::vector<int> Matching(int position, const std::function<bool(int)>& uses)
{
    std::vector<int> items;
    for (int other = 0; other < 375; ++other) {
        if (other != position && uses(other)) items.push_back(other);
    }
    return items;
}

TEST(SharingTest, NamesTheOtherItemsAndCountsTheOtherPointers)
{
    SpaceFixture fixture;
    auto pointers = ReadItemPointers(fixture.State());
    ASSERT_TRUE(pointers) << Describe(pointers);
    auto rom = ReadRomImage(fixture.State());
    ASSERT_TRUE(rom) << Describe(rom);
    for (int position : {0, 10, 11, 12, 13, 40, 374}) {
        SCOPED_TRACE(position);
        const bool grouped = SpaceFixture::kSharedGroup.contains(position);
        const ItemSharing sharing = FindSharing(*pointers, &rom->targets, position);
        EXPECT_EQ(sharing.description.offset, SpaceFixture::Description(grouped ? 10 : position));
        EXPECT_EQ(sharing.description.items,
                  Matching(position, [&](int other) { return grouped && SpaceFixture::kSharedGroup.contains(other); }));
        EXPECT_EQ(sharing.description.otherPointers, grouped ? 1u : 0u);

        ASSERT_TRUE(sharing.image && sharing.palette);
        const int image = position % SpaceFixture::kImageCount;
        const int palette = position % SpaceFixture::kPaletteCount;
        EXPECT_EQ(sharing.image->offset, SpaceFixture::Image(image));
        EXPECT_EQ(sharing.image->items, Matching(position, [&](int other) { return other % SpaceFixture::kImageCount == image; }));
        EXPECT_EQ(sharing.palette->items,
                  Matching(position, [&](int other) { return other % SpaceFixture::kPaletteCount == palette; }));
        EXPECT_EQ(sharing.palette->otherPointers, 0u);
        EXPECT_EQ(sharing.ImageSharedWith(), Matching(position, [&](int other) {
                      return other % SpaceFixture::kImageCount == image || other % SpaceFixture::kPaletteCount == palette;
                  }));
    }
}

struct PlaceCase {
    std::string name;
    bool image;
    std::int64_t offset;
    PlaceUse::Kind kind;
    std::vector<int> items;
};

void PrintTo(const PlaceCase& row, std::ostream* out) { *out << row.name; }

class PlaceUseTest : public ::testing::TestWithParam<PlaceCase> {};

// What a place held, as seen from item 40 (own description, image 5, palette 1).
TEST_P(PlaceUseTest, TellsFreeSharedAndUnusedPlacesApart)
{
    const PlaceCase& row = GetParam();
    SpaceFixture fixture;
    auto rom = ReadRomImage(fixture.State());
    ASSERT_TRUE(rom);
    const ItemPointers pointers = ItemPointersFromRom(fixture.State(), rom->bytes);
    const PlaceUse use = row.image ? DescribeImagePlace(rom->bytes, rom->targets, pointers, row.offset, 40)
                                   : DescribeDescriptionPlace(rom->bytes, rom->targets, pointers, row.offset, 40);
    EXPECT_EQ(use.kind, row.kind);
    EXPECT_EQ(use.items, row.items);
}

INSTANTIATE_TEST_SUITE_P(
    Places, PlaceUseTest,
    ::testing::Values(
        PlaceCase{"FreeBytes", false, SpaceFixture::kFree + 0x100, PlaceUse::Kind::Free, {}},
        PlaceCase{"SharedText", false, SpaceFixture::Description(10), PlaceUse::Kind::UsedByItems, {10, 11, 12}},
        PlaceCase{"EndMarkOfAText", false, SpaceFixture::Description(13) + 1, PlaceUse::Kind::UsedByItems, {13}},
        PlaceCase{"OwnTextOnly", false, SpaceFixture::Description(40), PlaceUse::Kind::UnusedData, {}},
        PlaceCase{"DataNoItemUses", false, SpaceFixture::kStrayWord, PlaceUse::Kind::UnusedData, {}},
        PlaceCase{"ImageOfOthers", true, SpaceFixture::Image(3), PlaceUse::Kind::UsedByItems,
                  [] { std::vector<int> v; for (int i = 3; i < 375; i += 7) v.push_back(i); return v; }()},
        PlaceCase{"FreeForAnImage", true, SpaceFixture::kFree + 0x40, PlaceUse::Kind::Free, {}},
        PlaceCase{"ItemTableIsNoImage", true, 0x1000, PlaceUse::Kind::UnusedData, {}}),
    [](const ::testing::TestParamInfo<PlaceCase>& row) { return row.param.name; });

}  // namespace
}  // namespace quillbox::test
