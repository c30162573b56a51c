// New items: which id a new item takes, and the bytes an addition writes, compared whole against
// what each write must be.
#include "ItemTestSupport.h"

#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "items/addition/ItemAddition.h"
#include "items/effect/ItemEffects.h"
#include "items/opening/TableDetection.h"
#include "items/record/ItemTable.h"
#include "rom/History.h"
#include "sample/SampleRom.h"
#include "support/PngFiles.h"

#include <algorithm>

namespace quillbox::test {
namespace {

constexpr std::uint32_t kRom = 0x08000000u;

struct IdCase {
    std::string_view name;
    ItemRole role;
    int count;
    std::optional<int> id;
    std::vector<int> expected;  // empty: refused
    std::string_view says = {};
};

class ChooseIds : public ::testing::TestWithParam<IdCase> {};

TEST_P(ChooseIds, TakesTheFirstUnusedIdThatSuitsTheRole)
{
    const IdCase& c = GetParam();
    // Unused ids of the kinds the released tables have: inside the item-effect table, past it,
    // and in the TM/HM range past HM08.
    const std::vector<int> unused{52, 53, 72, 176, 226, 347};
    std::vector<Text> names(375, U"????????");
    names[13] = U"POTION";
    auto chosen = ChooseItemIds(unused, c.role, c.count, c.id, 375, names);
    if (c.expected.empty()) {
        ASSERT_FALSE(chosen);
        EXPECT_EQ(chosen.error().code, ErrorCode::NoItemId);
        EXPECT_NE(chosen.error().message.find(c.says), std::string::npos) << chosen.error().message;
    } else {
        ASSERT_TRUE(chosen) << chosen.error().message;
        EXPECT_EQ(*chosen, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roles, ChooseIds,
    ::testing::Values(IdCase{"Medicine", ItemRole::Effect, 1, {}, {52}},
                      IdCase{"MedicineTakesOnlyEffectIds", ItemRole::Effect, 3, {}, {52, 53, 72}},
                      IdCase{"MoreMedicineThanIds", ItemRole::Effect, 4, {}, {}, "3 unused ids can be"},
                      IdCase{"HeldItemPastTheEffectTableFirst", ItemRole::General, 2, {}, {176, 226}},
                      IdCase{"HeldItemsThenEffectIds", ItemRole::General, 3, {}, {52, 176, 226}},
                      IdCase{"TmNeedsTheTmRange", ItemRole::TmHm, 1, {}, {}, "no unused id can be a TM or HM"},
                      IdCase{"TmAtAnUnusedTmId", ItemRole::TmHm, 1, 347, {}, "cannot be a TM or HM"},
                      IdCase{"BallNeedsTheBallRange", ItemRole::Ball, 1, {}, {}, "Poke Ball"},
                      IdCase{"NamedUnusedId", ItemRole::Effect, 1, 72, {72}},
                      IdCase{"NamedIdInUse", ItemRole::General, 1, 13, {}, "item 13 is POTION"},
                      IdCase{"NamedIdPastTheEffectTable", ItemRole::Effect, 1, 176, {}, "these unused ids can: 52, 53, 72"},
                      IdCase{"NamedIdPastTheTable", ItemRole::General, 1, 400, {}, "no item 400"},
                      IdCase{"ListEnd", ItemRole::General, 1, 0xFFFF, {}, "no item 65535"}),
    [](const auto& param) { return std::string(param.param.name); });

class AddItemSample : public ::testing::TestWithParam<GameCase> {};

// The record the new item must have: the model's, with its own name, index and description.
Bytes ExpectedRecord(const Bytes& rom, const RomState& state, int model, int id, std::string_view name, std::uint32_t description)
{
    const auto at = static_cast<std::size_t>(state.itemTableOffset + kItemRecordSize * model);
    Bytes record(rom.begin() + static_cast<std::ptrdiff_t>(at), rom.begin() + static_cast<std::ptrdiff_t>(at + kItemRecordSize));
    Bytes encoded = EncodeGameText(FromUtf8(name));
    encoded.resize(kItemNameSize, 0xFF);
    std::copy(encoded.begin(), encoded.end(), record.begin());
    PutLittleEndian(record, 14, static_cast<std::uint32_t>(id), 2);
    PutLittleEndian(record, 20, description, 4);
    return record;
}

TEST_P(AddItemSample, AMedicineLandsInAnUnusedEffectIdWithItsOwnCopiesAndUndoesToTheByte)
{
    TempDir dir;
    const OpenedRom opened = OpenSample(dir, GetParam().headerCode);
    const RomState& state = opened.state;
    const Bytes before = ReadFile(state.romPath);
    NewItemRequest request;
    request.like = 13;
    request.name = U"MEGA POTION";
    auto added = AddItems(state, request);
    ASSERT_TRUE(added) << added.error().message;
    ASSERT_EQ(added->positions, std::vector<int>{52});
    const Bytes after = ReadFile(state.romPath);

    // Every byte that changed belongs to one of the writes the new item needs, and each holds
    // exactly what it must.
    Bytes expected = before;
    const auto entry = static_cast<std::size_t>(state.itemTableOffset + kItemRecordSize * 52);
    const std::uint32_t description = ReadLe32(after, entry + 20);
    const auto descriptionAt = static_cast<std::size_t>(description - kRom);
    const Bytes text = EncodeDescription(ReadItem(state, 13)->description);
    ASSERT_GE(descriptionAt, static_cast<std::size_t>(state.itemTableOffset) + kItemRecordSize * 375);
    std::copy(text.begin(), text.end(), expected.begin() + static_cast<std::ptrdiff_t>(descriptionAt));
    const Bytes record = ExpectedRecord(before, state, 13, 52, "MEGA POTION", description);
    std::copy(record.begin(), record.end(), expected.begin() + static_cast<std::ptrdiff_t>(entry));
    if (GetParam().hasImages) {
        const auto icons = static_cast<std::size_t>(state.imageTableOffset);
        std::copy_n(before.begin() + static_cast<std::ptrdiff_t>(icons + 8 * 13), 8, expected.begin() + static_cast<std::ptrdiff_t>(icons + 8 * 52));
    }
    auto effect = ReadItemEffect(state, 13);
    ASSERT_TRUE(effect);
    // LeafGreen's item-effect table is not in the shipped profile: no effect is read or written.
    if (state.itemEffectsKnown) {
    const auto effectEntry = static_cast<std::size_t>(state.itemEffectsOffset) + 4 * (52 - 13);
    const auto modelRecord = static_cast<std::size_t>(ReadLe32(before, static_cast<std::size_t>(state.itemEffectsOffset)) - kRom);
    const auto newRecord = static_cast<std::size_t>(ReadLe32(after, effectEntry) - kRom);
    EXPECT_NE(newRecord, modelRecord);
    std::copy_n(before.begin() + static_cast<std::ptrdiff_t>(modelRecord), effect->length, expected.begin() + static_cast<std::ptrdiff_t>(newRecord));
    PutLittleEndian(expected, effectEntry, static_cast<std::uint32_t>(newRecord) + kRom, 4);
    }
    EXPECT_EQ(DifferingOffsets(expected, after), std::vector<std::size_t>{});

    auto shown = ReadItem(state, 52);
    ASSERT_TRUE(shown);
    EXPECT_EQ(U8(shown->name), "MEGA POTION");
    EXPECT_EQ(shown->description, ReadItem(state, 13)->description);
    EXPECT_EQ(ReadItemEffect(state, 52)->effect, effect->effect);

    auto history = ReadHistory(state.romPath);
    ASSERT_TRUE(history);
    ASSERT_EQ(history->entries.size(), 1u);
    EXPECT_EQ(DescribeChange(history->entries.front().label), "Add Item of MEGA POTION");
    ASSERT_TRUE(UndoChange(state.romPath));
    EXPECT_EQ(DifferingOffsets(before, ReadFile(state.romPath)), std::vector<std::size_t>{});
}

INSTANTIATE_TEST_SUITE_P(Games, AddItemSample, ::testing::ValuesIn(kGameCases), GameCaseName);

struct Refusal {
    std::string_view name;
    void (*change)(NewItemRequest&);
    ErrorCode code;
    std::string_view field;
};

class AddItemRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(AddItemRefusal, SaysWhyAndWritesNothing)
{
    TempDir dir;
    const OpenedRom opened = OpenSample(dir, "BPRE");
    const Bytes before = ReadFile(opened.state.romPath);
    NewItemRequest request;
    request.like = 13;
    GetParam().change(request);
    auto added = AddItems(opened.state, request);
    ASSERT_FALSE(added);
    EXPECT_EQ(added.error().code, GetParam().code) << added.error().message;
    EXPECT_EQ(added.error().field, GetParam().field) << added.error().message;
    EXPECT_TRUE(added.error().fileUnchanged);
    EXPECT_EQ(DifferingOffsets(before, ReadFile(opened.state.romPath)), std::vector<std::size_t>{});
    EXPECT_FALSE(std::filesystem::exists(HistoryPathOf(opened.state.romPath)));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, AddItemRefusal,
    ::testing::Values(Refusal{"Tm", [](NewItemRequest& r) { r.like = 300; }, ErrorCode::NoItemId, "id"},
                      Refusal{"Ball", [](NewItemRequest& r) { r.like = 4; }, ErrorCode::NoItemId, "id"},
                      Refusal{"IdInUse", [](NewItemRequest& r) { r.id = 14; }, ErrorCode::NoItemId, "id"},
                      Refusal{"PocketZero", [](NewItemRequest& r) { r.pocket = 0; }, ErrorCode::BadValue, "pocket"},
                      Refusal{"UnknownPocket", [](NewItemRequest& r) { r.pocket = 9; }, ErrorCode::BadValue, "pocket"},
                      Refusal{"TmCaseForMedicine", [](NewItemRequest& r) { r.pocket = 4; }, ErrorCode::BadValue, "pocket"},
                      Refusal{"NameTooLong", [](NewItemRequest& r) { r.name = U"FOURTEEN CHARS"; }, ErrorCode::NameTooLong, "name"},
                      Refusal{"UnknownCharacter", [](NewItemRequest& r) { r.name = U"POT\u4E00"; }, ErrorCode::UnknownCharacters, "name"},
                      Refusal{"MissingIcon", [](NewItemRequest& r) { r.icon = "no such icon.png"; }, ErrorCode::BadImageFile, ""},
                      Refusal{"BallPastTheLastItem", [](NewItemRequest& r) { r.like = 4; r.append = true; }, ErrorCode::NoItemId, "id"},
                      Refusal{"TmPastTheLastItem", [](NewItemRequest& r) { r.like = 300; r.append = true; }, ErrorCode::NoItemId, "id"}),
    [](const auto& param) { return std::string(param.param.name); });

// Thirty medicines past the last item: the tables grow, every old item reads as it did, each new
// one as a copy of POTION with its own effect, the ROM opens with the new count, detect reads it
// from the game's code, and one undo gives back the file and the old count.
TEST_P(AddItemSample, ThirtyMorePastTheLastItemGrowTheTablesAndUndoWhole)
{
    TempDir dir;
    const OpenedRom opened = OpenSample(dir, GetParam().headerCode);
    const int count = opened.state.ItemCount();
    const Bytes before = ReadFile(opened.state.romPath);
    auto oldItems = ReadItemTable(opened.state);
    ASSERT_TRUE(oldItems);
    // Where the item-effect table is unknown (LeafGreen's profile lacks it) a medicine cannot
    // take an id past the last item; a held item can.
    const int like = opened.state.itemEffectsKnown ? 13 : 200;
    NewItemRequest request;
    request.like = like;
    request.count = 30;
    request.append = true;
    if (!opened.state.itemEffectsKnown) {
        NewItemRequest medicine = request;
        medicine.like = 13;
        auto refused = AddItems(opened.state, medicine);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code, ErrorCode::NoItemId);
    }
    auto added = AddItems(opened.state, request);
    ASSERT_TRUE(added) << added.error().message;
    ASSERT_TRUE(added->grown);
    EXPECT_EQ(added->positions.front(), count);
    EXPECT_EQ(added->positions.back(), count + 29);

    auto grown = OpenRom(opened.state.romPath, ShippedProfile());
    ASSERT_TRUE(grown) << grown.error().message;
    EXPECT_EQ(grown->state.ItemCount(), count + 30);
    EXPECT_EQ(grown->warnings, std::vector<std::string>{});
    EXPECT_EQ(grown->state.itemTableOffset, added->grown->itemTable);
    auto items = ReadItemTable(grown->state);
    ASSERT_TRUE(items);
    for (int position = 0; position < count; ++position) {
        const ItemView& was = (*oldItems)[static_cast<std::size_t>(position)];
        const ItemView& is = (*items)[static_cast<std::size_t>(position)];
        EXPECT_TRUE(was.name == is.name && was.price == is.price && was.description == is.description &&
                    was.imageOffsetText == is.imageOffsetText)
            << position;
    }
    const ItemView& model = (*oldItems)[static_cast<std::size_t>(like)];
    auto modelEffect = ReadItemEffect(opened.state, like);
    ASSERT_TRUE(modelEffect);
    for (const int position : added->positions) {
        const ItemView& item = (*items)[static_cast<std::size_t>(position)];
        EXPECT_EQ(item.name, model.name);
        EXPECT_EQ(item.index, position);
        EXPECT_EQ(item.description, model.description);
        EXPECT_NE(item.descriptionOffset, model.descriptionOffset);
        EXPECT_EQ(item.imageOffsetText, model.imageOffsetText);
        auto effect = ReadItemEffect(grown->state, position);
        ASSERT_TRUE(effect);
        EXPECT_EQ(effect->Available(), modelEffect->Available()) << effect->unavailable;
        EXPECT_EQ(effect->effect, modelEffect->effect);
    }
    auto detected = DetectTables(opened.state.romPath);
    ASSERT_TRUE(detected);
    EXPECT_EQ(detected->found.itemCount, count + 30);

    ASSERT_TRUE(UndoChange(opened.state.romPath));
    EXPECT_EQ(DifferingOffsets(before, ReadFile(opened.state.romPath)), std::vector<std::size_t>{});
    auto undone = OpenRom(opened.state.romPath, ShippedProfile());
    ASSERT_TRUE(undone) << undone.error().message;
    EXPECT_EQ(undone->state.ItemCount(), count);
    EXPECT_EQ(undone->warnings, std::vector<std::string>{});
}

TEST(AddItem, ACodeSiteThatIsNotTheReleasedCodeIsRefusedByNameAndNothingIsWritten)
{
    for (const SampleAlteredSite site : {SampleAlteredSite::Sanitizer, SampleAlteredSite::EffectCheck}) {
        TempDir dir;
        SampleOptions options;
        options.altered = site;
        const auto path = dir / "altered.gba";
        ASSERT_TRUE(WriteSampleRom(path, "BPRE", options));
        auto opened = OpenRom(path, ShippedProfile());
        ASSERT_TRUE(opened) << opened.error().message;
        const Bytes before = ReadFile(path);
        NewItemRequest request;
        request.like = 13;
        request.append = true;
        auto added = AddItems(opened->state, request);
        ASSERT_FALSE(added);
        EXPECT_EQ(added.error().code, ErrorCode::UnsupportedRom);
        EXPECT_NE(added.error().message.find(site == SampleAlteredSite::Sanitizer ? "sanitiser" : "check"), std::string::npos)
            << added.error().message;
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_FALSE(std::filesystem::exists(RomTablesPathOf(path)));
    }
}

TEST(AddItem, SeveralItemsShareAnImportedIconAndEachHasItsOwnDescription)
{
    TempDir dir;
    const OpenedRom opened = OpenSample(dir, "BPEE");
    const auto png = WriteFile(dir / "icon.png", IndexedPng(24, 24, 16));
    NewItemRequest request;
    request.like = 200;
    request.count = 3;
    request.icon = png;
    request.description = U"Made new.";
    auto added = AddItems(opened.state, request);
    ASSERT_TRUE(added) << added.error().message;
    ASSERT_EQ(added->positions.size(), 3u);
    std::vector<std::int64_t> descriptions;
    for (const int position : added->positions) {
        auto item = ReadItem(opened.state, position);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->description, U"Made new.");
        descriptions.push_back(item->descriptionOffset);
        EXPECT_EQ(item->imageOffsetText, ReadItem(opened.state, added->positions.front())->imageOffsetText);
        EXPECT_NE(item->imageOffsetText, ReadItem(opened.state, 200)->imageOffsetText);
        EXPECT_TRUE(ReadItemIcon(opened.state, HexToNumber(*item->imageOffsetText), HexToNumber(*item->paletteOffsetText)));
    }
    std::sort(descriptions.begin(), descriptions.end());
    EXPECT_EQ(std::adjacent_find(descriptions.begin(), descriptions.end()), descriptions.end());
}

}  // namespace
}  // namespace quillbox::test
