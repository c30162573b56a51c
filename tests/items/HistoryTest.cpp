#include "ItemTestSupport.h"
#include "support/TestPlatform.h"

#include "base/Crc32.h"
#include "base/HexText.h"
#include "rom/History.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <random>

namespace quillbox::test {
namespace {

constexpr int kItems = 24;
constexpr std::int64_t kPlaces = RomBuilder::kFreeArea;
constexpr std::int64_t kPlaceSize = 0x20;

std::string HexOf(std::int64_t offset) { return NumberToHex(static_cast<std::uint32_t>(offset)); }

// A fixture with free room for descriptions, so that saves can write longer ones once repointed.
struct HistoryFixture {
    HistoryFixture()
    {
        RomBuilder builder("BPRE");
        builder.Fill(kPlaces, 0x1000, 0xFF);
        builder.Put(0xA0, PlainGameBytes("FIXTURE"));
        rom = builder.Write(dir);
        state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
    }

    Status Save(int position, const ItemEdit& edit) const
    {
        auto item = ReadItem(state, position);
        if (!item) return item.error();
        return SaveItem(state, position, edit, {item->descriptionOffset, item->descriptionRoomBytes});
    }

    TempDir dir;
    std::filesystem::path rom;
    RomState state;
};

ItemEdit PriceEdit(std::uint16_t price) { return EditOf(&ItemEdit::price, price); }

// One random write of the kinds the window makes: a save of some fields, or either repoint.
Status RandomChange(const HistoryFixture& fixture, std::mt19937& random)
{
    const auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    const int position = pick(kItems);
    switch (pick(3)) {
    case 0: {
        auto item = ReadItem(fixture.state, position);
        if (!item) return item.error();
        ItemEdit edit;
        edit.price = static_cast<std::uint16_t>(pick(4) * 100);
        if (pick(2) == 0) edit.name = Text(static_cast<std::size_t>(1 + pick(12)), static_cast<char32_t>(U'A' + pick(26)));
        if (pick(2) == 0) edit.holdEffect = static_cast<std::uint8_t>(pick(256));
        if (item->descriptionRoomBytes > 1) {
            edit.description = Text(static_cast<std::size_t>(pick(item->descriptionRoomBytes)), U'B');
        }
        return SaveItem(fixture.state, position, edit, {item->descriptionOffset, item->descriptionRoomBytes});
    }
    case 1: {
        const std::int64_t place = pick(3) == 0 ? RomBuilder::kDefaultDescription : kPlaces + kPlaceSize * pick(64);
        auto repointed = RepointDescription(fixture.state, position, HexOf(place));
        return repointed ? Status{} : Status{repointed.error()};
    }
    default: return RepointItemImage(fixture.state, position, HexOf(pick(0x8000)), HexOf(pick(0x8000)));
    }
}

// Random changes, undos and redos against a model: after every undo the file is byte for byte
// what it was before the change undone, after every redo what it was after it.
TEST(HistoryTest, UndoAndRedoRestoreTheFileByteForByte)
{
    for (const unsigned seed : {1u, 7u, 2026u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        HistoryFixture fixture;
        std::mt19937 random(seed);
        std::vector<Bytes> done{ReadFile(fixture.rom)};
        std::vector<Bytes> undone;
        for (int step = 0; step < 60; ++step) {
            const int action = std::uniform_int_distribution<int>(0, 5)(random);
            if (action < 3) {
                ASSERT_TRUE(RandomChange(fixture, random)) << "step " << step;
                Bytes now = ReadFile(fixture.rom);
                if (now != done.back()) {
                    done.push_back(std::move(now));
                    undone.clear();
                }
                continue;
            }
            const bool undo = action < 5;
            auto stepped = undo ? UndoChange(fixture.rom) : RedoChange(fixture.rom);
            if ((undo ? done.size() == 1 : undone.empty())) {
                ASSERT_FALSE(stepped) << "step " << step;
                EXPECT_EQ(stepped.error().code, ErrorCode::NothingToUndo);
                continue;
            }
            ASSERT_TRUE(stepped) << "step " << step << ": " << Describe(stepped);
            if (undo) {
                undone.push_back(std::move(done.back()));
                done.pop_back();
            } else {
                done.push_back(std::move(undone.back()));
                undone.pop_back();
            }
            ASSERT_EQ(ReadFile(fixture.rom), done.back()) << "step " << step;
        }
        const Bytes end = ReadFile(fixture.rom);
        const std::size_t redoable = undone.size();
        while (done.size() > 1) {
            ASSERT_TRUE(UndoChange(fixture.rom));
            done.pop_back();
        }
        EXPECT_EQ(ReadFile(fixture.rom), done.front());
        EXPECT_EQ(UndoChange(fixture.rom).error().code, ErrorCode::NothingToUndo);
        while (RedoChange(fixture.rom)) {
        }
        if (redoable == 0) {
            EXPECT_EQ(ReadFile(fixture.rom), end);
        }
        EXPECT_EQ(StacksOf(*ReadHistory(fixture.rom)).redo.size(), 0u);
    }
}

// "2026-12-08T13:20:05Z" as a time, or none when the text is not exactly of that form.
std::optional<std::chrono::sys_seconds> ParseUtc(const std::string& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    if (text.size() != 20 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                                         &second, &zone) != 7 || zone != 'Z') {
        return std::nullopt;
    }
    return std::chrono::sys_days{std::chrono::year{year} / month / day} + std::chrono::hours{hour} +
           std::chrono::minutes{minute} + std::chrono::seconds{second};
}

TEST(HistoryTest, EntriesNameTheChangeAndKeepOnlyChangedBytes)
{
    // The clock's time, whatever the environment that runs the tests says of reproducible builds.
    const ScopedEnvironment clock("SOURCE_DATE_EPOCH", "");
    HistoryFixture fixture;
    ItemEdit edit;
    edit.name = U"POTION";
    edit.price = 300;
    const auto before = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    ASSERT_TRUE(fixture.Save(3, edit));
    const auto after = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    ASSERT_TRUE(RepointDescription(fixture.state, 3, HexOf(kPlaces)));
    auto log = ReadHistory(fixture.rom);
    ASSERT_TRUE(log);
    ASSERT_EQ(log->entries.size(), 2u);
    const HistoryEntry& save = log->entries[0];
    EXPECT_EQ(DescribeChange(save.label), "Save of POTION");
    EXPECT_EQ(DescribeChange(log->entries[1].label), "Repoint Description of POTION");
    const auto written = ParseUtc(save.time);
    ASSERT_TRUE(written) << save.time;
    EXPECT_TRUE(before <= *written && *written <= after) << save.time << " is not the UTC time of the save";
    std::int64_t changed = 0;
    for (const HistoryWrite& write : save.writes) {
        EXPECT_NE(write.before, write.after);
        changed += static_cast<std::int64_t>(write.after.size());
    }
    EXPECT_LE(changed, 14 + 2) << "only the name's and the price's bytes differ";
    // A save that changes nothing adds nothing to undo.
    ASSERT_TRUE(fixture.Save(3, edit));
    EXPECT_EQ(ReadHistory(fixture.rom)->entries.size(), 2u);
}

// A build sets SOURCE_DATE_EPOCH to write the same history every time; anything but whole
// seconds since 1970 that a four-digit year can show leaves the clock's time.
TEST(HistoryTest, TheTimeIsSourceDateEpochWhereABuildSetsIt)
{
    struct Row {
        const char* value;
        const char* time;  // none: the clock's
    };
    const Row rows[] = {{"1700000000", "2023-11-14T22:13:20Z"}, {"0", "1970-01-01T00:00:00Z"},
                        {"253402300799", "9999-12-31T23:59:59Z"}, {"253402300800", nullptr},
                        {"-5", nullptr}, {"17e8", nullptr}, {"", nullptr}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        const ScopedEnvironment epoch("SOURCE_DATE_EPOCH", row.value);
        HistoryFixture fixture;
        const auto before = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        ASSERT_TRUE(fixture.Save(3, PriceEdit(300)));
        const auto after = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        auto log = ReadHistory(fixture.rom);
        ASSERT_TRUE(log);
        ASSERT_EQ(log->entries.size(), 1u);
        const std::string& time = log->entries[0].time;
        if (row.time != nullptr) {
            EXPECT_EQ(time, row.time);
            continue;
        }
        const auto written = ParseUtc(time);
        ASSERT_TRUE(written) << time;
        EXPECT_TRUE(before <= *written && *written <= after) << time << " is not the clock's time";
    }
}

// Each row spoils the file or the journal after two saves; nothing spoiled is ever applied.
struct SpoilCase {
    std::string name;
    std::function<void(const HistoryFixture&)> spoil;
    ErrorCode expected;  // of the undo that follows; NothingToUndo stands for success here
    bool secondSaveStillUndoable;
};

void PrintTo(const SpoilCase& row, std::ostream* out) { *out << row.name; }

std::string JournalText(const std::filesystem::path& rom)
{
    std::ifstream in(HistoryPathOf(rom), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void RewriteJournal(const std::filesystem::path& rom, const std::function<void(std::string&)>& change)
{
    std::string text = JournalText(rom);
    change(text);
    std::ofstream(HistoryPathOf(rom), std::ios::binary | std::ios::trunc) << text;
}

// Appends a change of item 2 with an intact checksum, made for the file as it stands, so that the
// reader trusts the line and judges it by its fields alone.
void AppendTrustedChange(const HistoryFixture& fixture, const std::string& id, const std::string& writes)
{
    const Bytes rom = ReadFile(fixture.rom);
    const std::string fields = id + "\t2026-12-08T13:20:05Z\tchange\t0\tSave\t2\t\t" + std::to_string(rom.size()) + "\t" +
                               BytesToHex(std::span(rom).subspan(0xA0, 0x20)) + "\t" + writes;
    RewriteJournal(fixture.rom, [&](std::string& text) { text += fields + "\t" + FitHex(NumberToHex(Crc32(fields)), 8) + "\n"; });
}

class SpoiledHistoryTest : public ::testing::TestWithParam<SpoilCase> {};

TEST_P(SpoiledHistoryTest, UndoSkipsOrRefusesWhatItCannotTrust)
{
    const SpoilCase& row = GetParam();
    HistoryFixture fixture;
    const Bytes start = ReadFile(fixture.rom);
    ASSERT_TRUE(fixture.Save(1, PriceEdit(111)));
    const Bytes afterFirst = ReadFile(fixture.rom);
    ASSERT_TRUE(fixture.Save(2, PriceEdit(222)));
    row.spoil(fixture);
    const Bytes spoiled = ReadFile(fixture.rom);
    const std::string journal = JournalText(fixture.rom);

    auto undone = UndoChange(fixture.rom);
    if (row.expected != ErrorCode::NothingToUndo) {
        ASSERT_FALSE(undone);
        EXPECT_EQ(undone.error().code, row.expected) << undone.error().message;
        EXPECT_EQ(ReadFile(fixture.rom), spoiled);
        EXPECT_EQ(JournalText(fixture.rom), journal);
        return;
    }
    ASSERT_TRUE(undone) << Describe(undone);
    if (row.secondSaveStillUndoable) {
        EXPECT_EQ(ReadFile(fixture.rom), afterFirst);
    } else {
        // The second save's line is broken: the undo takes back the first save only, and the
        // second save's bytes stay as they are.
        Bytes expected = spoiled;
        const auto price = static_cast<std::ptrdiff_t>(fixture.state.itemTableOffset + 44 + ItemField::Price);
        std::copy_n(start.begin() + price, 2, expected.begin() + price);
        EXPECT_EQ(ReadFile(fixture.rom), expected);
    }
}

std::int64_t PriceOffset(const HistoryFixture& fixture, int position)
{
    return fixture.state.itemTableOffset + 44 * position + ItemField::Price;
}

INSTANTIATE_TEST_SUITE_P(
    History, SpoiledHistoryTest,
    ::testing::Values(
        SpoilCase{"Untouched", [](const HistoryFixture&) {}, ErrorCode::NothingToUndo, true},
        SpoilCase{"LastLineCutShort",
                  [](const HistoryFixture& f) { RewriteJournal(f.rom, [](std::string& text) { text.resize(text.size() - 12); }); },
                  ErrorCode::NothingToUndo, false},
        SpoilCase{"LastLineEditedByHand",
                  [](const HistoryFixture& f) {
                      RewriteJournal(f.rom, [](std::string& text) {
                          const std::size_t price = text.rfind(":DE");  // 222 as the save wrote it
                          ASSERT_NE(price, std::string::npos);
                          text.replace(price, 3, ":DF");
                      });
                  },
                  ErrorCode::NothingToUndo, false},
        SpoilCase{"GarbageAppended",
                  [](const HistoryFixture& f) { RewriteJournal(f.rom, [](std::string& text) { text += "3\tnot\ta line\n\x01\x02"; }); },
                  ErrorCode::NothingToUndo, true},
        SpoilCase{"BytesChangedBehindOurBack",
                  [](const HistoryFixture& f) {
                      Bytes bytes = ReadFile(f.rom);
                      bytes[static_cast<std::size_t>(PriceOffset(f, 2))] ^= 0x01;
                      WriteFile(f.rom, bytes);
                  },
                  ErrorCode::UndoConflict, true},
        SpoilCase{"ReplacedBySameSizedFile",
                  [](const HistoryFixture& f) {
                      Bytes bytes = ReadFile(f.rom);
                      bytes[0xA0] ^= 0xFF;
                      WriteFile(f.rom, bytes);
                  },
                  ErrorCode::UndoConflict, true},
        SpoilCase{"TrustedLineWritingPastAnyFile",
                  [](const HistoryFixture& f) { AppendTrustedChange(f, "3", "7FFFFFFFFFFFFFFF:00:01"); },
                  ErrorCode::NothingToUndo, true},
        SpoilCase{"TrustedLineChangingNothing",
                  [](const HistoryFixture& f) { AppendTrustedChange(f, "3", FitHex(HexOf(PriceOffset(f, 2)), 8) + ":DE00:DE00"); },
                  ErrorCode::NothingToUndo, true},
        SpoilCase{"TrustedLineWithTheLastId",
                  [](const HistoryFixture& f) {
                      AppendTrustedChange(f, "9223372036854775807", FitHex(HexOf(PriceOffset(f, 2)), 8) + ":0000:DE00");
                  },
                  ErrorCode::HistoryFailed, true},
        SpoilCase{"ReadOnlyRom",
                  [](const HistoryFixture& f) {
                      std::filesystem::permissions(f.rom, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
                  },
                  ErrorCode::FileWrite, true}),
    [](const ::testing::TestParamInfo<SpoilCase>& row) { return row.param.name; });

TEST(HistoryTest, AConflictNamesTheOffsetsChanged)
{
    HistoryFixture fixture;
    ASSERT_TRUE(fixture.Save(2, PriceEdit(222)));
    Bytes bytes = ReadFile(fixture.rom);
    bytes[static_cast<std::size_t>(PriceOffset(fixture, 2))] ^= 0x01;
    WriteFile(fixture.rom, bytes);
    auto undone = UndoChange(fixture.rom);
    ASSERT_FALSE(undone);
    EXPECT_NE(undone.error().message.find(HexOf(PriceOffset(fixture, 2))), std::string::npos) << undone.error().message;
}

// A journal that cannot be written keeps the ROM as it is.
TEST(HistoryTest, AnUnwritableJournalStopsTheWriteBeforeItStarts)
{
    std::vector<std::pair<const char*, std::function<void(const std::filesystem::path&)>>> rows = {
        {"journal is a folder", [](const std::filesystem::path& j) { std::filesystem::create_directory(j); }},
        {"journal is read-only",
         [](const std::filesystem::path& j) {
             std::ofstream(j) << "";
             std::filesystem::permissions(j, std::filesystem::perms::owner_read);
         }},
    };
    if (SymbolicLinksCanBeMade()) {
        rows.emplace_back("journal's folder is missing", [](const std::filesystem::path& j) {
            std::filesystem::create_symlink(j.parent_path() / "gone" / "history", j);
        });
    }
    if (ReadOnlyFoldersStopThisUser()) {
        rows.emplace_back("ROM's folder is read-only", [](const std::filesystem::path& j) {
            std::filesystem::permissions(j.parent_path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        });
    }
    for (const auto& [what, spoil] : rows) {
        SCOPED_TRACE(what);
        HistoryFixture fixture;
        spoil(HistoryPathOf(fixture.rom));
        const Bytes before = ReadFile(fixture.rom);
        const Status saved = fixture.Save(1, PriceEdit(5));
        ASSERT_FALSE(saved);
        EXPECT_EQ(saved.error().code, ErrorCode::HistoryFailed) << saved.error().message;
        EXPECT_EQ(ReadFile(fixture.rom), before);
        // The same write goes through when the user turned the history off.
        fixture.state.keepHistory = false;
        EXPECT_TRUE(fixture.Save(1, PriceEdit(5)));
    }
}

TEST(HistoryTest, WithoutHistoryNothingIsJournaled)
{
    HistoryFixture fixture;
    fixture.state.keepHistory = false;
    ASSERT_TRUE(fixture.Save(1, PriceEdit(5)));
    ASSERT_TRUE(RepointItemImage(fixture.state, 1, "100", "200"));
    EXPECT_FALSE(std::filesystem::exists(HistoryPathOf(fixture.rom)));
    EXPECT_EQ(UndoChange(fixture.rom).error().code, ErrorCode::NothingToUndo);
}

// A write that fails and is put back leaves no entry behind, so undo takes back the change
// before it, whichever write failed.
TEST(HistoryTest, AWritePutBackTakesItsEntryBack)
{
    for (const int failing : {0, 1}) {
        SCOPED_TRACE("failing write " + std::to_string(failing));
        HistoryFixture fixture;
        const Bytes start = ReadFile(fixture.rom);
        ASSERT_TRUE(fixture.Save(1, PriceEdit(111)));
        const std::string journal = JournalText(fixture.rom);
        const Bytes afterFirst = ReadFile(fixture.rom);
        {
            FailingWriteOnce writes(failing);
            ItemEdit edit = PriceEdit(222);
            edit.name = U"ETHER";
            EXPECT_FALSE(fixture.Save(2, edit));
        }
        EXPECT_EQ(ReadFile(fixture.rom), afterFirst);
        EXPECT_EQ(JournalText(fixture.rom), journal);
        // An undo is a write like any other; this one writes the price alone.
        {
            FailingWriteOnce writes(0);
            EXPECT_FALSE(UndoChange(fixture.rom));
        }
        EXPECT_EQ(ReadFile(fixture.rom), afterFirst);
        EXPECT_EQ(JournalText(fixture.rom), journal);
        ASSERT_TRUE(UndoChange(fixture.rom));
        EXPECT_EQ(ReadFile(fixture.rom), start);
    }
}

}  // namespace
}  // namespace quillbox::test
