#include "ItemTestSupport.h"

#include "items/effect/ItemEffectTable.h"
#include "items/opening/TableDetection.h"
#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "rom/PointerScan.h"
#include "sample/SampleCodeSites.h"
#include "sample/SampleRom.h"
#include "support/SampleCases.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quillbox::test {
namespace {

std::uint32_t Le32At(const Bytes& rom, std::int64_t at)
{
    const auto i = static_cast<std::size_t>(at);
    return static_cast<std::uint32_t>(rom[i] | rom[i + 1] << 8 | rom[i + 2] << 16) | static_cast<std::uint32_t>(rom[i + 3]) << 24;
}

void PutWord(Bytes& rom, std::int64_t at, std::uint32_t word)
{
    for (int i = 0; i < 4; ++i) rom[static_cast<std::size_t>(at + i)] = static_cast<Byte>(word >> (8 * i));
}

// The file offset of item `item`'s record in the table at `table`, 0 for none.
std::int64_t RecordOf(const Bytes& rom, std::int64_t table, int item)
{
    const std::uint32_t word = Le32At(rom, table + 4 * (item - 13));
    return word == 0 ? 0 : static_cast<std::int64_t>(word) - 0x08000000;
}

std::string Hex(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

std::string ReadText(const std::filesystem::path& file)
{
    const Bytes bytes = ReadFile(file);
    return std::string(bytes.begin(), bytes.end());
}

// The records the decompilations' item-effect data gives these items in every release.
TEST(SampleEffectRecords, AreTheReleasedOnesWithTwoShared)
{
    const struct {
        int item;
        Bytes bytes;
    } released[] = {
        {13, {0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 20}},                         // Potion: heals 20
        {21, {0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 200}},                        // Hyper Potion
        {23, {0x00, 0x00, 0x00, 0x3F, 0x00, 0x00}},                             // Full Heal
        {24, {0x00, 0x00, 0x00, 0x00, 0x44, 0x00, 0xFE}},                       // Revive: half
        {64, {0x00, 0x00, 0x00, 0x00, 0x02, 0xE0, 0x0A, 0x05, 0x03, 0x02}},     // Protein
        {75, {0x01, 0x00, 0x00, 0x00, 0x00, 0x60, 0x01, 0x01}},                 // X Attack
        {95, {0x00, 0x00, 0x00, 0x00, 0x80, 0x00}},                             // Fire Stone
    };
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        auto rom = BuildSampleRom(game.headerCode);
        auto tables = SampleTablesFor(game.headerCode);
        ASSERT_TRUE(rom && tables);
        for (const auto& [item, bytes] : released) {
            const std::int64_t record = RecordOf(*rom, tables->effectData, item);
            ASSERT_GT(record, 0) << item;
            const auto start = rom->begin() + static_cast<std::ptrdiff_t>(record);
            EXPECT_EQ(Bytes(start, start + static_cast<std::ptrdiff_t>(bytes.size())), bytes) << item;
        }
        // Berry Juice and Lum Berry share Potion's and Full Heal's records; every other record is its own.
        EXPECT_EQ(RecordOf(*rom, tables->effectData, 44), RecordOf(*rom, tables->effectData, 13));
        EXPECT_EQ(RecordOf(*rom, tables->effectData, 141), RecordOf(*rom, tables->effectData, 23));
        std::set<std::int64_t> distinct;
        int records = 0;
        for (int item = 13; item <= 175; ++item) {
            if (const std::int64_t record = RecordOf(*rom, tables->effectData, item); record != 0) {
                ++records;
                distinct.insert(record);
            }
        }
        EXPECT_EQ(records, game.headerCode == "BPEE" ? 69 : 63);
        EXPECT_EQ(distinct.size(), static_cast<std::size_t>(records - 2));
        EXPECT_EQ(RecordOf(*rom, tables->effectData, 175), 0) << "Enigma Berry's record is in the save";
    }
}

// Among every place the sample's words name, only the table and its copy hold the evidence; the
// look-alikes a finder going by pointers would take are turned down.
TEST(ItemEffectEvidence, OnlyTheTableAndItsCopyHoldItAmongEveryNamedPlace)
{
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        auto rom = BuildSampleRom(game.headerCode);
        auto tables = SampleTablesFor(game.headerCode);
        ASSERT_TRUE(rom && tables);
        const PointerTargets pointers = ScanPointers(*rom);
        std::set<std::int64_t> holding;
        for (const std::uint32_t at : pointers.Offsets()) {
            if (WeighItemEffectTable(*rom, at).IsItemEffectTable()) holding.insert(at);
        }
        EXPECT_EQ(holding, (std::set<std::int64_t>{kSampleEffectCopy, tables->effectData}));
        for (const std::int64_t lookAlike : kSampleEffectLookAlikes) {
            const ItemEffectTableEvidence evidence = WeighItemEffectTable(*rom, lookAlike);
            EXPECT_FALSE(evidence.IsItemEffectTable()) << Hex(lookAlike) << ": " << evidence.Describe();
            EXPECT_EQ(evidence.entriesInRom, kItemEffectEntries) << "every entry names a place in the ROM";
        }
        // Two look-alikes pass the first look (a healing POTION); one does not even that.
        EXPECT_TRUE(MayBeItemEffectTable(*rom, kSampleEffectLookAlikes[0]));
        EXPECT_FALSE(MayBeItemEffectTable(*rom, kSampleEffectLookAlikes[1]));
        EXPECT_TRUE(MayBeItemEffectTable(*rom, kSampleEffectLookAlikes[2]));
        EXPECT_GT(pointers.CountAt(kSampleEffectCopy), pointers.CountAt(tables->effectData));
        EXPECT_GT(pointers.CountAt(kSampleEffectLookAlikes[2]), pointers.CountAt(tables->effectData));
    }
}

struct MutationRow {
    const char* name;
    std::function<void(Bytes& rom, std::int64_t table)> change;
    bool holdsEvidence;
};

void PrintTo(const MutationRow& row, std::ostream* out) { *out << row.name; }

class ItemEffectMutation : public ::testing::TestWithParam<MutationRow> {};

TEST_P(ItemEffectMutation, EvidenceHoldsOnlyWhileTheTableDoesWhatTheGameNeeds)
{
    const MutationRow& row = GetParam();
    for (const std::string_view code : {"BPRE", "BPEE", "AXPE"}) {
        SCOPED_TRACE(code);
        auto rom = BuildSampleRom(code);
        auto tables = SampleTablesFor(code);
        ASSERT_TRUE(rom && tables);
        ASSERT_TRUE(WeighItemEffectTable(*rom, tables->effectData).IsItemEffectTable());
        row.change(*rom, tables->effectData);
        const ItemEffectTableEvidence evidence = WeighItemEffectTable(*rom, tables->effectData);
        EXPECT_EQ(evidence.IsItemEffectTable(), row.holdsEvidence) << evidence.Describe();
    }
}

// Sets a byte of item `item`'s record.
auto SetRecordByte(int item, int at, Byte value)
{
    return [=](Bytes& rom, std::int64_t table) { rom[static_cast<std::size_t>(RecordOf(rom, table, item) + at)] = value; };
}

auto PointEntry(int item, std::function<std::uint32_t(const Bytes&, std::int64_t)> word)
{
    return [=](Bytes& rom, std::int64_t table) { PutWord(rom, table + 4 * (item - 13), word(rom, table)); };
}

auto Both(std::function<void(Bytes&, std::int64_t)> a, std::function<void(Bytes&, std::int64_t)> b)
{
    return [=](Bytes& rom, std::int64_t table) {
        a(rom, table);
        b(rom, table);
    };
}

std::uint32_t WordNaming(std::int64_t offset) { return 0x08000000u + static_cast<std::uint32_t>(offset); }

INSTANTIATE_TEST_SUITE_P(
    Rows, ItemEffectMutation,
    ::testing::Values(
        MutationRow{"AsBuilt", [](Bytes&, std::int64_t) {}, true},
        MutationRow{"PotionHealsNot", SetRecordByte(13, 4, 0x00), false},
        MutationRow{"OneXItemChanged", SetRecordByte(75, 0, 0x00), true},
        MutationRow{"TwoXItemsChanged", Both(SetRecordByte(75, 0, 0x00), SetRecordByte(76, 1, 0x00)), false},
        MutationRow{"OneVitaminHealsInstead",
                    PointEntry(64, [](const Bytes& rom, std::int64_t place) { return WordNaming(RecordOf(rom, place, 13)); }), true},
        MutationRow{"TwoVitaminsHealInstead",
                    Both(PointEntry(64, [](const Bytes& rom, std::int64_t place) { return WordNaming(RecordOf(rom, place, 13)); }),
                         PointEntry(65, [](const Bytes& rom, std::int64_t place) { return WordNaming(RecordOf(rom, place, 13)); })),
                    false},
        MutationRow{"TwoStonesWithoutTheFlag", Both(SetRecordByte(95, 4, 0x00), SetRecordByte(97, 4, 0x00)), false},
        MutationRow{"EntryPastTheFile", PointEntry(20, [](const Bytes&, std::int64_t) { return 0x09FFFF00u; }), false},
        MutationRow{"EntryNoPointer", PointEntry(20, [](const Bytes&, std::int64_t) { return 0x12345678u; }), false},
        MutationRow{"RecordCutShortByTheEnd",
                    PointEntry(20, [](const Bytes& rom, std::int64_t) { return WordNaming(static_cast<std::int64_t>(rom.size()) - 3); }),
                    false},
        MutationRow{"BerriesRemovedLeavingTooFewRecords",
                    [](Bytes& rom, std::int64_t table) {
                        for (int item = 133; item <= 175; ++item) PutWord(rom, table + 4 * (item - 13), 0);
                    },
                    false},
        MutationRow{"EnigmaGivenARecord",
                    PointEntry(175, [](const Bytes& rom, std::int64_t place) { return WordNaming(RecordOf(rom, place, 23)); }), true},
        MutationRow{"StonesSharingOneRecord",
                    [](Bytes& rom, std::int64_t table) {
                        const std::uint32_t sun = Le32At(rom, table + 4 * (93 - 13));
                        for (int item = 94; item <= 98; ++item) PutWord(rom, table + 4 * (item - 13), sun);
                    },
                    true}),
    [](const ::testing::TestParamInfo<MutationRow>& row) { return std::string(row.param.name); });

// The instructions the game's item-effect functions use: `ldr rN, [pc, #…]` loading the table's
// address from the literal pool and `subs rM, #13` within a few instructions.
struct CodeRow {
    const char* name;
    std::int64_t ldrAt;
    std::uint16_t ldr;
    std::int64_t subsAt;
    std::uint16_t subs;
    bool readsTable;
};

void PrintTo(const CodeRow& row, std::ostream* out) { *out << row.name; }

class ItemEffectCode : public ::testing::TestWithParam<CodeRow> {};

TEST_P(ItemEffectCode, TellsTheIndexingByItemMinus13)
{
    const CodeRow& row = GetParam();
    Bytes rom(0x1000, 0x00);
    constexpr std::int64_t kLiteral = 0x100;
    PutWord(rom, kLiteral, 0x08000800);
    rom[static_cast<std::size_t>(row.ldrAt)] = static_cast<Byte>(row.ldr & 0xFF);
    rom[static_cast<std::size_t>(row.ldrAt + 1)] = static_cast<Byte>(row.ldr >> 8);
    rom[static_cast<std::size_t>(row.subsAt)] = static_cast<Byte>(row.subs & 0xFF);
    rom[static_cast<std::size_t>(row.subsAt + 1)] = static_cast<Byte>(row.subs >> 8);
    const std::uint32_t naming[] = {static_cast<std::uint32_t>(kLiteral)};
    EXPECT_EQ(ReadAsItemEffectTable(rom, naming), row.readsTable);
}

// An ldr at 0xF4 or 0xF6 reads 0xF8 + 4 * imm: imm 2 is the literal at 0x100.
INSTANTIATE_TEST_SUITE_P(
    Rows, ItemEffectCode,
    ::testing::Values(CodeRow{"SubsRightAfter", 0xF4, 0x4902, 0xF6, 0x380D, true},
                      CodeRow{"LdrOnTheOddHalfWord", 0xF6, 0x4902, 0xF8, 0x380D, true},
                      CodeRow{"SubsEightBefore", 0xF4, 0x4902, 0xE4, 0x380D, true},
                      CodeRow{"SubsNineBefore", 0xF4, 0x4902, 0xE2, 0x380D, false},
                      CodeRow{"OtherRegisters", 0xF4, 0x4F02, 0xF6, 0x3D0D, true},
                      CodeRow{"SubsTwelve", 0xF4, 0x4902, 0xF6, 0x380C, false},
                      CodeRow{"AddsThirteen", 0xF4, 0x4902, 0xF6, 0x300D, false},
                      CodeRow{"LdrOfAnotherWord", 0xF4, 0x4903, 0xF6, 0x380D, false},
                      CodeRow{"NoLdrAtAll", 0xF4, 0x0000, 0xF6, 0x380D, false}),
    [](const ::testing::TestParamInfo<CodeRow>& row) { return std::string(row.param.name); });

// Several places holding the evidence: the code indexing by item - 13 decides, pointer counts never.
struct DecisionRow {
    const char* name;
    bool removeCode;    // the subs #13 beside the real table's pointer made a no-op
    bool codeNamesCopy; // the code's literal names the copy instead
    bool removeCopy;
    bool breakPotion;   // Potion's record (shared by the copy) heals no more
    int expected;       // 0: the table, 1: the copy, -1: none
    std::vector<int> tied;
    int candidates;
};

void PrintTo(const DecisionRow& row, std::ostream* out) { *out << row.name; }

class ItemEffectDecision : public ::testing::TestWithParam<DecisionRow> {};

TEST_P(ItemEffectDecision, ChoosesTheTableTheCodeReadsOrNone)
{
    const DecisionRow& row = GetParam();
    for (const std::string_view code : {"BPRE", "AXVE"}) {
        SCOPED_TRACE(code);
        auto rom = BuildSampleRom(code);
        auto tables = SampleTablesFor(code);
        ASSERT_TRUE(rom && tables);
        // Every load of the table the sample's code makes, kSampleEffectCode's reader's among them.
        const SampleCodePlaces sampleCode = SampleCodeFor(code, SampleOptions{}).value();
        if (row.removeCode) {
            (*rom)[kSampleEffectCode + 2] = 0x00;
            (*rom)[kSampleEffectCode + 3] = 0x00;
            for (const std::int64_t load : sampleCode.effectLoads) PutLittleEndian(*rom, static_cast<std::size_t>(load), 0, 2);
        }
        if (row.codeNamesCopy) {
            PutWord(*rom, kSampleEffectCode + 12, WordNaming(kSampleEffectCopy));
            for (const std::int64_t word : sampleCode.effectWords) PutWord(*rom, word, WordNaming(kSampleEffectCopy));
        }
        if (row.removeCopy) std::fill_n(rom->begin() + kSampleEffectCopy, kItemEffectTableSize, Byte{0xFF});
        if (row.breakPotion) (*rom)[static_cast<std::size_t>(RecordOf(*rom, tables->effectData, 13) + 4)] = 0;

        const FoundItemEffects found = FindItemEffectTable(*rom, ScanPointers(*rom));
        const std::int64_t places[] = {tables->effectData, kSampleEffectCopy};
        EXPECT_EQ(found.table.offset, row.expected < 0 ? -1 : places[row.expected]);
        EXPECT_EQ(found.table.candidates, row.candidates);
        std::vector<std::int64_t> tied;
        for (const int k : row.tied) tied.push_back(places[k]);
        EXPECT_EQ(found.table.tied, tied);
        // The code is asked only when several places hold the evidence.
        EXPECT_EQ(found.readByCode, row.expected >= 0 && !row.removeCode && row.candidates > 1);
        EXPECT_EQ(found.problems.empty(), row.expected >= 0);
        if (!tied.empty()) {
            ASSERT_EQ(found.problems.size(), 1U);
            EXPECT_TRUE(found.problems[0].contains(Hex(kSampleEffectCopy)) && found.problems[0].contains(Hex(tables->effectData)))
                << found.problems[0];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ItemEffectDecision,
    ::testing::Values(DecisionRow{"AsBuilt", false, false, false, false, 0, {}, 2},
                      DecisionRow{"NoCodeSeen", true, false, false, false, -1, {1, 0}, 2},
                      DecisionRow{"CodeReadsTheCopy", false, true, false, false, 1, {}, 2},
                      DecisionRow{"OneCandidate", false, false, true, false, 0, {}, 1},
                      DecisionRow{"OneCandidateNoCodeSeen", true, false, true, false, 0, {}, 1},
                      DecisionRow{"PotionHealsNowhere", false, false, false, true, -1, {}, 0}),
    [](const ::testing::TestParamInfo<DecisionRow>& row) { return std::string(row.param.name); });

class DetectOnSamples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(DetectOnSamples, FindsTheItemEffectTableTheCodeReads)
{
    const auto [code, version, hack] = GetParam();
    const SampleOptions options{.version = version, .hack = hack};
    auto rom = BuildSampleRom(code, options);
    auto placed = SampleTablesFor(code, options);
    ASSERT_TRUE(rom && placed);
    auto detected = DetectTables(std::span<const Byte>(*rom));
    ASSERT_TRUE(detected) << detected.error().message;
    const FoundItemEffects& effects = detected->effects;
    EXPECT_EQ(effects.table.offset, placed->effectData);
    EXPECT_TRUE(effects.readByCode);
    EXPECT_EQ(effects.table.pointerCount, static_cast<std::uint32_t>(SampleEffectTablePointers(code)));
    EXPECT_EQ(effects.table.candidates, 2);
    EXPECT_GE(effects.lookAlikes, 2);
    EXPECT_TRUE(effects.problems.empty());
    EXPECT_EQ(detected->Tables().effectData, placed->effectData);
    const auto lines = detected->ProfileLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "EffectData=&H" + Hex(placed->effectData)), lines.end());
    const std::string section = FormatDetectedSection(*detected);
    EXPECT_TRUE(section.contains("; EffectData: " + std::to_string(SampleEffectTablePointers(code)) +
                                 " pointers, 163 of 163 entries 0 or in the ROM")) << section;
    EXPECT_TRUE(section.contains("read by the item-effect code, 2 candidates of " +
                                 std::to_string(2 + effects.lookAlikes) + " places")) << section;
}

INSTANTIATE_TEST_SUITE_P(EveryCodeAndRevision, DetectOnSamples, ::testing::ValuesIn(AllSampleCases()), SampleCaseName);

// EffectData is checked at opening: only a place holding the evidence makes effects known, and
// nothing about it ever keeps the ROM from opening.
struct OpeningRow {
    const char* name;
    std::string line;        // the EffectData line of the only section, empty for none
    std::int64_t known;      // the known offset, -1 for unknown
    std::string warningPart; // empty: no warning
};

void PrintTo(const OpeningRow& row, std::ostream* out) { *out << row.name; }

class EffectDataOpening : public ::testing::TestWithParam<OpeningRow> {};

TEST_P(EffectDataOpening, KnownOnlyWhereTheEvidenceIs)
{
    const OpeningRow& row = GetParam();
    TempDir dir;
    const auto rom = WriteSample(dir, "BPRE", "rom.gba");
    const auto profile = WriteTextFile(dir / "roms.ini", "[BPRE]\nItemData=&H3DB028\nAttackNames=&H2470A1\nTMData=&H45A80C\n"
                                                         "IMGData=&H3D4294\n" + row.line + "\n");
    const Bytes before = ReadFile(rom);
    auto opened = OpenRom(rom, profile);
    ASSERT_TRUE(opened) << Describe(opened);
    EXPECT_EQ(ReadFile(rom), before);
    EXPECT_EQ(opened->state.itemEffectsKnown, row.known >= 0);
    if (row.known >= 0) {
        EXPECT_EQ(opened->state.itemEffectsOffset, row.known);
    }
    EXPECT_TRUE(opened->state.tmMovesKnown);
    if (row.warningPart.empty()) {
        EXPECT_TRUE(opened->warnings.empty()) << opened->warnings.front();
        return;
    }
    ASSERT_EQ(opened->warnings.size(), 1U);
    EXPECT_TRUE(opened->warnings[0].contains(row.warningPart)) << opened->warnings[0];
    EXPECT_TRUE(opened->warnings[0].ends_with("item effects are not shown or written")) << opened->warnings[0];
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EffectDataOpening,
    ::testing::Values(
        OpeningRow{"NoKey", "", -1, ""},
        OpeningRow{"TheTable", "EffectData=&H2528BC", 0x2528BC, ""},
        OpeningRow{"TheCopyHoldsTheEvidenceToo", "EffectData=&H28400", 0x28400, ""},
        OpeningRow{"RecordsCutShort", "EffectData=&H28800", -1, "EffectData 28800 holds no item-effect table (163 of 163 entries"},
        OpeningRow{"PotionHealsNot", "EffectData=&H28C00", -1, "POTION does not heal"},
        OpeningRow{"LongerTableOfHealingRecords", "EffectData=&H29000", -1, "X items 0 of 5"},
        OpeningRow{"TheItemTable", "EffectData=&H3DB028", -1, "EffectData 3DB028 holds no item-effect table"},
        OpeningRow{"PastTheEnd", "EffectData=&HFFFF00", -1, "leaves no room for the item-effect table's 652 bytes"}),
    [](const ::testing::TestParamInfo<OpeningRow>& row) { return std::string(row.param.name); });

// Tables kept by detect --keep name the item-effect table; a file kept before they did opens
// with effects unknown and no complaint, and a table not found is said so in the file.
TEST(KeptEffectData, WrittenWhenFoundAndUnknownWithout)
{
    TempDir dir;
    const auto rom = dir / "hack.gba";
    ASSERT_TRUE(WriteSampleRom(rom, "BPRE", SampleOptions{.hack = true}));
    auto detected = DetectTables(rom);
    ASSERT_TRUE(detected) << detected.error().message;
    ASSERT_TRUE(KeepFoundTables(rom, *detected));
    const std::string kept = ReadText(RomTablesPathOf(rom));
    EXPECT_TRUE(kept.contains("\nEffectData=&H2528BC\n")) << kept;

    const ProfileFiles profiles{ShippedProfile(), dir / "user.ini"};
    auto withKey = OpenRom(rom, OpenOptions{profiles, std::nullopt});
    ASSERT_TRUE(withKey) << Describe(withKey);
    EXPECT_TRUE(withKey->origin.romTables);
    EXPECT_TRUE(withKey->state.itemEffectsKnown);
    EXPECT_EQ(withKey->state.itemEffectsOffset, 0x2528BC);
    EXPECT_TRUE(withKey->warnings.empty());

    std::string old = kept;
    old.erase(old.find("EffectData=&H2528BC\n"), std::string("EffectData=&H2528BC\n").size());
    WriteTextFile(RomTablesPathOf(rom), old);
    auto withoutKey = OpenRom(rom, OpenOptions{profiles, std::nullopt});
    ASSERT_TRUE(withoutKey) << Describe(withoutKey);
    EXPECT_TRUE(withoutKey->origin.romTables);
    EXPECT_FALSE(withoutKey->state.itemEffectsKnown);
    EXPECT_TRUE(withoutKey->warnings.empty());
    EXPECT_EQ(withoutKey->state.ItemCount(), 375 + kSampleHackExtraItems);

    // Potion's record healing nowhere: no table found, the kept file says so.
    Bytes bytes = ReadFile(rom);
    bytes[static_cast<std::size_t>(RecordOf(bytes, 0x2528BC, 13) + 4)] = 0;
    WriteFile(rom, bytes);
    auto unfound = DetectTables(rom);
    ASSERT_TRUE(unfound);
    ASSERT_TRUE(KeepFoundTables(rom, *unfound));
    const std::string keptWithout = ReadText(RomTablesPathOf(rom));
    EXPECT_FALSE(keptWithout.contains("EffectData=")) << keptWithout;
    EXPECT_TRUE(keptWithout.contains("; No EffectData: the item-effect table was not found")) << keptWithout;
}

}  // namespace
}  // namespace quillbox::test
