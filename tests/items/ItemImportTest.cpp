#include "ItemTestSupport.h"

#include "items/exchange/ItemExport.h"
#include "items/exchange/ItemImport.h"
#include "items/exchange/ImportRows.h"
#include "items/effect/ItemEffects.h"
#include "items/record/RoutineGroups.h"
#include "items/record/ItemTable.h"
#include "items/exchange/RomDiff.h"

#include <random>

namespace quillbox::test {
namespace {

std::string Export(const OpenedRom& rom, ExportFormat format, std::string_view csvRecordEnd = "\n")
{
    auto items = ReadItemTable(rom.state);
    if (!items) throw std::runtime_error(items.error().message);
    return ExportItems(rom, *items, format, csvRecordEnd);
}

// Plans and, when the plan is accepted, applies: what `import` does.
Result<ImportPlan> Import(const OpenedRom& rom, std::string_view text, ExportFormat format)
{
    auto plan = PlanImport(rom, text, format);
    if (!plan) return plan;
    if (auto applied = ApplyImport(rom, *plan); !applied) return applied.error();
    return plan;
}

struct Refusal {
    const char* name;
    ExportFormat format;
    const char* file;  // every file first changes item 10's price, which must not land either
    const char* fragment;
};

class ImportRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(ImportRefusal, NamesRowAndColumnAndLeavesTheFileIdentical)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPRE");
    const Bytes before = ReadFile(rom.state.romPath);
    auto result = Import(rom, GetParam().file, GetParam().format);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().message.find(GetParam().fragment), std::string::npos) << result.error().message;
    EXPECT_EQ(ReadFile(rom.state.romPath), before);
}

constexpr auto kJson = ExportFormat::Json;
constexpr auto kCsv = ExportFormat::Csv;

INSTANTIATE_TEST_SUITE_P(
    Rows, ImportRefusal,
    ::testing::Values(
        Refusal{"UnknownCsvColumn", kCsv, "position,price,colour\n10,1,red\n", "unknown column \"colour\""},
        Refusal{"UnknownJsonKey", kJson, R"([{"position":10,"price":1},{"position":11,"colour":3}])", "row 2: unknown column \"colour\""},
        Refusal{"NoPositionColumn", kCsv, "price\n1\n", "row 1: no position"},
        Refusal{"PositionPastTheTable", kJson, R"([{"position":10,"price":1},{"position":375,"price":1}])", "row 2, column position: no item at position 375; positions run from 0 to 374"},
        Refusal{"NegativePosition", kJson, R"([{"position":10,"price":1},{"position":-1}])", "no item at position -1"},
        Refusal{"PositionAsText", kCsv, "position,price\n10,1\nten,1\n", "no item at position \"ten\""},
        Refusal{"DuplicatedPosition", kCsv, "position,price\n10,1\n11,2\n10,3\n", "row 3, column position: position 10 is also in row 1"},
        Refusal{"PriceOutOfRange", kCsv, "position,price\n10,1\n11,65536\n", "row 2 (position 11), column price: takes a whole number from 0 to 65535, not \"65536\""},
        Refusal{"PriceOfTheWrongKind", kJson, R"([{"position":10,"price":1},{"position":11,"price":true}])", "column price: takes a whole number"},
        Refusal{"PriceAsFraction", kJson, R"([{"position":10,"price":1},{"position":11,"price":4.5}])", "not 4.5"},
        Refusal{"NameOfTheWrongKind", kJson, R"([{"position":10,"price":1},{"position":11,"name":7}])", "column name: takes text, not 7"},
        Refusal{"PocketPastTheList", kCsv, "position,price,pocket\n10,1,1\n11,1,6\n", "row 2 (position 11), column pocket: The value is not accepted: pocket takes a value the game knows, from 0 to 5, not 6"},
        Refusal{"PointerNotHex", kCsv, "position,price,battleUsageCodePointer\n10,1,0A0021\n11,1,12G\n", "column battleUsageCodePointer: takes hexadecimal text"},
        Refusal{"NameDoesNotFit", kJson, R"([{"position":10,"price":1},{"position":11,"name":"ABCDEFGHIJKLMN"}])", "row 2 (position 11), column name: The name does not fit its 14-byte field"},
        Refusal{"DescriptionDoesNotFit", kJson, R"([{"position":10,"price":1},{"position":11,"description":"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}])", "column description: The description does not fit its room"},
        Refusal{"TmMoveOnAnOrdinaryItem", kJson, R"([{"position":10,"price":1},{"position":11,"tmMove":5}])", "column tmMove: The value is not accepted: only items 289 to 346 teach a move"},
        Refusal{"IconOffsetNull", kJson, R"([{"position":10,"price":1},{"position":11,"imageOffset":null}])", "column imageOffset: takes hexadecimal text of at most 6 digits, not null"},
        Refusal{"DescriptionRepointPastTheEnd", kJson, R"([{"position":10,"price":1},{"position":11,"descriptionOffset":"1000000"}])", "column descriptionOffset: The offset lies past the end"},
        Refusal{"DerivedColumnChangedAlone", kJson, R"([{"position":10,"price":1},{"position":11,"pocketName":"Berries"}])", "column pocketName: is shown for reading only; change pocket instead"},
        Refusal{"RowsWriteOnePlaceDifferently", kJson, R"([{"position":10,"price":1},{"position":11,"descriptionOffset":"A00000","description":"One"},{"position":12,"descriptionOffset":"A00000","description":"Two"}])", "and row 3 (position 12, column description) write different bytes"},
        Refusal{"NotJson", kJson, "[{\"position\":10,", "the file is not JSON"},
        Refusal{"UnclosedQuote", kCsv, "position,name\n10,\"Potion\n", "a quoted field is not closed"},
        Refusal{"ShortRow", kCsv, "position,price,index\n10,1,0\n11,1\n", "row 2 has 2 fields, the header 3"}),
    [](const auto& row) { return std::string(row.param.name); });

class ImportRoundTrip : public ::testing::TestWithParam<GameCase> {};

// What export writes, imported unchanged, changes nothing, in both formats, with the records of
// CSV ending as on Windows, and as spreadsheets save CSV (carriage return + line feed also inside
// a description, a byte order mark); only some columns likewise.
TEST_P(ImportRoundTrip, ExportedFilesImportWithoutWriting)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, GetParam().headerCode);
    const Bytes before = ReadFile(rom.state.romPath);
    const auto modified = std::filesystem::last_write_time(rom.state.romPath);
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : Export(rom, kCsv)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::pair<std::string, ExportFormat> files[] = {
        {Export(rom, kJson), kJson}, {Export(rom, kCsv), kCsv}, {Export(rom, kCsv, "\r\n"), kCsv}, {crlf, kCsv},
        {"position,price,name\n3,450,Amber Tonic\n", kCsv}};
    for (const auto& [text, format] : files) {
        auto plan = Import(rom, text, format);
        ASSERT_TRUE(plan) << plan.error().message;
        EXPECT_TRUE(plan->changes.empty()) << FormatChange(plan->changes.front());
        EXPECT_TRUE(plan->patches.empty());
    }
    EXPECT_EQ(ReadFile(rom.state.romPath), before);
    EXPECT_EQ(std::filesystem::last_write_time(rom.state.romPath), modified);

    // The export writes its JSON directly; it must be the text the JSON library gives.
    auto items = ReadItemTable(rom.state);
    ASSERT_TRUE(items);
    nlohmann::json array = nlohmann::json::array();
    const RoutineGroups routines = RoutineGroups::Of(*items);
    auto effects = ReadItemEffects(rom.state);
    ASSERT_TRUE(effects);
    for (const ItemView& item : *items) array.push_back(ItemToJson(rom, item, routines, &(*effects)[static_cast<std::size_t>(item.position)], JsonMembers::ItemHas));
    EXPECT_EQ(Export(rom, kJson), JsonText(array));
}

INSTANTIATE_TEST_SUITE_P(EveryGame, ImportRoundTrip, ::testing::ValuesIn(kGameCases), GameCaseName);

bool Derived(std::string_view field) { return ColumnShownFrom(field).has_value(); }

// Random batches of edits: the changes a dry run lists are exactly the item-level differences
// between the ROM before and after the real run.
// A CSV field is quoted exactly when a reader would otherwise split or end it there.
TEST(CsvFieldText, QuotesOnlyWhatAReaderWouldSplit)
{
    const std::pair<ExportValue, std::string> cases[] = {
        {ExportValue{std::string("POTION")}, "POTION"},
        {ExportValue{std::string("a,b")}, "\"a,b\""},
        {ExportValue{std::string("say \"hi\"")}, "\"say \"\"hi\"\"\""},
        {ExportValue{std::string("two\nlines")}, "\"two\nlines\""},
        {ExportValue{std::string("cr\rhere")}, "\"cr\rhere\""},
        {ExportValue{std::string()}, ""},
        {ExportValue{std::int64_t{0}}, "0"},
        {ExportValue{std::int64_t{-7}}, "-7"},
        {ExportValue{std::int64_t{4294967295}}, "4294967295"},
        {ExportValue{}, ""},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(CsvField(value), expected);
        std::string appended = "x,";
        AppendCsvField(appended, value);
        EXPECT_EQ(appended, "x," + expected);
    }
}

// The writer looks at eight bytes at a time: each of the four characters is found wherever it
// stands, in texts shorter and longer than that, and a reader takes the field back as it was.
TEST(CsvFieldText, FindsWhatAReaderWouldSplitAtEveryPlace)
{
    const std::size_t name = *ExportColumnOf("name");
    for (const char splitting : {',', '"', '\n', '\r'}) {
        for (std::size_t length = 1; length <= 20; ++length) {
            for (std::size_t at = 0; at < length; ++at) {
                std::string text(length, 'e');
                text[at] = splitting;
                SCOPED_TRACE(testing::Message() << "character " << int{splitting} << " at " << at << " of " << length);
                auto rows = ReadCsvRows("position,name\n0," + CsvField(ExportValue{text}) + "\n");
                ASSERT_TRUE(rows) << rows.error().message;
                ASSERT_EQ(rows->size(), 1u);
                ASSERT_TRUE(rows->front().cells[name]);
                EXPECT_EQ(rows->front().cells[name]->text, text);
            }
        }
    }
    // Nor is anything else taken for one of them: not the bytes of a character beyond ASCII.
    for (std::size_t length = 0; length <= 20; ++length) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text += i % 3 == 0 ? "\xC3\xA9" : "a";
        EXPECT_EQ(CsvField(ExportValue{text}), text);
    }
}

TEST(ImportPlanProperty, TheDryRunListsWhatTheRunChanges)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        TempDir dir;
        const std::string_view code = kGameCases[static_cast<std::size_t>(round) % kGameCases.size()].headerCode;
        const OpenedRom rom = OpenSample(dir, code);
        std::filesystem::copy_file(rom.state.romPath, dir / "before.gba");
        auto original = OpenRom(dir / "before.gba", ShippedProfile());
        ASSERT_TRUE(original);

        nlohmann::json file = nlohmann::json::parse(Export(rom, kJson));
        nlohmann::json batch = nlohmann::json::array();
        for (auto& item : file) {
            if (random() % 3 != 0) continue;
            nlohmann::json row{{"position", item["position"]}};
            if (random() % 2) row["price"] = random() % 65536;
            if (random() % 4 == 0) row["special1"] = random() % 256;
            if (random() % 4 == 0) row["pocket"] = random() % rom.family->pocketNames.size();
            if (random() % 4 == 0) row["name"] = "Item " + std::to_string(random() % 1000);
            // Routines are Thumb code: a hexadecimal number ending in an odd digit.
            if (random() % 4 == 0) row["fieldUsageCodePointer"] = "0" + std::to_string(random() % 45000 * 2 + 10001);
            if (random() % 2) row["index"] = item["index"];  // unchanged columns change nothing
            batch.push_back(std::move(row));
        }
        const std::string text = batch.dump();
        auto dry = PlanImport(rom, text, kJson);
        ASSERT_TRUE(dry) << dry.error().message;
        ASSERT_TRUE(Import(rom, text, kJson));

        auto opened = OpenRom(rom.state.romPath, ShippedProfile());
        ASSERT_TRUE(opened);
        auto diff = DiffItems(*original, *opened);
        ASSERT_TRUE(diff);
        std::erase_if(*diff, [](const ItemChange& change) { return Derived(change.field); });
        std::vector<std::string> planned, found;
        for (const ItemChange& change : dry->changes) planned.push_back(FormatChange(change));
        for (const ItemChange& change : *diff) found.push_back(FormatChange(change));
        EXPECT_FALSE(planned.empty());
        EXPECT_EQ(planned, found);
        // Importing the same batch again finds nothing left to change.
        auto again = PlanImport(*opened, text, kJson);
        ASSERT_TRUE(again);
        EXPECT_TRUE(again->changes.empty());
    }
}

// A row that moves a description and gives the text the item already had writes that text at the
// new place, and lists the offset alone as changed.
TEST(ImportPlanProperty, ADescriptionMovedWithItsOwnTextListsOnlyTheOffset)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPRE");
    std::filesystem::copy_file(rom.state.romPath, dir / "before.gba");
    auto original = OpenRom(dir / "before.gba", ShippedProfile());
    ASSERT_TRUE(original);
    auto item = ReadItem(rom.state, 4);
    ASSERT_TRUE(item);
    const nlohmann::json row{{"position", 4}, {"descriptionOffset", "A00000"},
                             {"description", ToUtf8(ReplaceAll(item->description, kWindowsLineBreak, U"\n"))}};
    const std::string text = nlohmann::json::array({row}).dump();

    auto dry = PlanImport(rom, text, kJson);
    ASSERT_TRUE(dry) << dry.error().message;
    ASSERT_EQ(dry->changes.size(), 1u);
    EXPECT_EQ(FormatChange(dry->changes.front()), "4 descriptionOffset: " + item->descriptionOffsetText + " -> A00000");
    ASSERT_TRUE(Import(rom, text, kJson));
    auto moved = ReadItem(rom.state, 4);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->descriptionOffset, 0xA00000);
    EXPECT_EQ(moved->description, item->description);

    auto opened = OpenRom(rom.state.romPath, ShippedProfile());
    ASSERT_TRUE(opened);
    auto diff = DiffItems(*original, *opened);
    ASSERT_TRUE(diff);
    std::erase_if(*diff, [](const ItemChange& change) { return Derived(change.field); });
    ASSERT_EQ(diff->size(), 1u);
    EXPECT_EQ(FormatChange(diff->front()), FormatChange(dry->changes.front()));
}

TEST(RomDiff, ListsTheKnownEditsAndRefusesAnotherGame)
{
    TempDir dir;
    const OpenedRom first = OpenSample(dir, "BPEE", "a.gba");
    const OpenedRom second = OpenSample(dir, "BPEE", "b.gba");
    auto unchanged = DiffItems(first, second);
    ASSERT_TRUE(unchanged);
    EXPECT_TRUE(unchanged->empty());

    const auto five = ReadItem(second.state, 5);
    const auto item = ReadItem(second.state, 7);
    ASSERT_TRUE(five && item);
    ASSERT_TRUE(SaveItem(second.state, 5, EditOf(&ItemEdit::price, five->price + 1), {}));
    ASSERT_TRUE(SaveItem(second.state, 7, EditOf(&ItemEdit::name, U"Renamed"), {}));
    auto diff = DiffItems(first, second);
    ASSERT_TRUE(diff);
    ASSERT_EQ(diff->size(), 2u);
    EXPECT_EQ((*diff)[0].position, 5);
    EXPECT_EQ((*diff)[0].field, "price");
    EXPECT_EQ((*diff)[0].before, ExportValue{std::int64_t{five->price}});
    EXPECT_EQ((*diff)[0].after, ExportValue{std::int64_t{five->price + 1}});
    EXPECT_EQ(FormatChange((*diff)[1]), "7 name: \"" + U8(item->name) + "\" -> \"Renamed\"");

    const OpenedRom ruby = OpenSample(dir, "AXVE", "ruby.gba");
    EXPECT_FALSE(DiffItems(first, ruby));
}

}  // namespace
}  // namespace quillbox::test
