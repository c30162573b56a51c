#include "ItemTestSupport.h"

#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemExport.h"
#include "items/record/ItemFields.h"
#include "editor/ItemForm.h"
#include "items/exchange/ItemImport.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"
#include "base/LittleEndian.h"
#include "rom/History.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace quillbox::test {
namespace {

std::uint32_t Stored(const Bytes& rom, std::int64_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | rom[static_cast<std::size_t>(at + i)];
    return value;
}

// A value the field may newly take that differs from `stored`.
std::uint32_t OtherValue(const RecordField& field, const GameFamily& family, std::uint32_t stored)
{
    if (field.knownValuesOnly) {
        for (const MeaningEntry& entry : MeaningEntries(field.meaning, family)) {
            if (static_cast<std::uint32_t>(entry.value) != stored) return static_cast<std::uint32_t>(entry.value);
        }
    }
    // Another routine: a null pointer gets one, any other another near it.
    if (field.kind == FieldKind::Pointer) return stored == 0 ? kRomBase + 0x000103 : stored ^ 0x000102;
    return (stored + 1) % (field.Maximum() + 1);
}

Status ImportJson(const OpenedRom& rom, const nlohmann::json& rows)
{
    auto plan = PlanImport(rom, rows.dump(), ExportFormat::Json);
    if (!plan) return plan.error();
    return ApplyImport(rom, *plan);
}

nlohmann::json ValueAsExported(const RecordField& field, std::uint32_t value)
{
    if (field.kind == FieldKind::Pointer) return FieldValueText(field, value);
    return value;
}

// Every field of the record the game reads is changed through import, through the form and back
// through import under its older name: exactly its bytes change, and the file comes back whole.
class RecordFieldRoundTrip : public ::testing::TestWithParam<GameCase> {};

TEST_P(RecordFieldRoundTrip, EveryFieldChangesItsOwnBytesAndBack)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, GetParam().headerCode);
    const Bytes original = ReadFile(rom.state.romPath);
    for (const int position : {13, 120, rom.state.ItemCount() - 1}) {
        const std::int64_t entry = rom.state.itemTableOffset + std::int64_t{kItemRecordSize} * position;
        for (const RecordField& field : RecordFields()) {
            if (field.kind == FieldKind::GameText) continue;
            SCOPED_TRACE(std::string(field.key) + " of item " + std::to_string(position));
            const std::uint32_t stored = Stored(original, entry + field.offset, field.width);
            const std::uint32_t changed = OtherValue(field, *rom.family, stored);
            Bytes expected = original;
            for (int i = 0; i < field.width; ++i) {
                expected[static_cast<std::size_t>(entry + field.offset + i)] = static_cast<Byte>(changed >> (8 * i));
            }

            ASSERT_TRUE(ImportJson(rom, nlohmann::json::array({{{"position", position}, {field.key, ValueAsExported(field, changed)}}})));
            EXPECT_EQ(ReadFile(rom.state.romPath), expected);

            // Back through the form, as the window and the page save it.
            auto item = ReadItem(rom.state, position);
            ASSERT_TRUE(item);
            auto routines = RoutineGroupsOf(rom.state);
            ASSERT_TRUE(routines);
            FormInput input;
            for (const auto& [control, value] : ShowItemForm(rom, *item, **routines)) {
                input.texts[control] = value.text;
                input.lists[control] = value.listPosition;
            }
            input.shownName = item->name;
            input.shownDescription = item->description;
            const auto control = std::find_if(FormControls().begin(), FormControls().end(),
                                              [&](const FormControl& each) { return each.field == &field; });
            ASSERT_NE(control, FormControls().end());
            const std::string name(control->control);
            if (control->kind == FormControlKind::List) {
                input.lists[name] = static_cast<int>(stored);
            } else {
                input.texts[name] = FieldValueText(field, stored);
            }
            auto edit = ColumnEditFromForm(input, rom, *item, **routines);
            ASSERT_TRUE(edit) << edit.error().message;
            auto patches = PlanSave(rom.state, position, edit->edit, {});
            ASSERT_TRUE(patches) << patches.error().message;
            ASSERT_TRUE(ApplyToRom(rom.state, *patches, {"Save", position}));
            EXPECT_EQ(ReadFile(rom.state.romPath), original);

            // An export of today's tool names the hold effect and the mystery values by their older
            // keys; such a file still says the same.
            if (!field.oldKey.empty()) {
                ASSERT_TRUE(ImportJson(rom, nlohmann::json::array({{{"position", position}, {field.oldKey, changed}}})));
                EXPECT_EQ(ReadFile(rom.state.romPath), expected);
                ASSERT_TRUE(ImportJson(rom, nlohmann::json::array({{{"position", position}, {field.key, stored}}})));
                EXPECT_EQ(ReadFile(rom.state.romPath), original);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGame, RecordFieldRoundTrip, ::testing::ValuesIn(kGameCases), GameCaseName);

// A CSV file as the tool wrote it before the fields took the game's names imports without a change.
TEST(RecordFieldNames, AnOlderExportImportsUnchanged)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPRE");
    auto items = ReadItemTable(rom.state);
    ASSERT_TRUE(items);
    std::string csv = "position,name,index,price,special1,special2,descriptionOffset,mystery1,mystery2,pocket,pocketName,"
                      "fieldUsageCodePointer,battleUsage,battleUsageCodePointer\n";
    for (const ItemView& item : *items) {
        csv += std::to_string(item.position) + ",\"" + U8(item.name) + "\"," + std::to_string(item.index) + "," +
               std::to_string(item.price) + "," + std::to_string(item.holdEffect) + "," + std::to_string(item.holdEffectParam) + "," +
               item.descriptionOffsetText + "," + std::to_string(item.importance) + "," + std::to_string(item.registrability) + "," +
               std::to_string(item.pocket) + "," + std::string(rom.family->pocketNames[item.pocket]) + "," +
               item.fieldUsageCodePointer + "," + std::to_string(item.battleUsage) + "," + item.battleUsageCodePointer + "\n";
    }
    auto plan = PlanImport(rom, csv, ExportFormat::Csv);
    ASSERT_TRUE(plan) << plan.error().message;
    EXPECT_TRUE(plan->changes.empty());
    // A changed old column is listed under the field's name.
    const std::string changed = "position,special1\n13,43\n";
    auto one = PlanImport(rom, changed, ExportFormat::Csv);
    ASSERT_TRUE(one) << one.error().message;
    ASSERT_EQ(one->changes.size(), 1u);
    EXPECT_EQ(one->changes.front().field, "holdEffect");
}

// What a typed value gives a field: numbers, names, both, and refusals that name the field.
TEST(RecordFieldNames, ValuesAreTakenByNumberOrName)
{
    const GameFamily& kanto = *FindGameFamily("BPR");
    struct Case {
        std::string_view key;
        std::string_view text;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"holdEffect", "43", 43},          {"holdEffect", "Leftovers", 43}, {"holdEffect", "43 leftovers", 43},
        {"special1", "leftovers", 43},     {"pocket", "Key Items", 2},      {"battleUsage", "0", 0},
        {"holdEffect", "256", std::nullopt}, {"holdEffect", "Leftover", std::nullopt}, {"price", "65536", std::nullopt},
        {"fieldUsageCodePointer", "0A16E1", 0x0A16E1}, {"fieldUsageCodePointer", "1000000", std::nullopt},
        {"secondaryId", "-1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + std::string(c.text));
        const RecordField* field = FindRecordField(c.key);
        ASSERT_NE(field, nullptr);
        auto value = ParseFieldValue(*field, kanto, c.text, field->meaning);
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value) {
            EXPECT_EQ(*value, *c.value);
        } else {
            EXPECT_EQ(value.error().field, field->key);
            EXPECT_EQ(value.error().recordOffset, field->offset);
        }
    }
}

// The words a routine pointer gets, from a table of routines and who uses them. The pointer is
// judged whole: the game calls any that is not 0.
TEST(RoutineWords, SayWhoSharesARoutine)
{
    std::vector<ItemView> items(6);
    const char* names[] = {"POTION", "SUPER POTION", "HYPER POTION", "ESCAPE ROPE", "REPEL", "ANTIDOTE"};
    const std::uint32_t routines[] = {0x080A16E1, 0x080A16E1, 0x080A16E1, 0x080A1F35, 0x080A2000, 0x08000000};
    const RecordField& field = *FindRecordField("fieldUsageCodePointer");
    for (int i = 0; i < 6; ++i) {
        ItemView& item = items[static_cast<std::size_t>(i)];
        item.position = i;
        item.name = FromUtf8(names[i]);
        field.store(item, routines[i]);
    }
    const RoutineGroups groups = RoutineGroups::Of(items);
    struct Case {
        int position;
        std::uint32_t routine;
        std::string words;
    };
    const Case cases[] = {
        {0, 0x080A16E1, "used by 3 items: POTION, SUPER POTION, HYPER POTION"},
        {3, 0x080A1F35, "no other item uses this routine"},
        {4, 0x080A2000, "not a routine in this ROM"},  // Thumb code starts at an odd address
        {4, 0, "no routine"},
        {5, 0x08000000, "not a routine in this ROM"},  // six zero digits, yet called: the ROM's header
        {5, 0x09000000, "not a routine in this ROM"},
        {0, 0x000A16E1, "not a routine in this ROM"},  // no place in the cartridge
        {0, 0x09000001, "not a routine in this ROM"},  // past the end of a 16 MiB file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.routine);
        EXPECT_EQ(DescribeRoutineUsers(groups, groups.FieldRoutineUsers(c.routine), c.position, c.routine, 0x1000000), c.words);
    }
    EXPECT_EQ(groups.FieldRoutineUsers(0x08000000).size(), 1u);
    EXPECT_TRUE(groups.FieldRoutineUsers(0).empty());
}

// Use like gives POTION the routines of ESCAPE ROPE, whose battle routine is null: the pointers
// whole, the battle usage with them, the type and secondary id they read, nothing else; and it is
// undone to the byte.
TEST(UseLike, CopiesWholeRoutinePointersBattleUsageTypeAndSecondaryIdOnly)
{
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        TempDir dir;
        const OpenedRom rom = OpenSample(dir, game.headerCode);
        const int position = 13;
        const int modelPosition = 85;
        // As in the released games, ESCAPE ROPE is not used in battle.
        ItemEdit escapeRope;
        escapeRope.battleUsage = 0;
        escapeRope.battleUsageCodePointer = "000000";
        ASSERT_TRUE(SaveItem(rom.state, modelPosition, escapeRope, {}));
        const Bytes before = ReadFile(rom.state.romPath);
        auto model = ReadItem(rom.state, modelPosition);
        ASSERT_TRUE(model);
        auto patches = PlanSave(rom.state, position, UseLike(*model), {});
        ASSERT_TRUE(patches);
        ASSERT_TRUE(ApplyToRom(rom.state, *patches, {"Use Like", position}));
        const Bytes after = ReadFile(rom.state.romPath);
        const std::int64_t entry = rom.state.itemTableOffset + std::int64_t{kItemRecordSize} * position;
        const std::int64_t modelEntry = rom.state.itemTableOffset + std::int64_t{kItemRecordSize} * modelPosition;
        for (std::size_t at = 0; at < after.size(); ++at) {
            const std::int64_t inRecord = static_cast<std::int64_t>(at) - entry;
            const bool copied = inRecord == 27 || inRecord == 32 || inRecord == 40 || (inRecord >= 28 && inRecord <= 31) ||
                                (inRecord >= 36 && inRecord <= 39);
            if (copied) {
                EXPECT_EQ(after[at], before[static_cast<std::size_t>(modelEntry + inRecord)]) << "record byte " << inRecord;
            } else if (after[at] != before[at]) {
                ADD_FAILURE() << "byte " << at << " changed";
                break;
            }
        }
        // POTION has no battle routine now, and says so: no 0x08000000 the game would call.
        EXPECT_EQ(ReadLe32(after, static_cast<std::size_t>(entry + 36)), 0u);
        auto groups = RoutineGroupsOf(rom.state);
        ASSERT_TRUE(groups);
        auto item = ReadItem(rom.state, position);
        ASSERT_TRUE(item);
        const std::uint32_t battle = FindRecordField("battleUsageCodePointer")->read(*item);
        EXPECT_EQ(DescribeRoutineUsers(**groups, (*groups)->BattleRoutineUsers(battle), position, battle, rom.state.romSize),
                  "no routine");
        ASSERT_TRUE(UndoChange(rom.state.romPath));
        EXPECT_EQ(ReadFile(rom.state.romPath), before);
    }
}

}  // namespace
}  // namespace quillbox::test
