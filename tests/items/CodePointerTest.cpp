#include "ItemTestSupport.h"

#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "items/exchange/ItemImport.h"
#include "items/record/ItemFields.h"
#include "items/record/RoutineGroups.h"

#include <nlohmann/json.hpp>

#include <random>

namespace quillbox::test {
namespace {

// A little past 16 MiB, so that a routine under the upper top byte 0x09 fits in it.
constexpr std::int64_t kRomSize = 0x1000100;
constexpr int kPosition = 5;

struct PointerCase {
    const char* name;
    std::uint32_t stored;
    const char* text;
    std::optional<std::uint32_t> written;  // nothing: refused with `code`
    ErrorCode code = ErrorCode::BadValue;
};

// What a save writes for the six digits of a code pointer, by what the record holds now.
TEST(CodePointerSave, SixDigitsBecomeAWholePointer)
{
    const PointerCase cases[] = {
        {"zeros over the ROM's header", 0x08000000, "000000", 0},
        {"one zero over the ROM's header", 0x08000000, "0", 0},
        {"nothing over the ROM's header", 0x08000000, "", 0},
        {"zeros over a routine", 0x08123457, "000000", 0},
        {"a routine where there was none", 0, "123457", 0x08123457},
        {"digits under a null top byte", 0x00ABCDEF, "ABCDEF", 0x08ABCDEF},
        {"another routine", 0x08123457, "000101", 0x08000101},
        {"the highest in the lower 16 MiB", 0, "FFFFFF", 0x08FFFFFF},
        {"a routine past 16 MiB", 0x09000001, "000011", 0x09000011},
        {"past 16 MiB and the end of the file", 0x09000001, "000201", std::nullopt, ErrorCode::PastEndOfFile},
        {"code in RAM left as it is", 0x02001235, "001235", 0x02001235},
        {"code in RAM replaced by a routine", 0x02001235, "001237", 0x08001237},
        {"an even place", 0x08123457, "123456", std::nullopt, ErrorCode::BadValue},
        {"an even place already stored stays", 0x08123456, "123456", 0x08123456},
    };
    for (const bool battle : {false, true}) {
        const int at = battle ? 36 : 28;
        for (const PointerCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (battle ? ", battle routine" : ", field routine"));
            RomBuilder builder("BPRE", kRomSize);
            builder.PutLe32(builder.Entry(kPosition) + at, c.stored);
            TempDir dir;
            const auto rom = builder.Write(dir);
            const RomState state = OpenOrFail(rom, RomBuilder::ProfilePath(dir));
            ItemEdit edit;
            (battle ? edit.battleUsageCodePointer : edit.fieldUsageCodePointer) = c.text;
            const Bytes before = ReadFile(rom);
            const Status saved = SaveItem(state, kPosition, edit, {});
            const Bytes after = ReadFile(rom);
            if (!c.written) {
                ASSERT_FALSE(saved);
                EXPECT_EQ(saved.error().code, c.code) << saved.error().message;
                EXPECT_EQ(saved.error().recordOffset, at);
                EXPECT_EQ(after, before);
                continue;
            }
            ASSERT_TRUE(saved) << Describe(saved);
            EXPECT_EQ(ReadLe32(after, static_cast<std::size_t>(builder.Entry(kPosition) + at)), *c.written);
            const auto pointer = static_cast<std::size_t>(builder.Entry(kPosition) + at);
            for (const std::size_t offset : DifferingOffsets(before, after)) {
                EXPECT_TRUE(offset >= pointer && offset < pointer + 4) << "offset " << offset;
            }
        }
    }
}

// Whether the game can call a pointer of a file of `size` bytes: none, or a Thumb routine in it.
bool Callable(std::uint32_t pointer, std::int64_t size)
{
    if (pointer == 0) return true;
    const std::int64_t offset = std::int64_t{pointer} - 0x08000000;
    return offset >= 0 && offset < size && pointer < 0x0A000000 && pointer % 2 == 1;
}

std::string RandomPointerText(std::mt19937& random, const std::vector<std::uint32_t>& routines, std::int64_t size)
{
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    std::string text;
    switch (pick(7)) {
    case 0: return std::vector<std::string>{"", "0", "000000", "00000000"}[pick(4)];
    case 1: text = FitHex(NumberToHex(routines[pick(routines.size())]), 6); break;  // another item's
    case 2: text = NumberToHex(static_cast<std::uint64_t>(size - 1 - static_cast<std::int64_t>(pick(8)))); break;
    case 3: text = NumberToHex(static_cast<std::uint64_t>(size + static_cast<std::int64_t>(pick(0x10000)))); break;
    default:
        for (std::size_t digits = 1 + pick(8); digits > 0; --digits) text += "0123456789ABCDEF"[pick(16)];
    }
    for (char& c : text) {
        if (random() % 2) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::uint32_t PointerAt(const Bytes& file, const RomState& state, int position, int at)
{
    return ReadLe32(file, static_cast<std::size_t>(state.itemTableOffset + std::int64_t{kItemRecordSize} * position + at));
}

// Saves with random pointer texts, Use like between random items and import rows with random
// pointers, over the samples of every game, some of whose items first hold the pointers an older
// tool left (0x08000000, digits under a null top byte): whatever lands, every code pointer that
// changed is null or a Thumb routine inside the ROM, and six given digits are its low bytes.
TEST(CodePointerProperty, EverySaveUseLikeAndImportWritesCallablePointers)
{
    std::mt19937 random(20261209);
    for (const GameCase& game : kGameCases) {
        SCOPED_TRACE(game.headerCode);
        TempDir dir;
        const OpenedRom rom = OpenSample(dir, game.headerCode);
        const RomState& state = rom.state;
        const int count = state.ItemCount();
        {
            Bytes file = ReadFile(state.romPath);
            for (int i = 0; i < 12; ++i) {
                const auto at = static_cast<std::size_t>(state.itemTableOffset + std::int64_t{kItemRecordSize} * (random() % count) +
                                                         (i % 2 ? 36 : 28));
                const std::uint32_t old = i % 3 == 0 ? 0x08000000 : ReadLe32(file, at) & 0xFFFFFF;
                for (std::size_t k = 0; k < 4; ++k) file[at + k] = static_cast<Byte>(old >> (8 * k));
            }
            WriteFile(state.romPath, file);
        }
        std::vector<std::uint32_t> routines;
        const Bytes start = ReadFile(state.romPath);
        for (int position = 0; position < count; ++position) {
            for (const int at : {28, 36}) routines.push_back(PointerAt(start, state, position, at));
        }
        int written = 0;
        for (int round = 0; round < 60; ++round) {
            SCOPED_TRACE(round);
            const Bytes before = ReadFile(state.romPath);
            const int position = static_cast<int>(random() % static_cast<unsigned>(count));
            std::optional<std::string> texts[2];
            bool landed = false;
            switch (round % 3) {
            case 0: {
                ItemEdit edit;
                if (random() % 4 != 0) texts[0] = RandomPointerText(random, routines, state.romSize);
                if (random() % 4 != 0) texts[1] = RandomPointerText(random, routines, state.romSize);
                edit.fieldUsageCodePointer = texts[0];
                edit.battleUsageCodePointer = texts[1];
                landed = static_cast<bool>(SaveItem(state, position, edit, {}));
                break;
            }
            case 1: {
                auto model = ReadItem(state, static_cast<int>(random() % static_cast<unsigned>(count)));
                ASSERT_TRUE(model);
                auto patches = PlanSave(state, position, UseLike(*model), {});
                landed = patches && ApplyToRom(state, *patches, {"Use Like", position});
                break;
            }
            default: {
                nlohmann::json rows = nlohmann::json::array();
                for (int row = 0; row < 3; ++row) {
                    const int at = row == 0 ? position : static_cast<int>(random() % static_cast<unsigned>(count));
                    rows.push_back({{"position", at},
                                    {random() % 2 ? "fieldUsageCodePointer" : "battleUsageCodePointer",
                                     RandomPointerText(random, routines, state.romSize)}});
                }
                auto plan = PlanImport(rom, rows.dump(), ExportFormat::Json);
                landed = plan && ApplyImport(rom, *plan);
                break;
            }
            }
            const Bytes after = ReadFile(state.romPath);
            if (!landed) {
                ASSERT_EQ(after, before);
                continue;
            }
            for (int item = 0; item < count; ++item) {
                for (int k = 0; k < 2; ++k) {
                    const int at = k == 0 ? 28 : 36;
                    const std::uint32_t now = PointerAt(after, state, item, at);
                    if (now == PointerAt(before, state, item, at)) continue;
                    ++written;
                    EXPECT_TRUE(Callable(now, state.romSize)) << "item " << item << " offset " << at << ": " << NumberToHex(now);
                    if (item == position && texts[k] && IsHexText(FitHex(*texts[k], 6))) {
                        EXPECT_EQ(now & 0xFFFFFF, HexToNumber(FitHex(*texts[k], 6))) << *texts[k];
                    }
                }
            }
        }
        EXPECT_GT(written, 10);
    }
}

}  // namespace
}  // namespace quillbox::test
