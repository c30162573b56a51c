// An error's sentence has one heading: a layer that says another's error in its own words takes
// the other's detail, never its whole sentence. Checked over the errors the core gives for
// effect records cut short or full of garbage, for broken profiles and for broken import files.
#include "ItemTestSupport.h"

#include "base/Error.h"
#include "items/effect/ItemEffect.h"
#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemImport.h"
#include "items/opening/RomOpening.h"

#include <cstdint>
#include <vector>

namespace quillbox::test {
namespace {

constexpr std::int64_t kRomBase = 0x08000000;

std::vector<std::string> Headings()
{
    std::vector<std::string> headings;
    for (int number = 1; number <= 25; ++number) {
        const std::string_view heading = DescribeErrorCode(static_cast<ErrorCode>(number));
        if (heading != "Unknown error") headings.emplace_back(heading);
    }
    return headings;
}

// How many headings the text holds where a sentence or a clause begins: at its start, after
// ": " or after "(".
int HeadingsIn(std::string_view text)
{
    int count = 0;
    for (const std::string& heading : Headings()) {
        for (std::size_t at = text.find(heading); at != std::string_view::npos; at = text.find(heading, at + 1)) {
            const bool starts = at == 0 || text.substr(0, at).ends_with(": ") || text.substr(0, at).ends_with("(");
            if (starts) ++count;
        }
    }
    return count;
}

TEST(ErrorText, TheHeadingCountCatchesASentenceInsideAnother)
{
    const Error inner = MakeError(ErrorCode::BadValue, "the effect record ends at byte 3");
    EXPECT_EQ(HeadingsIn(ErrorText(inner)), 1);
    EXPECT_EQ(HeadingsIn(ErrorText(MakeError(ErrorCode::BadValue, "cannot be read: " + ErrorText(inner)))), 2);
    EXPECT_EQ(HeadingsIn(ErrorText(MakeError(ErrorCode::BadValue, "cannot be read: " + DetailOf(inner)))), 1);
}

// Bytes that look like nothing: the same seed gives the same bytes.
Bytes Garbage(std::uint32_t seed, std::size_t count)
{
    Bytes bytes(count);
    for (Byte& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<Byte>(seed >> 24);
    }
    return bytes;
}

// The item's effect entry aimed at `count` bytes at the end of the file, or at garbage.
TEST(ErrorText, ACutOrGarbageEffectRecordIsSaidWithOneHeading)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPRE");
    const RomState& state = rom.state;
    const Bytes original = ReadFile(state.romPath);
    auto view = ReadItemEffect(state, 21);
    ASSERT_TRUE(view && view->Available());
    const auto size = static_cast<std::int64_t>(original.size());
    int refused = 0;
    for (std::uint32_t seed = 0; seed < 40; ++seed) {
        SCOPED_TRACE(seed);
        Bytes bytes = original;
        // Seeds below 8 cut a record of all flags set at the end of the file; the others are garbage.
        const std::int64_t record = seed < 8 ? size - 1 - seed : size - 64;
        const Bytes filler = seed < 8 ? Bytes(seed + 1, 0xFF) : Garbage(seed, 64);
        std::copy(filler.begin(), filler.end(), bytes.begin() + static_cast<std::ptrdiff_t>(record));
        const auto pointer = static_cast<std::uint32_t>(kRomBase + record);
        for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(view->entryOffset + i)] = static_cast<Byte>(pointer >> (8 * i));
        WriteFile(state.romPath, bytes);

        auto cut = ReadItemEffect(state, 21);
        ASSERT_TRUE(cut) << cut.error().message;
        if (cut->Available()) continue;
        ++refused;
        EXPECT_EQ(HeadingsIn(cut->unavailable), 0) << cut->unavailable;
        const Status saved = SaveItemEffect(state, 21, view->effect);
        ASSERT_FALSE(saved);
        EXPECT_EQ(HeadingsIn(ErrorText(saved.error())), 1) << ErrorText(saved.error());
        EXPECT_TRUE(saved.error().fileUnchanged);
        EXPECT_EQ(ReadFile(state.romPath), bytes);
        const std::string import = R"([{"position": 21, "effect.healHp": 5}])";
        auto plan = PlanImport(rom, import, ExportFormat::Json, false);
        EXPECT_FALSE(plan) << "an effect that cannot be read is not written";
        if (!plan) {
            EXPECT_EQ(HeadingsIn(ErrorText(plan.error())), 1) << ErrorText(plan.error());
        }
    }
    EXPECT_GE(refused, 8) << "every cut record is refused";
}

// Sections whose every key in turn is missing, negative, too large or not a number; two of them
// (the shipped profile's and the user's), so that the refusal also says why the other failed.
TEST(ErrorText, ABrokenProfileIsSaidWithOneHeading)
{
    const std::vector<std::string> keys{"ItemData", "AttackNames", "TMData", "IMGData", "ItemCount"};
    const std::vector<std::string> values{"", "-5", "&H80000000", "&HFFF000", "0", "zz", "99999999", "&H100001000"};
    int refusals = 0;
    for (const std::string& key : keys) {
        for (const std::string& value : values) {
            SCOPED_TRACE(key + "=" + value);
            TempDir dir;
            RomBuilder builder("BPRE");
            const auto rom = builder.Write(dir);
            std::string section = "[BPRE]\nItemData=&H1000\nAttackNames=&H5200\nTMData=&H6400\nIMGData=&H6500\n";
            const std::size_t at = section.find(key + "=");
            if (at == std::string::npos) {
                section += key + "=" + value + "\n";
            } else {
                section.replace(at, section.find('\n', at) - at, key + "=" + value);
            }
            const auto shipped = WriteTextFile(dir / "shipped.ini", section);
            const auto user = WriteTextFile(dir / "user.ini", "[BPRE]\nItemData=&HFFF000\nAttackNames=&H5200\nTMData=&H6400\n");
            auto opened = OpenRom(rom, OpenOptions{ProfileFiles{shipped, user}, std::nullopt});
            if (opened) continue;
            ++refusals;
            EXPECT_EQ(HeadingsIn(ErrorText(opened.error())), 1) << ErrorText(opened.error());
        }
    }
    EXPECT_GE(refusals, 20);
}

// A valid import file cut at every length, and with each of its characters in turn made garbage.
TEST(ErrorText, ABrokenImportFileIsSaidWithOneHeading)
{
    TempDir dir;
    const OpenedRom rom = OpenSample(dir, "BPRE");
    const std::string json =
        R"([{"position": 3, "name": "Tonic", "price": 70000, "descriptionOffset": "FFFFFF", "effect.healHp": 20}])";
    const std::string csv = "position,name,price,pocket,descriptionOffset\n3,Tonic,5,9,FFFFFF\n";
    int refusals = 0;
    for (const auto& [file, format] : {std::pair{json, ExportFormat::Json}, std::pair{csv, ExportFormat::Csv}}) {
        std::vector<std::string> broken;
        for (std::size_t length = 0; length < file.size(); ++length) broken.push_back(file.substr(0, length));
        for (std::size_t at = 0; at < file.size(); ++at) {
            std::string changed = file;
            changed[at] = static_cast<char>(Garbage(static_cast<std::uint32_t>(at), 1).front() | 0x80);
            broken.push_back(changed);
        }
        for (const std::string& text : broken) {
            auto plan = PlanImport(rom, text, format, false);
            if (plan) continue;
            ++refusals;
            EXPECT_EQ(HeadingsIn(ErrorText(plan.error())), 1) << text << "\n" << ErrorText(plan.error());
        }
    }
    EXPECT_GE(refusals, 100);
}

}  // namespace
}  // namespace quillbox::test
