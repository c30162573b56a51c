// What the window and the page share: the text boxes' rules, the save's questions, the
// found-tables question and the texts built from numbers.
#include "SpaceFixture.h"

#include "editor/FieldRules.h"
#include "editor/FoundTablesQuestion.h"
#include "items/exchange/ItemImport.h"
#include "editor/SaveQuestions.h"
#include "editor/UserTexts.h"
#include "sample/SampleRom.h"

#include <set>

namespace quillbox::test {
namespace {

struct FieldRow {
    std::string_view field;
    int lengthBefore;
    std::u32string_view input;
    int cursor;
    std::u32string_view kept;
    int keptCursor;
};

void PrintTo(const FieldRow& row, std::ostream* out) { *out << row.field << " \"" << U8(row.input) << '"'; }

class KeepFieldRuleTest : public ::testing::TestWithParam<FieldRow> {};

TEST_P(KeepFieldRuleTest, FiltersThenCutsWhatWentPastTheLimit)
{
    const FieldRow& row = GetParam();
    const TextFieldRule* rule = FindTextFieldRule(row.field);
    ASSERT_NE(rule, nullptr);
    const FieldText kept = KeepFieldRule(*rule, row.lengthBefore, row.input, row.cursor);
    EXPECT_EQ(U8(kept.text), U8(row.kept));
    EXPECT_EQ(kept.cursor, row.keptCursor);
}

INSTANTIATE_TEST_SUITE_P(Fields, KeepFieldRuleTest,
                         ::testing::Values(FieldRow{"price", 0, U"12ab3", 5, U"123", 3},
                                           FieldRow{"price", 2, U"1x2", 2, U"12", 1},
                                           FieldRow{"FUCP", 0, U"0a0z01", 6, U"0A001", 5},
                                           FieldRow{"Text3", 6, U"8000001", 7, U"8000001", 7},
                                           FieldRow{"Text3", 7, U"80000012", 8, U"8000001", 7},
                                           // Pasted in the middle: what went too far is cut right before the cursor.
                                           FieldRow{"IMGOFF", 6, U"90XY0000", 4, U"900000", 2},
                                           FieldRow{"iname", 14, U"ABCDEFGHIJKLMNZ", 15, U"ABCDEFGHIJKLMN", 14},
                                           FieldRow{"iname", 13, U"ABCDEFGHI;;;;;;", 15, U"ABCDEFGHI;;;;;", 14},
                                           // A longer text the program put in may shrink but not grow.
                                           FieldRow{"index", 7, U"1234567", 7, U"1234567", 7},
                                           FieldRow{"index", 7, U"12345678", 8, U"1234567", 7}));

TEST(TextFieldRulesTest, EveryBoxOnceWithItsLimit)
{
    std::set<std::string_view> names;
    for (const TextFieldRule& rule : TextFieldRules()) {
        EXPECT_TRUE(names.insert(rule.name).second) << rule.name;
        EXPECT_GT(rule.limit, 0) << rule.name;
        EXPECT_EQ(FindTextFieldRule(rule.name), &rule);
    }
    EXPECT_EQ(names, (std::set<std::string_view>{"iname", "price", "index", "Text3", "IMGOFF", "PALOFF", "FUCP", "BUCP",
                                                 "Text1", "Text2"}));
    EXPECT_EQ(FindTextFieldRule("descp"), nullptr);
    EXPECT_TRUE(FindTextFieldRule("price")->sixteenBit && FindTextFieldRule("index")->sixteenBit);
    EXPECT_FALSE(FindTextFieldRule("FUCP")->sixteenBit);
}

TEST(SpecialValueEntriesTest, PositionIsValueWithTwoDigitsAtLeast)
{
    const std::vector<std::string> entries = SpecialValueEntries();
    ASSERT_EQ(entries.size(), 256u);
    for (int value = 0; value < 256; ++value) {
        EXPECT_EQ(std::stoi(entries[static_cast<std::size_t>(value)]), value);
        EXPECT_GE(entries[static_cast<std::size_t>(value)].size(), 2u);
    }
    EXPECT_EQ(entries[7], "07");
    EXPECT_EQ(entries[100], "100");
}

TEST(ImportFormatTest, TheNameSaysCsvElseJson)
{
    for (auto [name, format] : {std::pair{"items.csv", ExportFormat::Csv}, std::pair{"ITEMS.CSV", ExportFormat::Csv},
                                std::pair{"items.json", ExportFormat::Json}, std::pair{"items.csv.txt", ExportFormat::Json},
                                std::pair{"csv", ExportFormat::Json}, std::pair{"-", ExportFormat::Json}}) {
        EXPECT_EQ(ImportFormatOfFileName(name), format) << name;
    }
}

TEST(UserTextsTest, PositionsAreNamedUpToEight)
{
    EXPECT_EQ(NamePositions({31}), "31");
    EXPECT_EQ(NamePositions({1, 2, 3, 4, 5, 6, 7, 8}), "1, 2, 3, 4, 5, 6, 7, 8");
    EXPECT_EQ(NamePositions({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), "1, 2, 3, 4, 5, 6, 7, 8 and 2 more");
    EXPECT_EQ(OtherItems(1), "1 other item");
    EXPECT_EQ(OtherItems(2), "2 other items");
}

// A save asked through to its end: each answer in turn, the topics asked on the way.
struct SaveRow {
    std::string name;
    int position;
    std::string itemName;     // empty: not changed
    std::string description;  // empty: not changed
    std::vector<SaveAnswer> answers;
    std::vector<SaveQuestion::Topic> asked;
    bool saved;
    bool moved;  // the description pointer of the item changed
    std::set<int> followers;  // other items whose pointer now names the same place
};

void PrintTo(const SaveRow& row, std::ostream* out) { *out << row.name; }

class SaveQuestionsTest : public ::testing::TestWithParam<SaveRow> {};

TEST_P(SaveQuestionsTest, AsksThenWritesOnlyWhatTheAnswersAllow)
{
    const SaveRow& row = GetParam();
    SpaceFixture fixture;
    const Bytes before = fixture.Read();
    auto item = ReadItem(fixture.State(), row.position);
    ASSERT_TRUE(item) << Describe(item);
    ItemEdit edit;
    if (!row.itemName.empty()) edit.name = FromUtf8(row.itemName);
    if (!row.description.empty()) edit.description = FromUtf8(row.description);
    const DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};

    SaveAnswers answers;
    std::vector<SaveQuestion::Topic> asked;
    Result<SaveStep> step = SaveStep{};
    for (std::size_t turn = 0;; ++turn) {
        step = SaveItemAsking(fixture.State(), row.position, edit, place, answers);
        ASSERT_TRUE(step) << Describe(step);
        if (!step->question) break;
        EXPECT_EQ(fixture.Read(), before) << "nothing is written while a question is open";
        asked.push_back(step->question->topic);
        ASSERT_LT(turn, row.answers.size()) << step->question->text;
        answers.Record(step->question->topic, row.answers[turn]);
    }
    EXPECT_EQ(asked, row.asked);
    EXPECT_EQ(step->saved, row.saved);
    EXPECT_EQ(step->declined, !row.saved);
    const Bytes after = fixture.Read();
    if (!row.saved) {
        EXPECT_EQ(after, before);
        return;
    }
    EXPECT_NE(after, before);
    const auto pointerAt = [&](const Bytes& file, int position) {
        const auto at = static_cast<std::size_t>(fixture.Builder().Entry(position) + ItemField::DescPointer);
        return Bytes(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at + 4));
    };
    EXPECT_EQ(pointerAt(after, row.position) != pointerAt(before, row.position), row.moved);
    for (int other : SpaceFixture::kSharedGroup) {
        if (other == row.position) continue;
        EXPECT_EQ(pointerAt(after, other) == pointerAt(after, row.position), row.followers.contains(other)) << other;
    }
}

using Topic = SaveQuestion::Topic;
const std::string kLong = "A description far longer than the two bytes of room it has here.";

INSTANTIATE_TEST_SUITE_P(
    Answers, SaveQuestionsTest,
    ::testing::Values(SaveRow{"NothingToAsk", 3, "TONIC", "", {}, {}, true, false, {}},
                      SaveRow{"UnknownCharactersYes", 3, "TO;NIC", "", {SaveAnswer::Yes}, {Topic::UnknownCharacters}, true, false, {}},
                      SaveRow{"UnknownCharactersNo", 3, "TO;NIC", "", {SaveAnswer::No}, {Topic::UnknownCharacters}, false, false, {}},
                      SaveRow{"LongerMoved", 3, "", kLong, {SaveAnswer::Yes}, {Topic::DescriptionMove}, true, true, {}},
                      SaveRow{"LongerDeclined", 3, "", kLong, {SaveAnswer::No}, {Topic::DescriptionMove}, false, false, {}},
                      SaveRow{"BothAskedInTurn", 3, "TO;NIC", kLong, {SaveAnswer::Yes, SaveAnswer::Yes},
                              {Topic::UnknownCharacters, Topic::DescriptionMove}, true, true, {}},
                      SaveRow{"SharedForAllInPlace", 10, "", "Z", {SaveAnswer::Yes}, {Topic::SharedDescription}, true, false, {11, 12}},
                      SaveRow{"SharedOwnCopy", 10, "", "Z", {SaveAnswer::No}, {Topic::SharedDescription}, true, true, {}},
                      SaveRow{"SharedLongerMovedForAll", 11, "", kLong, {SaveAnswer::Yes}, {Topic::SharedDescription}, true, true, {10, 12}},
                      SaveRow{"SharedCancelled", 10, "", "Z", {SaveAnswer::Cancel}, {Topic::SharedDescription}, false, false, {}}),
    [](const ::testing::TestParamInfo<SaveRow>& row) { return row.param.name; });

TEST(SaveQuestionsTest, QuestionsSayWhatTheyOffer)
{
    SpaceFixture fixture;
    auto item = ReadItem(fixture.State(), 10);
    ASSERT_TRUE(item);
    ItemEdit edit;
    edit.name = FromUtf8("A;B");
    edit.description = FromUtf8(kLong);
    const DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};
    auto first = SaveItemAsking(fixture.State(), 10, edit, place, {});
    ASSERT_TRUE(first && first->question);
    EXPECT_EQ(first->question->text, "\";\" cannot be written in this game and would be saved as spaces. Save anyway?");
    EXPECT_TRUE(first->question->offersNo);
    EXPECT_FALSE(first->question->offersCancel);
    SaveAnswers answers;
    answers.Record(Topic::UnknownCharacters, SaveAnswer::Yes);
    auto second = SaveItemAsking(fixture.State(), 10, edit, place, answers);
    ASSERT_TRUE(second && second->question);
    EXPECT_EQ(second->question->topic, Topic::SharedDescription);
    EXPECT_TRUE(second->question->offersNo && second->question->offersCancel);
    EXPECT_NE(second->question->text.find("shared with 2 other items (11, 12)"), std::string::npos) << second->question->text;
    // The place the question names is where the own copy then goes.
    const std::string& text = second->question->text;
    const std::size_t at = text.find("own copy in free space at ");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string named = text.substr(at + 26, text.find(' ', at + 26) - at - 26);
    answers.Record(Topic::SharedDescription, SaveAnswer::No);
    auto saved = SaveItemAsking(fixture.State(), 10, edit, place, answers);
    ASSERT_TRUE(saved && saved->saved) << Describe(saved);
    auto after = ReadItem(fixture.State(), 10);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->descriptionOffsetText, named);
}

TEST(SaveQuestionsTest, ARefusalIsTheSaveRefusal)
{
    SpaceFixture fixture;
    const Bytes before = fixture.Read();
    ItemEdit edit;
    edit.name = FromUtf8("A NAME FAR TOO LONG");
    auto step = SaveItemAsking(fixture.State(), 3, edit, {SpaceFixture::Description(3), 2}, {});
    ASSERT_FALSE(step);
    EXPECT_EQ(step.error().code, ErrorCode::NameTooLong);
    EXPECT_EQ(fixture.Read(), before);
}

TEST(FoundTablesQuestionTest, ProposedWhereTheProfileMissesTheGamesTable)
{
    TempDir dir;
    const auto hack = dir / "hack.gba";
    ASSERT_TRUE(WriteSampleRom(hack, "BPRE", SampleOptions{.hack = true}));
    const auto plain = WriteSample(dir, "BPRE", "plain.gba");
    const ProfileFiles profiles{ShippedProfile(), dir / "user.ini"};

    OpeningProposal proposal = ProposeOpening(hack, profiles, "the place named here");
    ASSERT_TRUE(proposal.found);
    EXPECT_NE(proposal.question.find("The ROM itself names these tables:"), std::string::npos) << proposal.question;
    EXPECT_TRUE(proposal.question.ends_with("They are kept for this ROM alone, in the place named here.")) << proposal.question;
    EXPECT_FALSE(std::filesystem::exists(RomTablesPathOf(hack)));

    auto opened = OpenWithFoundTables(hack, profiles, *proposal.found);
    ASSERT_TRUE(opened) << Describe(opened);
    EXPECT_EQ(opened->state.ItemCount(), 375 + kSampleHackExtraItems);
    EXPECT_TRUE(std::filesystem::exists(RomTablesPathOf(hack)));
    EXPECT_FALSE(ProposeOpening(hack, profiles, "x").found) << "kept tables serve the ROM from then on";

    const OpeningProposal plainProposal = ProposeOpening(plain, profiles, "x");
    EXPECT_FALSE(plainProposal.found);
    EXPECT_TRUE(plainProposal.question.empty());
    EXPECT_TRUE(plainProposal.opened);
    const OpeningProposal missing = ProposeOpening(dir / "missing.gba", profiles, "x");
    EXPECT_FALSE(missing.found);
    ASSERT_FALSE(missing.opened);
    EXPECT_EQ(missing.opened.error().code, ErrorCode::FileNotOpened);
}

}  // namespace
}  // namespace quillbox::test
