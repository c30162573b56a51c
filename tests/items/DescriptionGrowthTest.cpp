#include "SpaceFixture.h"

#include "items/record/DescriptionGrowth.h"

namespace quillbox::test {
namespace {

Status Save(const RomState& state, int position, const Text& description, DescriptionMove move,
            DescriptionPlacement* placed = nullptr)
{
    auto item = ReadItem(state, position);
    if (!item) return item.error();
    ItemEdit edit;
    edit.description = description;
    auto plan = PlanItemSave(state, position, edit, {item->descriptionOffset, item->descriptionRoomBytes}, move);
    if (!plan) return plan.error();
    if (placed != nullptr) *placed = plan->description;
    return ApplyToRom(state, plan->patches, {"Test", position});
}

struct GrowCase {
    std::string name;
    int position;
    std::string text;
    DescriptionMove move;
    bool moves;
    std::set<int> repointed;  // items whose pointer now names the new place
};

void PrintTo(const GrowCase& row, std::ostream* out) { *out << row.name; }

class DescriptionGrowthTest : public ::testing::TestWithParam<GrowCase> {};

// The whole file after the save is the file before with exactly the text and the pointers the
// save promised, and every item of the shared group shows what it should.
TEST_P(DescriptionGrowthTest, ChangesOnlyTheTextAndThePointers)
{
    const GrowCase& row = GetParam();
    SpaceFixture fixture;
    const Bytes before = fixture.Read();
    const Text text(row.text.begin(), row.text.end());
    const std::int64_t oldPlace = SpaceFixture::Description(SpaceFixture::kSharedGroup.contains(row.position) ? 10 : row.position);

    DescriptionPlacement placed;
    const Status saved = Save(fixture.State(), row.position, text, row.move, &placed);
    ASSERT_TRUE(saved) << Describe(saved);
    EXPECT_EQ(placed.moved, row.moves);
    EXPECT_EQ(std::set<int>(placed.repointed.begin(), placed.repointed.end()), row.repointed);

    Bytes expected = before;
    Bytes textBytes = PlainGameBytes(row.text);
    textBytes.push_back(0xFF);
    const std::int64_t place = row.moves ? placed.place.offset : oldPlace;
    if (row.moves) {
        EXPECT_NE(place, oldPlace);
        EXPECT_TRUE(WasFree(before, place, static_cast<std::int64_t>(textBytes.size())));
    }
    PutInto(expected, place, textBytes);
    for (int item : row.repointed) {
        PutInto(expected, fixture.Builder().Entry(item) + ItemField::DescPointer, PointerTo(place));
    }
    EXPECT_EQ(DifferingOffsets(expected, fixture.Read()), std::vector<std::size_t>{});

    for (int item : {10, 11, 12, row.position}) {
        auto shown = ReadItem(fixture.State(), item);
        ASSERT_TRUE(shown);
        const bool changed = item == row.position || row.repointed.contains(item) ||
                             (!row.moves && SpaceFixture::kSharedGroup.contains(item) &&
                              SpaceFixture::kSharedGroup.contains(row.position));
        EXPECT_EQ(U8(shown->description), changed ? row.text : std::string(1, static_cast<char>('A' + 10 % 26)))
            << "item " << item;
    }
}

const std::string kLong = "Three times its room";

INSTANTIATE_TEST_SUITE_P(
    Saves, DescriptionGrowthTest,
    ::testing::Values(GrowCase{"OwnTextGrowsIntoFreeSpace", 40, kLong, DescriptionMove::Relocate, true, {40}},
                      GrowCase{"OwnTextThatFitsStays", 40, "Z", DescriptionMove::Relocate, false, {}},
                      GrowCase{"SharedTextChangedForAllInPlace", 11, "Q", DescriptionMove::Relocate, false, {}},
                      GrowCase{"SharedTextGrowsForAll", 11, kLong, DescriptionMove::Relocate, true, {10, 11, 12}},
                      GrowCase{"SharedTextOwnCopy", 11, "Q", DescriptionMove::OwnCopy, true, {11}},
                      GrowCase{"SharedTextGrowsAsOwnCopy", 12, kLong, DescriptionMove::OwnCopy, true, {12}}),
    [](const ::testing::TestParamInfo<GrowCase>& row) { return row.param.name; });

}  // namespace
}  // namespace quillbox::test
