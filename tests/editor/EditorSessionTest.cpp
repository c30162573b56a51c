#include "editor/EditorSession.h"

#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "editor/UserTexts.h"
#include "rom/History.h"
#include "items/effect/ItemEffects.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillbox::test {
namespace {

constexpr std::int64_t kRecordSize = 44;

// A session over a sample ROM of one game, with the file's bytes as opened.
struct OpenSession {
    TempDir dir;
    EditorSession session;
    std::filesystem::path rom;
    Bytes original;

    explicit OpenSession(std::string_view code)
    {
        rom = WriteSample(dir, code);
        original = ReadFile(rom);
        const SessionStep opened = session.Open(rom, ProfileFiles{ShippedProfile(), dir / "none.ini"});
        if (!opened.opened || opened.question) throw std::runtime_error("the sample did not open");
    }

    std::int64_t Entry(int position) const
    {
        return session.State().itemTableOffset + static_cast<std::int64_t>(position) * kRecordSize;
    }
    const ShownItem& Show(int position)
    {
        shown = session.Show(position);
        if (!shown.shown) throw std::runtime_error("item " + std::to_string(position) + " could not be shown");
        return *shown.shown;
    }
    Bytes Now() const { return ReadFile(rom); }

    SessionStep shown;
};

void Put(Bytes& bytes, std::int64_t offset, std::span<const Byte> values)
{
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutLe16(Bytes& bytes, std::int64_t offset, std::uint16_t value)
{
    const Byte le[] = {static_cast<Byte>(value), static_cast<Byte>(value >> 8)};
    Put(bytes, offset, le);
}

std::int64_t PointerTarget(const Bytes& bytes, std::int64_t at)
{
    return static_cast<std::int64_t>(ReadLe32(bytes, static_cast<std::size_t>(at))) - 0x08000000;
}

// The input a front end hands over when the user changed only `texts`: every other text box and
// list as the item was shown.
FormInput InputAsShown(const ShownItem& shown, std::map<std::string, std::string, std::less<>> texts = {})
{
    FormInput input;
    for (const FormControl& control : FormControls()) {
        const FormValue& value = shown.form.at(std::string(control.control));
        if (control.kind == FormControlKind::List) {
            input.lists[std::string(control.control)] = value.listPosition;
        } else {
            input.texts[std::string(control.control)] = value.text;
        }
    }
    for (auto& [control, text] : texts) input.texts[control] = text;
    return input;
}

// Opening and showing read the file and never write it, for every game; the form shows what the
// record holds.
TEST(EditorSessionOpening, OpensAndShowsEveryGameWithoutWriting)
{
    for (const std::string_view code : {"BPRE", "BPGE", "BPEE", "AXVE", "AXPE"}) {
        SCOPED_TRACE(code);
        OpenSession open(code);
        EXPECT_EQ(static_cast<int>(open.session.ItemNames().size()), open.session.State().ItemCount());
        EXPECT_EQ(open.session.HasImages(), code.starts_with("BP"));
        for (const int position : {0, 13, open.session.State().ItemCount() - 1}) {
            const ShownItem& shown = open.Show(position);
            EXPECT_EQ(open.session.ShownPosition(), position);
            const auto entry = static_cast<std::size_t>(open.Entry(position));
            EXPECT_EQ(shown.form.at("price").text, std::to_string(ReadLe16(open.original, entry + 16)));
            EXPECT_EQ(shown.form.at("index").text, std::to_string(ReadLe16(open.original, entry + 14)));
            EXPECT_EQ(shown.icon.has_value(), open.session.HasImages());
            EXPECT_EQ(open.session.ShownName(), open.session.ItemNames()[static_cast<std::size_t>(position)]);
        }
        EXPECT_FALSE(open.session.History().undo);
        EXPECT_EQ(open.Now(), open.original);
    }
}

TEST(EditorSessionOpening, RefusesWhatIsNoRomWithTheWindowsMessages)
{
    TempDir dir;
    const auto notRom = WriteFile(dir / "notes.gba", Bytes(0x200, 0x41));
    struct Case {
        const char* name;
        std::filesystem::path path;
    };
    for (const Case& c : {Case{"no file chosen", {}}, Case{"unknown game", notRom}}) {
        SCOPED_TRACE(c.name);
        EditorSession session;
        const SessionStep step = session.Open(c.path, ProfileFiles{ShippedProfile(), dir / "none.ini"});
        EXPECT_TRUE(step.refused);
        EXPECT_FALSE(session.IsOpen());
        ASSERT_TRUE(step.message);
        EXPECT_EQ(step.message->text, kUnsupportedRom);
        EXPECT_EQ(step.message->title, kProgramTitle);
        EXPECT_EQ(session.State().romPath, c.path);
        // Nothing to show, save or undo without a ROM.
        EXPECT_FALSE(session.Show(0).shown);
        EXPECT_FALSE(session.Save({}).written);
        EXPECT_FALSE(session.Undo().written);
    }
    EXPECT_EQ(ReadFile(notRom), Bytes(0x200, 0x41));
}

// A save writes exactly the fields the user changed, after the answers it needs; a No or a
// Cancel writes nothing at all.
TEST(EditorSessionSave, WritesWhatWasChangedAfterTheAnswersItNeeds)
{
    struct Case {
        const char* name;
        std::map<std::string, std::string, std::less<>> texts;
        std::vector<SaveAnswer> answers;
        std::vector<SessionQuestion::Topic> asked;
        bool written;
    };
    using Topic = SessionQuestion::Topic;
    const std::string longText(90, 'e');
    const Case cases[] = {
        {"price, nothing to ask", {{"price", "1234"}}, {}, {}, true},
        {"index and price together", {{"price", "7"}, {"index", "300"}}, {}, {}, true},
        {"a name with a character the game lacks, Yes", {{"iname", "AB;CD"}}, {SaveAnswer::Yes}, {Topic::UnknownCharacters}, true},
        {"a name with a character the game lacks, No", {{"iname", "AB;CD"}}, {SaveAnswer::No}, {Topic::UnknownCharacters}, false},
        {"a description past its room, No", {{"descp", longText}}, {SaveAnswer::No}, {Topic::DescriptionMove}, false},
        {"a description past its room, Yes", {{"descp", longText}}, {SaveAnswer::Yes}, {Topic::DescriptionMove}, true},
        {"both questions, Yes then No",
         {{"iname", "AB;CD"}, {"descp", longText}},
         {SaveAnswer::Yes, SaveAnswer::No},
         {Topic::UnknownCharacters, Topic::DescriptionMove},
         false},
    };
    constexpr int kPosition = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenSession open("BPRE");
        const ShownItem& shown = open.Show(kPosition);
        ASSERT_LT(shown.room, static_cast<int>(longText.size()));
        SessionStep step = open.session.Save(InputAsShown(shown, c.texts));
        std::vector<Topic> asked;
        for (const SaveAnswer answer : c.answers) {
            ASSERT_TRUE(step.question);
            asked.push_back(step.question->topic);
            EXPECT_EQ(open.Now(), open.original) << "nothing is written before the last answer";
            step = open.session.AnswerSave(answer);
        }
        EXPECT_FALSE(step.question);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(step.written, c.written);
        EXPECT_EQ(step.declined, !c.written);
        EXPECT_FALSE(open.session.HasPendingSave());

        Bytes expected = open.original;
        const std::int64_t entry = open.Entry(kPosition);
        if (c.written) {
            ASSERT_TRUE(step.message);
            EXPECT_EQ(step.message->text, kItemChanged);
            ASSERT_TRUE(step.shown);
            EXPECT_EQ(step.shown->position, kPosition);
            const Bytes now = open.Now();
            for (const auto& [control, text] : c.texts) {
                if (control == "price") PutLe16(expected, entry + 16, static_cast<std::uint16_t>(std::stoi(text)));
                if (control == "index") PutLe16(expected, entry + 14, static_cast<std::uint16_t>(std::stoi(text)));
                if (control == "iname") {
                    const auto name = EncodeItemName(U"AB CD");
                    ASSERT_TRUE(name);
                    Put(expected, entry, *name);
                }
                if (control == "descp") {
                    // Moved to free space: the text there and the pointer to it; the old text stays.
                    const std::int64_t moved = PointerTarget(now, entry + 20);
                    EXPECT_NE(moved, PointerTarget(open.original, entry + 20));
                    Put(expected, entry + 20, std::span<const Byte>(now).subspan(static_cast<std::size_t>(entry + 20), 4));
                    Put(expected, moved, EncodeDescription(FromUtf8(text)));
                    EXPECT_EQ(step.shown->description, FromUtf8(text));
                }
            }
            EXPECT_EQ(now, expected);
        } else {
            EXPECT_EQ(open.Now(), expected);
        }
    }
}

// An unchanged name and description are not written again, even where the text box's form of
// them differs from the stored one; a save without changes writes no byte.
TEST(EditorSessionSave, WhatWasShownIsNotWrittenAgain)
{
    for (const int position : {0, 13, 100, 300}) {
        SCOPED_TRACE(position);
        OpenSession open("BPEE");
        const ShownItem& shown = open.Show(position);
        const SessionStep step = open.session.Save(InputAsShown(shown));
        EXPECT_FALSE(step.question);
        EXPECT_EQ(open.Now(), open.original);
    }
}

// Use like gives the item the model's two routines with its type and secondary id, named alike
// from every front end; undo and redo take it back and bring it again, byte for byte.
TEST(EditorSessionUseLike, CopiesTheRoutinesAndUndoesWhole)
{
    struct Case {
        std::string_view code;
        int position;
        int model;
    };
    for (const Case& c : {Case{"BPRE", 30, 220}, Case{"AXVE", 225, 13}, Case{"BPEE", 300, 187}}) {
        SCOPED_TRACE(c.code);
        OpenSession open(c.code);
        open.Show(c.position);
        const Text name = open.session.ShownName();
        EXPECT_EQ(open.session.UseLikeChoices().size(), open.session.ItemNames().size());
        EXPECT_NE(open.session.UseLikeQuestion().find(ToUtf8(name)), std::string::npos);

        const SessionStep used = open.session.UseLike(c.model);
        ASSERT_TRUE(used.written) << (used.message ? used.message->text : "");
        ASSERT_TRUE(used.shown);
        Bytes expected = open.original;
        const std::int64_t entry = open.Entry(c.position);
        const std::int64_t model = open.Entry(c.model);
        for (const auto& [from, count] : {std::pair{27, 1}, {28, 4}, {32, 1}, {36, 4}, {40, 1}}) {
            std::copy_n(open.original.begin() + static_cast<std::ptrdiff_t>(model + from), count,
                        expected.begin() + static_cast<std::ptrdiff_t>(entry + from));
        }
        ASSERT_TRUE(expected != open.original) << "the model's routines are another's";
        const Bytes afterUse = open.Now();
        EXPECT_EQ(afterUse, expected);
        EXPECT_EQ(used.shown->form.at("FUCP").text, open.Show(c.model).form.at("FUCP").text);

        const std::string label = "Use Like of " + ToUtf8(name);
        EXPECT_EQ(DescribeChange(ChangeLabel(UseLikeChange(c.position).operation, c.position, ToUtf8(name))), label);
        EXPECT_EQ(open.session.History().undo, label);
        const SessionStep undone = open.session.Undo();
        EXPECT_TRUE(undone.written);
        ASSERT_TRUE(undone.shown);
        EXPECT_EQ(undone.shown->position, c.position);
        EXPECT_EQ(open.Now(), open.original);
        EXPECT_EQ(open.session.History().redo, label);
        EXPECT_TRUE(open.session.Redo().written);
        EXPECT_EQ(open.Now(), afterUse);
    }
}

// Save Effect writes the plan the core makes for the effect and nothing else, and shows the item
// with its new effect; a second save of the same effect writes nothing.
TEST(EditorSessionEffect, WritesTheEffectAndShowsItAgain)
{
    for (const int position : {13, 23, 40}) {
        SCOPED_TRACE(position);
        OpenSession open("BPRE");
        const ShownItem& shown = open.Show(position);
        ASSERT_TRUE(shown.effect.Available()) << shown.effect.unavailable;
        ItemEffect effect = shown.effect.effect;
        ASSERT_TRUE(SetEffectField(effect, effect.healHp ? "attackEvs" : "healHp", "50"));
        auto plan = PlanEffectSave(open.session.State(), position, effect);
        ASSERT_TRUE(plan) << plan.error().message;
        Bytes expected = open.original;
        for (const Patch& patch : plan->patches) Put(expected, patch.offset, patch.bytes);

        const SessionStep saved = open.session.SaveEffect(effect);
        ASSERT_TRUE(saved.written);
        ASSERT_TRUE(saved.message);
        EXPECT_EQ(saved.message->text, kItemChanged);
        ASSERT_TRUE(saved.shown);
        EXPECT_EQ(saved.shown->effect.effect, effect);
        EXPECT_EQ(open.session.ShownEffect(), effect);
        EXPECT_EQ(open.Now(), expected);
        // The same effect again changes no byte and records no change.
        open.session.SaveEffect(effect);
        EXPECT_EQ(open.Now(), expected);
        EXPECT_TRUE(open.session.Undo().written);
        EXPECT_EQ(open.Now(), open.original);
        const SessionStep nothing = open.session.Undo();
        EXPECT_FALSE(nothing.written);
        EXPECT_TRUE(nothing.message && nothing.message->error);
    }
}

// A description Repoint writes the pointer alone and makes what lies there the shown
// description: a save afterwards does not write it back over the new place.
TEST(EditorSessionRepoint, DescriptionPointerAloneAndTheNewTextIsTheShownOne)
{
    constexpr int kPosition = 30;
    constexpr int kOther = 50;
    OpenSession open("BPGE");
    const std::int64_t target = PointerTarget(open.original, open.Entry(kOther) + 20);
    const Text otherText = open.Show(kOther).description;
    const ShownItem shown = open.Show(kPosition);

    const SessionStep step = open.session.RepointDescription(NumberToHex(static_cast<std::uint64_t>(target)));
    ASSERT_TRUE(step.written) << (step.message ? step.message->text : "");
    ASSERT_TRUE(step.description);
    EXPECT_EQ(step.description->description, otherText);
    EXPECT_EQ(open.session.ShownDescription(), otherText);
    EXPECT_EQ(step.notice, "The new description place held text used by 1 other item.");
    Bytes expected = open.original;
    Put(expected, open.Entry(kPosition) + 20, std::span<const Byte>(open.original).subspan(static_cast<std::size_t>(open.Entry(kOther) + 20), 4));
    EXPECT_EQ(open.Now(), expected);

    // The controls now hold the other text; saving them writes no byte.
    FormInput input = InputAsShown(shown);
    input.texts["descp"] = ToUtf8(otherText);
    EXPECT_FALSE(open.session.Save(input).question);
    EXPECT_EQ(open.Now(), expected);
    EXPECT_EQ(open.session.History().undo, "Repoint Description of " + ToUtf8(open.session.ShownName()));
    open.session.Undo();
    EXPECT_EQ(open.Now(), open.original);
}

// An icon Repoint writes the two pointers and draws the icon found there; a game without icons
// is refused before anything is written.
TEST(EditorSessionRepoint, ImageDrawsWhatLiesAtTheNewPlace)
{
    OpenSession open("BPRE");
    const ShownItem other = open.Show(60);
    open.Show(10);
    ASSERT_TRUE(other.imageOffsetText && other.paletteOffsetText && other.icon);
    const SessionStep step = open.session.RepointImage(*other.imageOffsetText, *other.paletteOffsetText);
    ASSERT_TRUE(step.written) << (step.message ? step.message->text : "");
    ASSERT_TRUE(step.icon);
    EXPECT_EQ(step.icon->argb, other.icon->argb);
    EXPECT_FALSE(step.notice.empty());
    const Bytes now = open.Now();
    const auto changed = DifferingOffsets(open.original, now);
    EXPECT_FALSE(changed.empty());
    EXPECT_LE(changed.size(), 6u) << "the low three bytes of two pointers at most";
    const ShownItem again = open.Show(10);
    EXPECT_EQ(again.imageOffsetText, other.imageOffsetText);
    EXPECT_EQ(again.paletteOffsetText, other.paletteOffsetText);

    OpenSession ruby("AXVE");
    ruby.Show(10);
    const SessionStep refused = ruby.session.RepointImage("100", "200");
    EXPECT_FALSE(refused.written);
    ASSERT_TRUE(refused.message);
    EXPECT_EQ(refused.message->text, kImagesNotExpected);
    ASSERT_TRUE(ruby.session.IconRefusal());
    EXPECT_EQ(ruby.Now(), ruby.original);
}

// An icon exported as PNG and imported into another item lands in free space with the item's two
// pointers and is drawn as it was; nothing else of the file changes.
TEST(EditorSessionIcons, ExportedIconImportsIntoFreeSpace)
{
    OpenSession open("BPEE");
    const ShownItem model = open.Show(60);
    ASSERT_TRUE(model.icon);
    const auto png = open.dir / "icon.png";
    EXPECT_FALSE(open.session.ExportIcon(png).message);
    open.Show(10);
    const SessionStep imported = open.session.ImportIcon(png);
    ASSERT_TRUE(imported.written) << (imported.message ? imported.message->text : "");
    ASSERT_TRUE(imported.icon && imported.imageOffsets);
    ASSERT_TRUE(imported.message);
    EXPECT_TRUE(imported.message->text.starts_with("Icon imported into free space")) << imported.message->text;
    for (std::size_t i = 0; i < model.icon->argb.size(); ++i) {
        const std::uint32_t was = model.icon->argb[i];
        const std::uint32_t now = imported.icon->argb[i];
        ASSERT_EQ(was >> 24 == 0, now >> 24 == 0) << "pixel " << i;
        if (was >> 24 != 0) {
            ASSERT_EQ(was, now) << "pixel " << i;
        }
    }
    const Bytes now = open.Now();
    int outsideFreeSpace = 0;
    for (const std::size_t at : DifferingOffsets(open.original, now)) {
        if (open.original[at] != 0xFF) ++outsideFreeSpace;
    }
    EXPECT_LE(outsideFreeSpace, 6) << "the low three bytes of two pointers at most";
    EXPECT_EQ(open.Show(10).imageOffsetText, imported.imageOffsets->imageOffsetText);
    EXPECT_EQ(open.session.History().undo, "Import Icon of " + ToUtf8(open.session.ShownName()));
    open.session.Undo();
    EXPECT_EQ(open.Now(), open.original);
}

// With the history turned off a change is written and nothing is recorded to undo it.
TEST(EditorSessionHistory, KeepHistoryOffWritesWithoutRecording)
{
    OpenSession open("BPRE");
    open.session.SetKeepHistory(false);
    EXPECT_FALSE(open.session.KeepHistory());
    const ShownItem& shown = open.Show(7);
    ASSERT_TRUE(open.session.Save(InputAsShown(shown, {{"price", "99"}})).written);
    Bytes expected = open.original;
    PutLe16(expected, open.Entry(7) + 16, 99);
    EXPECT_EQ(open.Now(), expected);
    EXPECT_FALSE(open.session.History().undo);
    EXPECT_FALSE(std::filesystem::exists(HistoryPathOf(open.rom)));
    open.session.SetKeepHistory(true);
    ASSERT_TRUE(open.session.Save(InputAsShown(*open.session.Show(7).shown, {{"price", "98"}})).written);
    EXPECT_TRUE(open.session.History().undo);
}

// The words beside the controls follow what the user typed or picked, before any save; what a
// save would refuse keeps the stored value's words.
TEST(EditorSessionWords, FollowWhatTheControlsHold)
{
    OpenSession open("BPRE");
    const ShownItem shown = open.Show(13);
    struct Case {
        const char* name;
        std::map<std::string, std::string, std::less<>> texts;
        std::map<std::string, int, std::less<>> lists;
        const char* control;
        std::string words;
    };
    const Case cases[] = {
        {"a hold effect picked", {}, {{"sp1", 43}}, "sp1", "Leftovers"},
        {"an emptied routine", {{"FUCP", ""}}, {}, "FUCP", "no routine"},
        {"a routine that is no hexadecimal", {{"FUCP", "xyz"}}, {}, "FUCP", shown.form.at("FUCP").words},
        {"nothing changed", {}, {}, "BUCP", shown.form.at("BUCP").words},
        {"a list out of its range", {}, {{"sp1", 999}}, "sp1", shown.form.at("sp1").words},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormInput input = InputAsShown(shown, c.texts);
        for (const auto& [control, position] : c.lists) input.lists[control] = position;
        EXPECT_EQ(open.session.FormWords(input).at(c.control).words, c.words);
    }
    EXPECT_EQ(open.Now(), open.original);
    EditorSession closed;
    EXPECT_TRUE(closed.FormWords(InputAsShown(shown)).empty());
}

// Export and import through the session: the ROM's own export plans no change and applies as
// nothing; a changed price lands as one undoable change.
TEST(EditorSessionExchange, ExportThenImportRoundTrips)
{
    OpenSession open("BPEE");
    open.Show(5);
    const SessionStep exported = open.session.ExportItems(ExportFormat::Json);
    ASSERT_FALSE(exported.text.empty());
    const SessionStep same = open.session.PlanImport(exported.text, ExportFormat::Json);
    EXPECT_EQ(same.changes, 0);
    EXPECT_EQ(same.summary, "Nothing to change");

    const std::string row = R"([{"position": 5, "price": 4321}])";
    const SessionStep planned = open.session.PlanImport(row, ExportFormat::Json);
    ASSERT_FALSE(planned.message) << planned.message->text;
    EXPECT_EQ(planned.changes, 1);
    EXPECT_EQ(open.Now(), open.original);
    const SessionStep applied = open.session.ApplyImport();
    ASSERT_TRUE(applied.written);
    ASSERT_TRUE(applied.shown);
    EXPECT_EQ(applied.shown->form.at("price").text, "4321");
    Bytes expected = open.original;
    PutLe16(expected, open.Entry(5) + 16, 4321);
    EXPECT_EQ(open.Now(), expected);
    EXPECT_FALSE(open.session.HasPendingImport());
    open.session.Undo();
    EXPECT_EQ(open.Now(), open.original);
}

// Medicine fills the unused ids that can heal, then grows the tables: the list follows the file
// at each step, and undo brings back the count the ROM had, as the window and the page show it.
TEST(EditorSessionAddItem, FillsTheUnusedIdsThenGrowsAndUndoesBackToTheOldCount)
{
    OpenSession open("BPRE");
    const std::size_t count = open.session.ItemNames().size();
    std::vector<int> shown;
    SessionStep step;
    while (open.session.ItemNames().size() == count) {
        step = open.session.AddItem(13, "MEGA POTION");
        ASSERT_TRUE(step.written && step.shown) << (step.message ? step.message->text : "");
        shown.push_back(step.shown->position);
        ASSERT_LT(shown.size(), 60u);
    }
    EXPECT_EQ(shown.back(), static_cast<int>(count));
    EXPECT_EQ(open.session.ItemNames().size(), count + 1);
    EXPECT_EQ(ToUtf8(open.session.ItemNames().back()), "MEGA POTION");
    EXPECT_EQ(open.session.State().ItemCount(), static_cast<int>(count) + 1);
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
        EXPECT_GT(shown[i], shown[i - 1]);
        EXPECT_LE(shown[i], 175) << "a medicine in an id the item-effect table does not cover";
    }
    EXPECT_EQ(open.session.History().undo, std::optional<std::string>("Add Item of MEGA POTION"));
    EXPECT_TRUE(open.session.Undo().written);
    EXPECT_EQ(open.session.ItemNames().size(), count);
    EXPECT_EQ(open.session.State().ItemCount(), static_cast<int>(count));
    EXPECT_TRUE(open.session.Redo().written);
    EXPECT_EQ(open.session.ItemNames().size(), count + 1);
}

}  // namespace
}  // namespace quillbox::test
