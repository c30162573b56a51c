// What the editing session adds for a front end beside the item shown: the number a narrow list
// shows, Find Tables with its question, the comparison with another ROM, and an effect saved from
// its fields' texts.
#include "editor/EditorSession.h"
#include "items/effect/ItemEffect.h"
#include "sample/SampleRom.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <charconv>

namespace quillbox::test {
namespace {

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

ProfileFiles Profiles(const TempDir& dir) { return ProfileFiles{ShippedProfile(), dir / "user.ini"}; }

// Every entry of every coded list, in every game, stands for the value of its position: the number
// it shows alone is that value. The pocket and move lists hold names only, which have no number.
TEST(ListEntryNumberTest, IsTheValueEveryCodedEntryStandsForInEveryGame)
{
    TempDir dir;
    int coded = 0;
    for (const std::string_view code : {"BPRE", "BPGE", "BPEE", "AXVE", "AXPE"}) {
        EditorSession session;
        ASSERT_TRUE(session.Open(WriteSample(dir, code, std::string(code) + ".gba"), Profiles(dir)).opened) << code;
        for (const FormControl& control : FormControls()) {
            if (control.kind != FormControlKind::List) continue;
            const Meaning meaning = control.field != nullptr ? control.field->meaning : Meaning::None;
            const std::vector<std::string> entries = session.ListEntries(control.control, meaning);
            ASSERT_FALSE(entries.empty()) << code << ' ' << control.control;
            const bool names = control.field == nullptr || meaning == Meaning::Pocket;
            for (std::size_t position = 0; position < entries.size(); ++position) {
                const std::string number = ListEntryNumber(entries[position]);
                if (names) {
                    EXPECT_EQ(number, "") << code << ' ' << entries[position];
                    continue;
                }
                std::size_t value = 0;
                const auto read = std::from_chars(number.data(), number.data() + number.size(), value);
                EXPECT_TRUE(read.ec == std::errc{} && read.ptr == number.data() + number.size() && value == position)
                    << code << ' ' << control.control << " entry " << Quote(entries[position]) << " shows " << Quote(number);
                EXPECT_TRUE(entries[position] == number || entries[position].starts_with(number + ' ')) << entries[position];
                ++coded;
            }
        }
    }
    EXPECT_GT(coded, 5 * 256);
}

TEST(ListEntryNumberTest, NamesAloneAndTextAfterDigitsHaveNone)
{
    for (const std::string_view entry : {"", "General", "Key Items", "???", "2nd Pocket", " 5 Leftovers"}) {
        EXPECT_EQ(ListEntryNumber(entry), "") << Quote(entry);
    }
    EXPECT_EQ(ListEntryNumber("05"), "05");
    EXPECT_EQ(ListEntryNumber("43 Leftovers"), "43");
}

// Find Tables asks before it keeps anything, where the opening said the tables are kept; No keeps
// nothing, Yes keeps them beside the ROM as the opening's Yes does.
TEST(SessionFindTablesTest, AsksWhereTheyAreKeptAndKeepsThemOnlyOnYes)
{
    TempDir dir;
    const auto rom = WriteSample(dir, "BPRE");
    EditorSession session;
    EXPECT_TRUE(session.FindTables().message) << "no ROM is open";
    ASSERT_TRUE(session.Open(rom, Profiles(dir), "the place named here").opened);

    for (const bool keep : {false, true}) {
        const SessionStep found = session.FindTables();
        ASSERT_TRUE(found.question) << (found.message ? found.message->text : "");
        EXPECT_EQ(found.question->id, "keepTablesQuestion");
        EXPECT_NE(found.text.find("[BPRE]"), std::string::npos) << found.text;
        EXPECT_EQ(found.question->text,
                  found.text + "\nUse these tables? They are kept for this ROM alone, in the place named here.");
        const SessionStep answered = session.AnswerFindTables(keep);
        EXPECT_EQ(answered.declined, !keep);
        EXPECT_FALSE(answered.message) << answered.message->text;
        EXPECT_EQ(std::filesystem::exists(RomTablesPathOf(rom)), keep);
    }
    EXPECT_TRUE(session.AnswerFindTables(true).message) << "an answer needs a question first";
}

TEST(SessionDiffTest, ListsWhatASaveChangedAndRefusesWhatDoesNotOpen)
{
    TempDir dir;
    const auto rom = WriteSample(dir, "BPRE");
    const auto other = WriteSample(dir, "BPRE", "other.gba");
    EditorSession changed;
    ASSERT_TRUE(changed.Open(other, Profiles(dir)).opened);
    ASSERT_TRUE(changed.Show(3).shown);
    FormInput input;
    input.texts["price"] = "1234";
    ASSERT_TRUE(changed.Save(input).written);

    EditorSession session;
    ASSERT_TRUE(session.Open(rom, Profiles(dir)).opened);
    const SessionStep same = session.DiffWith(rom, Profiles(dir));
    EXPECT_EQ(same.changes, 0);
    EXPECT_FALSE(same.message);
    const SessionStep diff = session.DiffWith(other, Profiles(dir));
    EXPECT_EQ(diff.changes, 1) << diff.text;
    EXPECT_NE(diff.text.find("1234"), std::string::npos) << diff.text;
    const SessionStep missing = session.DiffWith(dir / "missing.gba", Profiles(dir));
    ASSERT_TRUE(missing.message);
    EXPECT_TRUE(missing.message->error);
}

// The sample's item 22 heals 50 HP with a record of its own.
TEST(SessionEffectFieldsTest, SetsTheFieldsOnWhatTheEffectHoldsAndRefusesWhatItCannotHold)
{
    TempDir dir;
    const auto rom = WriteSample(dir, "BPRE");
    EditorSession session;
    ASSERT_TRUE(session.Open(rom, Profiles(dir)).opened);
    ASSERT_TRUE(session.Show(22).shown);
    const Bytes before = ReadFile(rom);
    const SessionStep refused = session.SaveEffectFields({{"healHp", "300"}});
    ASSERT_TRUE(refused.message);
    EXPECT_TRUE(refused.message->error);
    EXPECT_EQ(ReadFile(rom), before);

    const SessionStep saved = session.SaveEffectFields({{"curesBurn", "1"}});
    ASSERT_TRUE(saved.written) << (saved.message ? saved.message->text : "");
    ASSERT_TRUE(saved.shown);
    const ItemEffect& effect = saved.shown->effect.effect;
    EXPECT_EQ(EffectFieldText(effect, *FindEffectField("healHp")), "50") << "a field not given stays";
    EXPECT_EQ(EffectFieldText(effect, *FindEffectField("curesBurn")), "1");
}

}  // namespace
}  // namespace quillbox::test
