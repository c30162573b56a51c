#include "ItemTestSupport.h"

#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemImport.h"
#include "rom/History.h"

#include <nlohmann/json.hpp>

namespace quillbox::test {
namespace {

// An amount changed in a record of its own is written in place, one byte; undo takes it back.
TEST(ItemEffectWrites, AnAmountChangesInPlace)
{
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        TempDir dir;
        const OpenedRom rom = OpenSample(dir, game.headerCode);
        const Bytes before = ReadFile(rom.state.romPath);
        auto view = ReadItemEffect(rom.state, 21);
        ASSERT_TRUE(view);
        // No public listing gives LeafGreen's table, so its shipped profile names none and the
        // effects stay unknown until detect finds it.
        if (game.headerCode == "BPGE") {
            EXPECT_FALSE(view->Available());
            continue;
        }
        ASSERT_TRUE(view->Available()) << view->unavailable;
        ASSERT_TRUE(view->sharedWith.empty());
        ItemEffect effect = view->effect;
        ASSERT_TRUE(SetEffectField(effect, "healHp", "120"));
        ASSERT_TRUE(SaveItemEffect(rom.state, 21, effect));
        const Bytes after = ReadFile(rom.state.romPath);
        const auto changed = DifferingOffsets(before, after);
        ASSERT_EQ(changed.size(), 1u);
        EXPECT_EQ(after[changed.front()], 120);
        auto reread = ReadItemEffect(rom.state, 21);
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->effect, effect);
        ASSERT_TRUE(UndoChange(rom.state.romPath));
        EXPECT_EQ(ReadFile(rom.state.romPath), before);
    }
}

// A record that grows, or that another entry shares, is written anew in free space and only the
// item's own entry moves to it: no other item's effect changes.
TEST(ItemEffectWrites, AGrownOrSharedRecordMovesAndLeavesTheOthersAlone)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPRE");
    auto views = ReadItemEffects(rom.state);
    ASSERT_TRUE(views);
    int shared = -1;
    for (const ItemEffectView& view : *views) {
        if (view.Available() && !view.sharedWith.empty()) shared = static_cast<int>(&view - views->data());
    }
    ASSERT_GE(shared, 0) << "the sample holds records two items share";
    for (const int position : {23, shared}) {
        SCOPED_TRACE(position);
        auto others = ReadItemEffects(rom.state);
        ASSERT_TRUE(others);
        const Bytes before = ReadFile(rom.state.romPath);
        const ItemEffectView& view = (*others)[static_cast<std::size_t>(position)];
        ItemEffect effect = view.effect;
        // Heal 50 HP as well (a record that already heals takes another argument instead).
        ASSERT_TRUE(SetEffectField(effect, effect.healHp ? "attackEvs" : "healHp", "50"));
        auto plan = PlanEffectSave(rom.state, position, effect);
        ASSERT_TRUE(plan) << plan.error().message;
        EXPECT_TRUE(plan->moved);
        ASSERT_TRUE(SaveItemEffect(rom.state, position, effect));

        const Bytes after = ReadFile(rom.state.romPath);
        const std::int64_t record = plan->recordOffset;
        const auto encoded = EncodeItemEffect(effect);
        ASSERT_TRUE(encoded);
        for (const std::size_t at : DifferingOffsets(before, after)) {
            const auto offset = static_cast<std::int64_t>(at);
            const bool inRecord = offset >= record && offset < record + static_cast<std::int64_t>(encoded->size());
            const bool inEntry = offset >= view.entryOffset && offset < view.entryOffset + 4;
            EXPECT_TRUE(inRecord || inEntry) << "byte " << at << " changed";
        }
        auto now = ReadItemEffects(rom.state);
        ASSERT_TRUE(now);
        for (std::size_t other = 0; other < now->size(); ++other) {
            if (static_cast<int>(other) == position) continue;
            EXPECT_EQ((*now)[other].effect, (*others)[other].effect) << "item " << other;
            EXPECT_EQ((*now)[other].recordOffset, (*others)[other].recordOffset) << "item " << other;
        }
        EXPECT_EQ((*now)[static_cast<std::size_t>(position)].effect, effect);
    }
}

// What cannot be written is refused with a message, and the file stays as it was.
TEST(ItemEffectWrites, RefusalsLeaveTheFileAlone)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "AXVE");
    const Bytes before = ReadFile(rom.state.romPath);
    RomState unknown = rom.state;
    unknown.itemEffectsKnown = false;
    ItemEffect heal;
    heal.healHp = 20;
    ItemEffect tooMany = heal;
    tooMany.attackStages = 16;
    struct Case {
        const RomState* state;
        int position;
        ItemEffect effect;
        std::string fragment;
    };
    const Case cases[] = {
        {&unknown, 13, heal, "item-effect table is unknown"},
        {&rom.state, 12, heal, "only items 13 to 175"},
        {&rom.state, 176, heal, "only items 13 to 175"},
        {&rom.state, 13, tooMany, "attackStages"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fragment);
        const Status saved = SaveItemEffect(*c.state, c.position, c.effect);
        ASSERT_FALSE(saved);
        EXPECT_NE(saved.error().message.find(c.fragment), std::string::npos) << saved.error().message;
        EXPECT_EQ(ReadFile(rom.state.romPath), before);
    }
}

// An import that changes two effects that must move gives them places of their own.
TEST(ItemEffectWrites, ImportedEffectsThatMoveLandApart)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPEE");
    const nlohmann::json rows = nlohmann::json::array({{{"position", 23}, {"effect.healHp", 50}},
                                                       {{"position", 24}, {"effect.attackEvs", 5}},
                                                       {{"position", 21}, {"effect.healHp", 120}}});
    auto plan = PlanImport(rom, rows.dump(), ExportFormat::Json);
    ASSERT_TRUE(plan) << plan.error().message;
    ASSERT_TRUE(ApplyImport(rom, *plan));
    auto views = ReadItemEffects(rom.state);
    ASSERT_TRUE(views);
    EXPECT_EQ((*views)[23].effect.healHp, std::optional<std::uint8_t>(50));
    EXPECT_EQ((*views)[24].effect.attackEvs, std::optional<std::int8_t>(5));
    EXPECT_EQ((*views)[21].effect.healHp, std::optional<std::uint8_t>(120));
    EXPECT_NE((*views)[23].recordOffset, (*views)[24].recordOffset);
}

}  // namespace
}  // namespace quillbox::test
