#include "CliRun.h"

#include "base/HexText.h"
#include "editor/ItemForm.h"
#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemColumns.h"
#include "items/exchange/ItemExport.h"
#include "items/exchange/ItemImport.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"
#include "rom/Profile.h"
#include "support/TestFiles.h"
#include "text/GameText.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace quillbox {
namespace {

using test::CliRun;
using test::Q;
using test::ReadFile;
using test::RunTool;
using test::TempDir;

OpenedRom Open(const std::filesystem::path& rom)
{
    auto opened = OpenRom(rom, test::ShippedProfile());
    if (!opened) throw std::runtime_error(opened.error().message);
    return std::move(*opened);
}

// One text for one column of one item, and what every front end must make of it: taken, or
// refused with `takes` (what the column takes, as every refusal words it).
struct Verdict {
    std::string key;
    int position;
    std::string text;
    std::string takes;  // empty: taken
};

void WriteText(const std::filesystem::path& path, const std::string& text) { test::WriteFile(path, Bytes(text.begin(), text.end())); }

bool Decimal(std::string_view text)
{
    if (text.starts_with('-')) text.remove_prefix(1);
    return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Refused(const std::string& takes, const std::string& shown) { return takes + ", not " + shown; }

// The verdicts, several per kind of column. Item 19 of the sample has an effect entry; item 300 is
// a TM. `otherPlace` is another item's description offset, in the spelling the export gives it.
std::vector<Verdict> Verdicts(const std::string& otherPlace, const std::string& firstMove)
{
    const std::string price = "a whole number from 0 to 65535";
    const std::string coded = "a whole number from 0 to 255 or the name of one";
    const std::string hex6 = "hexadecimal text of at most 6 digits";
    const std::string hex8 = "hexadecimal text of at most 8 digits";
    const std::string move = "a whole number from 0 to 354 or a move's name";
    const std::string flag = "on or off (1 or 0)";
    std::string lower = firstMove;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return {
        {"price", 19, "100", ""},
        {"price", 19, "0100", ""},
        {"price", 19, "65535", ""},
        {"price", 19, "65536", price},
        {"price", 19, "-1", price},
        {"price", 19, "12x", price},
        {"price", 19, "", price},
        {"index", 19, "7", ""},
        {"holdEffect", 19, "Leftovers", ""},
        {"holdEffect", 19, "leftovers", ""},
        {"holdEffect", 19, "43", ""},
        {"holdEffect", 19, "256", coded},
        {"holdEffect", 19, "No Such Effect", coded},
        {"holdEffect", 19, "", coded},
        {"special1", 19, "43", ""},
        {"pocket", 19, "Key Items", ""},
        {"pocket", 19, "2", ""},
        {"effect.curesBurn", 19, "on", ""},
        {"effect.curesBurn", 19, "off", ""},
        {"effect.curesBurn", 19, "OFF", ""},
        {"effect.curesBurn", 19, "0", ""},
        {"effect.curesBurn", 19, "no", ""},
        {"effect.curesBurn", 19, "false", ""},
        {"effect.curesInfatuation", 19, "1", ""},
        {"effect.curesInfatuation", 19, "yes", ""},
        {"effect.curesInfatuation", 19, "true", ""},
        {"effect.curesBurn", 19, "maybe", flag},
        {"effect.curesBurn", 19, "2", flag},
        {"effect.curesBurn", 19, "", flag},
        {"effect.healHp", 19, "20", ""},
        {"effect.healHp", 19, "off", ""},
        {"effect.healHp", 19, "300", "0 to 255 or off"},
        {"effect.attackStages", 19, "16", "0 to 15"},
        {"descriptionOffset", 19, otherPlace, ""},
        {"descriptionOffset", 19, "0" + otherPlace, ""},
        {"descriptionOffset", 19, "0x" + otherPlace, ""},
        {"descriptionOffset", 19, "08" + otherPlace, ""},
        {"descriptionOffset", 19, "123456789", hex8},
        {"descriptionOffset", 19, "80G000", hex8},
        {"descriptionOffset", 19, "", hex8},
        {"tmMove", 300, "5", ""},
        {"tmMove", 300, "0", ""},
        {"tmMove", 300, firstMove, ""},
        {"tmMove", 300, lower, ""},
        {"tmMove", 300, "355", move},
        {"tmMove", 300, "No Such Move", move},
        {"tmMove", 300, "", move},
        {"fieldUsageCodePointer", 19, "0A0001", ""},
        {"fieldUsageCodePointer", 19, "0x0A0001", ""},
        {"fieldUsageCodePointer", 19, "A0001", ""},
        {"fieldUsageCodePointer", 19, "12G4", hex6},
        {"fieldUsageCodePointer", 19, "1234567", hex6},
        {"fieldUsageCodePointer", 19, "", hex6},
        {"imageOffset", 19, "900000", ""},
        {"imageOffset", 19, "0x900000", ""},
        {"imageOffset", 19, "1234567", hex6},
        {"imageOffset", 19, "", hex6},
        {"name", 19, "Quartz", ""},
        {"description", 19, "Two\nlines", ""},
    };
}

std::string CsvQuoted(const std::string& text)
{
    return text.find_first_of(",\"\n") == std::string::npos ? text : "\"" + test::Replace(text, "\"", "\"\"") + "\"";
}

// What one front end made of a verdict's text: its status, what it printed on error, the file.
struct Outcome {
    bool taken = false;
    std::string message;
    Bytes file;
};

Outcome RunOn(const std::filesystem::path& source, const std::filesystem::path& copy, const std::vector<std::string>& args)
{
    // Removed first: MinGW's copy_file refuses to overwrite, whatever the options say.
    std::filesystem::remove(copy);
    std::filesystem::copy_file(source, copy);
    std::filesystem::remove(copy.string() + ".quillbox-history");
    std::vector<std::string> full = args;
    for (std::string& arg : full) arg = test::Replace(arg, "ROM", Q(copy));
    const CliRun run = RunTool(full);
    return {run.status == 0, run.err, ReadFile(copy)};
}

// The form's controls for a column, where the window and the page have one a user types into or
// picks from; nothing for the columns they edit elsewhere (the effect, the offsets).
std::optional<FormInput> FormFor(const Verdict& verdict, const ItemView& item)
{
    const RecordField* field = FindRecordField(verdict.key);
    FormInput input;
    input.shownName = item.name;
    input.shownDescription = item.description;
    if (verdict.key == "description") {
        input.texts["descp"] = verdict.text;
        return input;
    }
    if (field == nullptr) return std::nullopt;
    for (const FormControl& control : FormControls()) {
        if (control.field != field) continue;
        if (control.kind == FormControlKind::TextBox) {
            // An emptied number box saves as 0, as the window always has (its own test holds it).
            if (verdict.text.empty() && field->kind == FieldKind::Number) return std::nullopt;
            input.texts[std::string(control.control)] = verdict.text;
            return input;
        }
        // A list gives a position: only numbers can be picked from it.
        if (!Decimal(verdict.text) || verdict.text.starts_with('-')) return std::nullopt;
        input.lists[std::string(control.control)] = std::stoi(verdict.text);
        return input;
    }
    return std::nullopt;
}

// The same text is taken or refused alike by set, by an import row in CSV and in JSON (as a string
// and, for numbers, as a JSON number) and by the form; what is taken writes the same bytes, what
// is refused is refused in the same words after the column's name, and writes nothing.
TEST(ColumnVerdicts, SetImportAndTheFormTakeAndRefuseTheSameTexts)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const Bytes original = ReadFile(rom);
    const OpenedRom opened = Open(rom);
    auto other = ReadItem(opened.state, 10);
    ASSERT_TRUE(other);
    const std::string firstMove = ToUtf8(opened.moveNames.front());
    for (const Verdict& verdict : Verdicts(other->descriptionOffsetText, firstMove)) {
        SCOPED_TRACE(verdict.key + "=" + verdict.text);
        const std::string position = std::to_string(verdict.position);
        const std::string column(FindItemColumn(verdict.key)->key);
        const Outcome set = RunOn(rom, dir / "set.gba", {"set", "ROM", position, verdict.key + "=" + verdict.text});
        WriteText(dir / "row.csv", "position," + verdict.key + "\n" + position + "," + CsvQuoted(verdict.text) + "\n");
        const Outcome csv = RunOn(rom, dir / "csv.gba", {"import", "ROM", Q(dir / "row.csv")});
        nlohmann::json row{{"position", verdict.position}, {verdict.key, verdict.text}};
        WriteText(dir / "row.json", nlohmann::json::array({row}).dump());
        const Outcome json = RunOn(rom, dir / "json.gba", {"import", "ROM", Q(dir / "row.json")});
        std::vector<std::pair<std::string, Outcome>> imports{{"CSV", csv}, {"JSON", json}};
        // Columns of numbers take a JSON number as they take its digits; hexadecimal ones take text.
        const ColumnKind kind = FindItemColumn(verdict.key)->kind;
        const bool numbers = kind == ColumnKind::Number || kind == ColumnKind::TmMove || kind == ColumnKind::EffectMember;
        if (numbers && Decimal(verdict.text)) {
            row[verdict.key] = std::stoll(verdict.text);
            WriteText(dir / "number.json", nlohmann::json::array({row}).dump());
            imports.emplace_back("JSON number", RunOn(rom, dir / "number.json.gba", {"import", "ROM", Q(dir / "number.json")}));
        }

        const bool taken = verdict.takes.empty();
        ASSERT_EQ(set.taken, taken) << set.message;
        const std::string quoted = "\"" + verdict.text + "\"";
        if (!taken) { EXPECT_NE(set.message.find(column + " takes " + Refused(verdict.takes, quoted)), std::string::npos) << set.message; }
        for (const auto& [format, outcome] : imports) {
            SCOPED_TRACE(format);
            EXPECT_EQ(outcome.taken, taken) << outcome.message;
            if (taken) {
                EXPECT_EQ(outcome.file, set.file);
            } else {
                const std::string shown = format == "JSON number" ? verdict.text : quoted;
                EXPECT_NE(outcome.message.find("column " + column + ": takes " + Refused(verdict.takes, shown)), std::string::npos)
                    << outcome.message;
                EXPECT_EQ(outcome.file, original);
            }
        }
        if (!taken) { EXPECT_EQ(set.file, original); }

        // The form, for the columns it has a control for.
        std::filesystem::remove(dir / "form.gba");
        std::filesystem::copy_file(rom, dir / "form.gba");
        std::filesystem::remove(dir / "form.gba.quillbox-history");
        const OpenedRom formRom = Open(dir / "form.gba");
        auto item = ReadItem(formRom.state, verdict.position);
        ASSERT_TRUE(item);
        const auto input = FormFor(verdict, *item);
        if (!input) continue;
        auto routines = RoutineGroupsOf(formRom.state);
        ASSERT_TRUE(routines);
        auto edit = ColumnEditFromForm(*input, formRom, *item, **routines);
        ASSERT_EQ(edit.has_value(), taken) << (edit ? "" : edit.error().message);
        if (!taken) {
            EXPECT_EQ("quillbox-cli: " + edit.error().message + "\n", set.message);
            continue;
        }
        auto patches = PlanSave(formRom.state, verdict.position, edit->edit, {item->descriptionOffset, item->descriptionRoomBytes});
        ASSERT_TRUE(patches) << patches.error().message;
        if (!patches->empty()) { ASSERT_TRUE(ApplyToRom(formRom.state, *patches, {"Save", verdict.position})); }
        EXPECT_EQ(ReadFile(dir / "form.gba"), set.file);
    }
}

// A value set to what it already is writes nothing, not even the padding the game never reads:
// the name's bytes after its end mark, zeros as in the released games, not the 0xFF a save writes.
TEST(ColumnVerdicts, AValueSetToWhatItIsWritesNothing)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const OpenedRom opened = Open(rom);
    auto item = ReadItem(opened.state, 19);
    ASSERT_TRUE(item);
    Bytes bytes = ReadFile(rom);
    const std::size_t entry = static_cast<std::size_t>(opened.state.itemTableOffset) + 44 * 19;
    const std::size_t end = static_cast<std::size_t>(std::find(bytes.begin() + static_cast<std::ptrdiff_t>(entry),
                                                               bytes.begin() + static_cast<std::ptrdiff_t>(entry + 14), Byte{0xFF}) -
                                                     bytes.begin());
    ASSERT_LT(end, entry + 13);
    for (std::size_t at = end + 1; at < entry + 14; ++at) bytes[at] = 0;
    test::WriteFile(rom, bytes);
    item = ReadItem(opened.state, 19);
    ASSERT_TRUE(item);

    const std::string name = ToUtf8(item->name);
    auto effect = ReadItemEffect(opened.state, 19);
    ASSERT_TRUE(effect);
    const std::string curesBurn = effect->effect.curesBurn ? "yes" : "no";
    const std::string place = "0x" + item->descriptionOffsetText;
    const std::string description = ToUtf8(ReplaceAll(item->description, kWindowsLineBreak, U"\n"));
    const std::string holdEffect = NumberAndName(Meaning::HoldEffect, *opened.family, item->holdEffect);
    const std::vector<std::string> same{"name=" + name,
                                        "price=0" + std::to_string(item->price),
                                        "special1=" + holdEffect,
                                        "fieldUsageCodePointer=0x" + item->fieldUsageCodePointer,
                                        "descriptionOffset=" + place,
                                        "description=" + description,
                                        "effect.curesBurn=" + curesBurn,
                                        "imageOffset=" + item->imageOffsetText.value_or("")};
    std::vector<std::string> args{"set", Q(rom), "19"};
    args.insert(args.end(), same.begin(), same.end());
    const CliRun run = RunTool(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(rom), bytes);
    EXPECT_FALSE(std::filesystem::exists(rom.string() + ".quillbox-history"));

    std::string header = "position";
    std::string values = "19";
    nlohmann::json row{{"position", 19}};
    for (const std::string& pair : same) {
        const std::size_t equals = pair.find('=');
        header += "," + pair.substr(0, equals);
        values += "," + CsvQuoted(pair.substr(equals + 1));
        row[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    const OpenedRom reopened = Open(rom);
    for (const auto& [file, format] : {std::pair{header + "\n" + values + "\n", ExportFormat::Csv},
                                        std::pair{nlohmann::json::array({row}).dump(), ExportFormat::Json}}) {
        auto plan = PlanImport(reopened, file, format);
        ASSERT_TRUE(plan) << plan.error().message;
        EXPECT_TRUE(plan->patches.empty());
        EXPECT_TRUE(plan->changes.empty());
    }

    FormInput input;
    input.shownName = item->name;
    input.shownDescription = item->description;
    auto routines = RoutineGroupsOf(reopened.state);
    ASSERT_TRUE(routines);
    for (const auto& [control, value] : ShowItemForm(reopened, *item, **routines)) {
        if (value.listPosition >= 0) input.lists[control] = value.listPosition;
        else input.texts[control] = value.text;
    }
    auto edit = ColumnEditFromForm(input, reopened, *item, **routines);
    ASSERT_TRUE(edit) << edit.error().message;
    EXPECT_TRUE(edit->changed.empty());
    auto patches = PlanSave(reopened.state, 19, edit->edit, {item->descriptionOffset, item->descriptionRoomBytes});
    ASSERT_TRUE(patches);
    EXPECT_TRUE(patches->empty());
    EXPECT_EQ(ReadFile(rom), bytes);
}

std::string ExportOf(const std::filesystem::path& rom, ExportFormat format)
{
    const OpenedRom opened = Open(rom);
    auto items = ReadItemTable(opened.state);
    if (!items) throw std::runtime_error(items.error().message);
    return ExportItems(opened, *items, format);
}

class ColumnRoundTrip : public ::testing::TestWithParam<std::string_view> {};

// A ROM changed in every kind of column exports a file that, imported into the unchanged ROM,
// gives the changed ROM's bytes and the same export again; the JSON today's export wrote (every
// member of every item, null where the item lacks it) imports to the same bytes.
TEST_P(ColumnRoundTrip, ExportImportExportGivesTheSameFile)
{
    TempDir dir;
    const auto changed = test::WriteSample(dir, GetParam(), "changed.gba");
    const Bytes original = ReadFile(changed);
    {
        const OpenedRom opened = Open(changed);
        auto other = ReadItem(opened.state, 30);
        ASSERT_TRUE(other);
        // The effect where the ROM's item-effect table is known.
        const bool effects = opened.state.itemEffectsKnown;
        std::string edits = "position,price,holdEffect,importance,pocket,battleUsage,secondaryId,fieldUsageCodePointer,descriptionOffset";
        edits += effects ? ",effect.healHp,effect.curesBurn,effect.attackStages\n" : "\n";
        edits += "19,777,Leftovers,1,2,1,3,0A0001," + other->descriptionOffsetText + (effects ? ",20,on,3\n" : "\n");
        edits += "20,12,0,0,1,0,0,0A0061,0x" + other->descriptionOffsetText + (effects ? ",off,off,0\n" : "\n");
        WriteText(dir / "edits.csv", edits);
        ASSERT_EQ(RunTool({"import", Q(changed), Q(dir / "edits.csv")}).status, 0);
        ASSERT_EQ(RunTool({"set", Q(changed), "300", "tmMove=7", "name=Renamed"}).status, 0);
        if (opened.family->hasImages) { ASSERT_EQ(RunTool({"set", Q(changed), "5", "imageOffset=900000"}).status, 0); }
    }
    const Bytes target = ReadFile(changed);
    ASSERT_NE(target, original);
    for (const ExportFormat format : {ExportFormat::Json, ExportFormat::Csv}) {
        SCOPED_TRACE(format == ExportFormat::Json ? "JSON" : "CSV");
        const std::string exported = ExportOf(changed, format);
        const auto fresh = test::WriteSample(dir, GetParam(), format == ExportFormat::Json ? "fromJson.gba" : "fromCsv.gba");
        const OpenedRom opened = Open(fresh);
        auto plan = PlanImport(opened, exported, format);
        ASSERT_TRUE(plan) << plan.error().message;
        ASSERT_TRUE(ApplyImport(opened, *plan));
        EXPECT_EQ(ReadFile(fresh), target);
        EXPECT_EQ(ExportOf(fresh, format), exported);
    }

    // Every member of every item, as the export wrote it before it left out the nulls.
    const OpenedRom opened = Open(changed);
    auto items = ReadItemTable(opened.state);
    ASSERT_TRUE(items);
    auto routines = RoutineGroupsOf(opened.state);
    ASSERT_TRUE(routines);
    auto effects = ReadItemEffects(opened.state);
    ASSERT_TRUE(effects);
    nlohmann::json every = nlohmann::json::array();
    std::size_t nulls = 0;
    for (const ItemView& item : *items) {
        every.push_back(ItemToJson(opened, item, **routines, &(*effects)[static_cast<std::size_t>(item.position)]));
        for (const auto& member : every.back()) nulls += member.is_null() ? 1 : 0;
    }
    EXPECT_GT(nulls, items->size());
    const auto fresh = test::WriteSample(dir, GetParam(), "fromNulls.gba");
    const OpenedRom freshRom = Open(fresh);
    auto plan = PlanImport(freshRom, JsonText(every), ExportFormat::Json);
    ASSERT_TRUE(plan) << plan.error().message;
    ASSERT_TRUE(ApplyImport(freshRom, *plan));
    EXPECT_EQ(ReadFile(fresh), target);
    EXPECT_LT(ExportOf(fresh, ExportFormat::Json).size(), JsonText(every).size());
}

INSTANTIATE_TEST_SUITE_P(EveryGame, ColumnRoundTrip, ::testing::Values("BPRE", "BPGE", "BPEE", "AXVE", "AXPE"));

}  // namespace
}  // namespace quillbox
