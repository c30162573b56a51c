// Writes the seed corpus of every harness: real compressed streams, records, descriptions and
// icons cut out of the sample ROMs, the shipped profile, and hand-laid edge cases. The output is
// the same on every run, so the committed corpus can be checked against a fresh one.
//
//   fuzz-make-corpus <corpus folder> <shipped roms.ini>

#include "FuzzSupport.h"
#include "JournalText.h"

#include "image/ItemIcon.h"
#include "image/Lz77.h"
#include "items/exchange/ItemExport.h"
#include "items/record/ItemOperations.h"
#include "rom/GameFamily.h"
#include "base/HexText.h"
#include "rom/RomFile.h"
#include "sample/SampleRom.h"
#include "text/GameText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillbox::Byte;
using quillbox::Bytes;
namespace fs = std::filesystem;

class CorpusWriter {
public:
    explicit CorpusWriter(fs::path folder) : folder_(std::move(folder)) {}

    void Add(std::string_view harness, std::string_view name, const Bytes& bytes)
    {
        const fs::path directory = folder_ / harness;
        fs::create_directories(directory);
        std::ofstream out(directory / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s/%s\n", std::string(harness).c_str(), std::string(name).c_str());
            std::exit(1);
        }
        ++written_;
        total_ += bytes.size();
    }

    void Report() const { std::printf("%zu files, %zu bytes\n", written_, total_); }

private:
    fs::path folder_;
    std::size_t written_ = 0;
    std::size_t total_ = 0;
};

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Le16(std::uint16_t value) { return {static_cast<Byte>(value), static_cast<Byte>(value >> 8)}; }
Bytes Le32(std::uint32_t value) { return Concat({Le16(static_cast<std::uint16_t>(value)), Le16(static_cast<std::uint16_t>(value >> 16))}); }
Bytes Ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes Utf8(std::u32string_view text)
{
    const std::string utf8 = quillbox::ToUtf8(text);
    return Ascii(utf8);
}

std::uint32_t Le32At(const Bytes& bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// The stream at `offset` re-made from what it decodes to, so its length is exact.
Bytes StreamAt(const Bytes& rom, std::uint32_t offset)
{
    Bytes output(static_cast<std::size_t>(quillbox::kImageBufferSize), 0);
    const auto input = std::span(rom).subspan(offset, static_cast<std::size_t>(quillbox::kImageBufferSize));
    const std::int32_t declared = quillbox::DecompressLz77(input, output);
    output.resize(static_cast<std::size_t>(declared));
    return quillbox::CompressLz77(output);
}

// The bytes of a description up to and including its terminator.
Bytes DescriptionAt(const Bytes& rom, std::uint32_t offset)
{
    const auto first = rom.begin() + offset;
    return Bytes(first, std::find(first, rom.end(), Byte{0xFF}) + 1);
}

struct Sample {
    Bytes rom;
    quillbox::SampleTables tables;
};

const Sample& SampleFor(std::string_view code)
{
    static std::map<std::string, Sample, std::less<>> samples;
    auto found = samples.find(code);
    if (found == samples.end()) {
        auto rom = quillbox::BuildSampleRom(code);
        auto tables = quillbox::SampleTablesFor(code);
        if (!rom || !tables) {
            std::fprintf(stderr, "no sample ROM for %s\n", std::string(code).c_str());
            std::exit(1);
        }
        found = samples.emplace(std::string(code), Sample{std::move(*rom), *tables}).first;
    }
    return found->second;
}

void AddLz77Seeds(CorpusWriter& corpus)
{
    constexpr std::string_view kHarness = "lz77-decompress";
    const Sample& sample = SampleFor("BPRE");
    const auto entry = static_cast<std::size_t>(sample.tables.imgData) + 8 * 5;
    const Bytes tiles = StreamAt(sample.rom, Le32At(sample.rom, entry) - quillbox::kRomBase);
    const Bytes palette = StreamAt(sample.rom, Le32At(sample.rom, entry + 4) - quillbox::kRomBase);
    const Bytes windowCapacity = Le16(static_cast<std::uint16_t>(quillbox::kImageBufferSize));
    corpus.Add(kHarness, "icon-tiles", Concat({windowCapacity, tiles}));
    corpus.Add(kHarness, "icon-palette", Concat({windowCapacity, palette}));
    corpus.Add(kHarness, "icon-tiles-small-capacity", Concat({Le16(100), tiles}));
    corpus.Add(kHarness, "icon-tiles-cut-short", Concat({windowCapacity, Bytes(tiles.begin(), tiles.begin() + 40)}));
    const Bytes text = Ascii("an item that restores 20 HP, an item that wakes a sleeper, an item that lifts a burn");
    corpus.Add(kHarness, "text", Concat({Le16(256), quillbox::CompressLz77(text)}));

    // Hand-laid streams: header, flag byte, items.
    corpus.Add(kHarness, "declared-size-zero", Concat({Le16(64), {0x10, 0x00, 0x00, 0x00}}));
    corpus.Add(kHarness, "refused-header", Concat({Le16(64), {0x10, 0x05, 0x00, 0x80, 0x00, 1, 2, 3, 4, 5}}));
    corpus.Add(kHarness, "distance-one-run", Concat({Le16(64), {0x10, 19, 0x00, 0x00, 0x40, 'X', 0xF0, 0x00}}));
    corpus.Add(kHarness, "reference-before-start", Concat({Le16(64), {0x10, 20, 0x00, 0x00, 0x80, 0x30, 0x10, 'a', 'b'}}));
    corpus.Add(kHarness, "reference-cut-by-input-end", Concat({Le16(64), {0x10, 30, 0x00, 0x00, 0x50, 'a', 0x00, 0x00, 'b', 0x20}}));
    corpus.Add(kHarness, "ends-inside-reference", Concat({Le16(64), {0x10, 7, 0x00, 0x00, 0x20, 'a', 'b', 0xF0, 0x01}}));
    corpus.Add(kHarness, "five-of-eight-literals", Concat({Le16(64), {0x10, 5, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}}));
    corpus.Add(kHarness, "declared-beyond-capacity", Concat({Le16(8), {0x10, 0xFF, 0xFF, 0x7F, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}}));
    corpus.Add(kHarness, "no-capacity", Concat({Le16(0), {0x10, 0x10, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}}));
    corpus.Add(kHarness, "header-only-part", {0x20, 0x00, 0x10, 0x08});
}

void AddGameTextSeeds(CorpusWriter& corpus)
{
    Bytes everyByte(256);
    for (std::size_t value = 0; value < everyByte.size(); ++value) everyByte[value] = static_cast<Byte>(value);
    corpus.Add("game-text-round-trip", "every-byte", everyByte);
    corpus.Add("game-text-round-trip", "ampersands-and-arguments",
               {0x2B, 0x2D, 0xFC, 0x2B, 0xFD, 0x2B, 0xFC, 0xFC, 0x2B, 0xFD, 0xFF, 0xFF, 0x2B, 0xFC});
    const Sample& sample = SampleFor("BPEE");
    Bytes names;
    Bytes descriptions;
    for (int position = 0; position < 8; ++position) {
        const auto entry = static_cast<std::size_t>(sample.tables.itemData) + std::size_t{44} * position;
        names.insert(names.end(), sample.rom.begin() + entry, sample.rom.begin() + entry + 14);
        const Bytes description = DescriptionAt(sample.rom, Le32At(sample.rom, entry + 20) - quillbox::kRomBase);
        descriptions.insert(descriptions.end(), description.begin(), description.end());
    }
    corpus.Add("game-text-round-trip", "item-names", names);
    corpus.Add("game-text-round-trip", "descriptions", descriptions);

    std::u32string everyToken;
    for (int value = 0; value < 256; ++value) everyToken += quillbox::GameTextTableEntry(static_cast<std::uint8_t>(value));
    corpus.Add("game-text-encode", "every-token", Utf8(everyToken));
    corpus.Add("game-text-encode", "description", Utf8(U"Café-made item:\\nit lights the way!\\x"));
    corpus.Add("game-text-encode", "control-codes", Utf8(U"\\c\\h01Rare!\\n[PK][MN] Kit\\p\\v\\l\\x"));
    corpus.Add("game-text-encode", "escapes", Utf8(U"\\h2B & \\hzz \\h4 \\hff \\h \\"));
    corpus.Add("game-text-encode", "partial-tokens", Utf8(U"[Lv [L [ [P] [.] [\"] [>] ÀœÜß"));
    corpus.Add("game-text-encode", "outside-the-table", Utf8(U"日本 😀 \U0010FFFF ~{}"));
    corpus.Add("game-text-encode", "invalid-utf8",
               {0xC0, 0x80, 0xED, 0xA0, 0x80, 0xF4, 0x90, 0x80, 0x80, 0x80, 'A', 0xE2, 0x82, 'B', 0xFF, 0xF0, 0x9F});
}

// Profile harness input: section, key and value lengths, a 32-bit number, the three texts, the
// profile text.
Bytes ProfileInput(std::string_view section, std::string_view key, std::string_view value, std::uint32_t number,
                   std::string_view profile)
{
    return Concat({{static_cast<Byte>(section.size()), static_cast<Byte>(key.size()), static_cast<Byte>(value.size())},
                   Le32(number), Ascii(section), Ascii(key), Ascii(value), Ascii(profile)});
}

void AddProfileSeeds(CorpusWriter& corpus, const std::string& shipped)
{
    constexpr std::string_view kHarness = "profile";
    corpus.Add(kHarness, "shipped-item-table", ProfileInput("BPRE", "ItemData", "&H1000", 0x3DB028, shipped));
    corpus.Add(kHarness, "shipped-any-case", ProfileInput("bpee", "imgdata", " 4096 ", 0x8000, shipped));
    corpus.Add(kHarness, "shipped-missing-key", ProfileInput("AXVE", "IMGData", "", 4294967295U, shipped));
    corpus.Add(kHarness, "fractions", ProfileInput("A", "K", "2.5", 3,
                                                   "[A]\r\nK = 3.5\r\nL=2.5\r\nM=-0.5000\r\nN=7.49\r\n"));
    corpus.Add(kHarness, "blanks-in-values", ProfileInput("S", "V", "&H 1 0 0", 255,
                                                          "[S]\nV = & H 1 0\nW=\t1 2 3;x\nX=&hFFFFFFFF\nY=&H100000000\n"));
    corpus.Add(kHarness, "repeated-section", ProfileInput("S", "K", "1", 7, "[S]\nJ=1\n[T]\nK=2\n[S]\nK=3\n[s]\nK=4\n"));
    corpus.Add(kHarness, "odd-lines", ProfileInput("", "", "=", 0, "[]\n=\n[ S ]\n K =\n[S\nK==1\n;[S]\n\x01\xFF=\xFE\n"));
    corpus.Add(kHarness, "long-value", ProfileInput("S", "K", "9", 9, "[S]\nK=" + std::string(600, '7') + "\n"));
}

// Open-ROM harness input, as its parser reads it.
struct RomSeed {
    std::uint8_t mode = 0;
    std::uint8_t flags = 0;
    std::uint16_t sizeInWords = 0;
    std::array<std::uint16_t, 4> offsets{};
    std::string code;     // mode 6
    std::string profile;  // mode 7
    Bytes pattern;
};

Bytes RomInput(const RomSeed& seed)
{
    Bytes input{seed.mode, seed.flags};
    const Bytes size = Le16(seed.sizeInWords);
    input.insert(input.end(), size.begin(), size.end());
    for (std::uint16_t offset : seed.offsets) {
        const Bytes bytes = Le16(offset);
        input.insert(input.end(), bytes.begin(), bytes.end());
    }
    input.push_back(static_cast<Byte>(seed.profile.size()));
    return Concat({input, Ascii(seed.code), Ascii(seed.profile), seed.pattern});
}

// A repeating ROM pattern: the first records of the sample, then their descriptions, move names,
// TM moves, image entries and icon streams, with every pointer aimed inside the first copy.
// The pattern is a whole number of records long, so the item table repeats record by record.
struct Pattern {
    Bytes bytes;
    std::uint16_t moveNames = 0;
    std::uint16_t tmMoves = 0;
    std::uint16_t imageTable = 0;
};

Pattern MakePattern(std::string_view code)
{
    constexpr int kRecords = 12;
    const Sample& sample = SampleFor(code);
    const Bytes& rom = sample.rom;
    Pattern pattern;
    Bytes& bytes = pattern.bytes;
    const auto itemTable = static_cast<std::size_t>(sample.tables.itemData);
    bytes.assign(rom.begin() + itemTable, rom.begin() + itemTable + 44 * kRecords);

    // One description with what a save must write back exactly: arguments that look like a
    // terminator or an ampersand, both ampersand bytes and a line break.
    const Bytes trickyDescription{0xBB, 0xFC, 0xFF, 0x2B, 0xFD, 0x2B, 0x2D, 0xFE, 0xFC, 0xFE, 0xD5, 0xFF};
    for (int record = 0; record < kRecords; ++record) {
        const std::size_t pointerAt = std::size_t{44} * record + 20;
        const Bytes description = record == 1 ? trickyDescription
                                              : DescriptionAt(rom, Le32At(bytes, pointerAt) - quillbox::kRomBase);
        const Bytes pointer = Le32(quillbox::kRomBase + static_cast<std::uint32_t>(bytes.size()));
        std::copy(pointer.begin(), pointer.end(), bytes.begin() + pointerAt);
        bytes.insert(bytes.end(), description.begin(), description.end());
    }
    pattern.moveNames = static_cast<std::uint16_t>(bytes.size());
    const auto moves = static_cast<std::size_t>(sample.tables.attackNames);
    bytes.insert(bytes.end(), rom.begin() + moves, rom.begin() + moves + 13 * 8);
    pattern.tmMoves = static_cast<std::uint16_t>(bytes.size());
    const auto tm = static_cast<std::size_t>(sample.tables.tmData);
    bytes.insert(bytes.end(), rom.begin() + tm, rom.begin() + tm + 16);

    if (sample.tables.imgData != 0) {
        const auto images = static_cast<std::size_t>(sample.tables.imgData);
        const Bytes tiles = StreamAt(rom, Le32At(rom, images) - quillbox::kRomBase);
        const Bytes palette = StreamAt(rom, Le32At(rom, images + 4) - quillbox::kRomBase);
        pattern.imageTable = static_cast<std::uint16_t>(bytes.size());
        const auto streams = static_cast<std::uint32_t>(bytes.size() + 8 * 2);
        const auto paletteAt = streams + static_cast<std::uint32_t>(tiles.size());
        // Two entries: the icon itself, and one whose palette is the tiles' stream.
        bytes = Concat({bytes, Le32(quillbox::kRomBase + streams), Le32(quillbox::kRomBase + paletteAt),
                        Le32(quillbox::kRomBase + paletteAt), Le32(quillbox::kRomBase + streams), tiles, palette});
    }
    bytes.resize((bytes.size() + 43) / 44 * 44, 0xFF);
    return pattern;
}

std::string LowerHex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

void AddOpenRomSeeds(CorpusWriter& corpus)
{
    constexpr std::string_view kHarness = "open-rom";
    for (std::size_t mode = 0; mode < quillbox::kKnownHeaderCodes.size(); ++mode) {
        const std::string_view code = quillbox::kKnownHeaderCodes[mode];
        const Pattern pattern = MakePattern(code);
        // The item table starts where the pattern repeats: an offset of 0 would read as a missing key.
        const auto itemTable = static_cast<std::uint16_t>(pattern.bytes.size());
        const std::size_t end = std::max({std::size_t{itemTable} + 44 * 377, std::size_t{pattern.moveNames} + 13 * 354,
                                          std::size_t{pattern.imageTable} + 8 * 377});
        RomSeed seed;
        seed.mode = static_cast<std::uint8_t>(mode);
        seed.flags = mode % 2 == 0 ? 0 : 0x1D;
        seed.sizeInWords = static_cast<std::uint16_t>((end + 1) / 2);
        seed.offsets = {itemTable, pattern.moveNames, pattern.tmMoves, pattern.imageTable};
        seed.pattern = pattern.bytes;
        corpus.Add(kHarness, std::string(code), RomInput(seed));
        if (mode != 0) continue;

        // Modes 5 and 7 leave the header code as the file has it.
        RomSeed variant = seed;
        std::copy(code.begin(), code.end(), variant.pattern.begin() + quillbox::kHeaderCodeOffset);
        variant.mode = 5;
        corpus.Add(kHarness, "code-from-file", RomInput(variant));
        variant.mode = 6;
        variant.code = "BPGx";
        corpus.Add(kHarness, "code-of-another-revision", RomInput(variant));
        variant.code = "BPR]";
        corpus.Add(kHarness, "code-with-bracket", RomInput(variant));
        variant.code.clear();
        variant.mode = 7;
        variant.profile = "[bpre]\r\nItemData = &h" + LowerHex(itemTable) + "\r\nAttackNames=" +
                          std::to_string(pattern.moveNames) + ".4\r\nTMData=" + std::to_string(pattern.tmMoves) + "\r\n";
        corpus.Add(kHarness, "raw-profile-without-images", RomInput(variant));
        variant = seed;
        variant.sizeInWords = 0;
        corpus.Add(kHarness, "too-short", RomInput(variant));
        variant = seed;
        variant.offsets[0] = 0xFFFF;
        corpus.Add(kHarness, "table-past-the-end", RomInput(variant));
    }
}

// Item-icon harness input: how each offset is read, the two offsets, the file.
Bytes IconInput(std::uint8_t kinds, std::uint32_t image, std::uint32_t palette, const Bytes& file)
{
    return Concat({{kinds}, Le32(image), Le32(palette), file});
}

void AddIconSeeds(CorpusWriter& corpus)
{
    constexpr std::string_view kHarness = "item-icon";
    const Sample& sample = SampleFor("BPGE");
    const auto images = static_cast<std::size_t>(sample.tables.imgData);
    const Bytes tiles = StreamAt(sample.rom, Le32At(sample.rom, images + 8 * 7) - quillbox::kRomBase);
    const Bytes palette = StreamAt(sample.rom, Le32At(sample.rom, images + 8 * 7 + 4) - quillbox::kRomBase);
    const auto paletteAt = static_cast<std::uint32_t>(tiles.size());
    const Bytes file = Concat({tiles, palette});
    const auto lastByte = static_cast<std::uint32_t>(file.size() - 1);
    // Kinds: two bits per offset, image first: 0 near the file, 1 in its last bytes, 2 unsigned, 3 signed.
    corpus.Add(kHarness, "icon", IconInput(0x00, 0, paletteAt, file));
    corpus.Add(kHarness, "palette-cut-by-file-end", IconInput(0x00, 0, paletteAt, Bytes(file.begin(), file.end() - 10)));
    corpus.Add(kHarness, "palette-in-last-bytes", IconInput(0x04, 0, lastByte - paletteAt, file));
    corpus.Add(kHarness, "both-past-the-end", IconInput(0x00, lastByte + 1, lastByte + 40, file));
    corpus.Add(kHarness, "beyond-31-bits", IconInput(0x08, 0, 0x80000000U, file));
    corpus.Add(kHarness, "negative", IconInput(0x03, 0xFFFFFFFFU, paletteAt, file));
    corpus.Add(kHarness, "empty-file", IconInput(0x05, 0, 0, {}));
}

// History harness input: flags, the ROM size when it is not laid out from the journal, the journal.
Bytes HistoryInput(std::uint8_t flags, std::uint16_t romSize, std::string_view journal)
{
    return Concat({{flags}, Le16(romSize), Ascii(journal)});
}

using quillbox::fuzz::PatternByte;

Bytes PatternBytes(std::size_t from, std::size_t count)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = PatternByte(from + i);
    return bytes;
}

struct SeedWrite {
    std::uint32_t offset;
    Bytes before;
    Bytes after;
};

// One journal line as the history writes it, without its checksum field's value: WithChecksums
// puts that in.
std::string JournalLine(int id, std::string_view kind, int target, std::string_view operation, int position,
                        std::string_view name, std::size_t romSize, const Bytes& header, const std::vector<SeedWrite>& writes)
{
    std::string runs;
    for (const SeedWrite& write : writes) {
        if (!runs.empty()) runs += ' ';
        runs += quillbox::fuzz::Hex32(write.offset) + ":" + quillbox::BytesToHex(write.before) + ":" + quillbox::BytesToHex(write.after);
    }
    return std::to_string(id) + "\t2026-12-08T13:20:0" + std::to_string(id % 10) + "Z\t" + std::string(kind) + "\t" +
           std::to_string(target) + "\t" + std::string(operation) + "\t" + std::to_string(position) + "\t" + std::string(name) +
           "\t" + std::to_string(romSize) + "\t" + quillbox::BytesToHex(header) + "\t" + runs + "\t-\n";
}

void AddHistorySeeds(CorpusWriter& corpus)
{
    constexpr std::string_view kHarness = "history";
    constexpr std::size_t kRom = 0x200;
    const Bytes header = PatternBytes(0xA0, 0x20);
    const SeedWrite price{0x110, PatternBytes(0x110, 2), {0x34, 0x12}};
    const SeedWrite name{0x100, PatternBytes(0x100, 3), {0xBB, 0xBC, 0xFF}};
    const SeedWrite description{0x1F0, PatternBytes(0x1F0, 4), {0xC2, 0xDD, 0xFF, 0xFF}};
    const std::string first = JournalLine(1, "change", 0, "Save", 3, "POTION", kRom, header, {price});
    const std::string second = JournalLine(2, "change", 0, "Set", 4, "", kRom, header, {name, description});
    const std::string undoSecond = JournalLine(3, "undo", 2, "Set", 4, "", kRom, header,
                                               {{name.offset, name.after, name.before}, {description.offset, description.after, description.before}});
    auto add = [&](std::string_view seed, std::uint8_t flags, std::uint16_t romSize, std::string_view journal) {
        corpus.Add(kHarness, seed, HistoryInput(flags, romSize, journal));
    };
    // Flags: 1 checksums put in by the harness, 2 the ROM laid out for the step, 4 redo.
    add("one-change", 2, 0, quillbox::fuzz::WithChecksums(first));
    add("two-changes-undo", 2, 0, quillbox::fuzz::WithChecksums(first + second));
    add("undone-then-redo", 6, 0, quillbox::fuzz::WithChecksums(first + second + undoSecond));
    add("checksums-left-to-the-harness", 3, 0, first + second + undoSecond);
    add("pattern-rom-of-that-size", 1, kRom, first + second);
    add("rom-of-another-size", 1, kRom - 4, first);
    add("header-written", 3, 0, JournalLine(1, "change", 0, "Repoint Image", -1, "", 0xC0, header,
                                            {{0xA8, PatternBytes(0xA8, 4), {'Q', 'B', 'O', 'X'}}}));
    add("escaped-labels", 3, 0, JournalLine(1, "change", 0, "Import", -1, "12 items%09%25%0A", kRom, header, {price}));
    add("short-rom-without-header", 3, 0, JournalLine(1, "change", 0, "Save", 0, "A", 0x10, {}, {{0, PatternBytes(0, 1), {0}}}));
    add("writes-out-of-order", 3, 0, JournalLine(1, "change", 0, "Save", 3, "", kRom, header, {description, price}));
    add("write-past-the-size", 3, 0, JournalLine(1, "change", 0, "Save", 3, "", 0x1F2, header, {description}));
    add("offset-near-the-top", 3, 0, JournalLine(1, "change", 0, "Save", 3, "", kRom, header,
                                                 {{0xFFFFFFFFu, {0x01}, {0x02}}}));
    std::string offsetAtTheTop = first;
    offsetAtTheTop.replace(offsetAtTheTop.find("00000110:"), 8, "7FFFFFFFFFFFFFFF");
    add("offset-at-the-top-of-64-bits", 3, 0, offsetAtTheTop);
    add("largest-id", 3, 0, "9223372036854775807" + first.substr(1));
    add("ids-not-growing", 3, 0, first + JournalLine(1, "change", 0, "Save", 5, "", kRom, header, {name}));
    add("undo-of-a-later-id", 3, 0, first + JournalLine(2, "undo", 2, "Save", 3, "", kRom, header, {price}));

    std::string broken = quillbox::fuzz::WithChecksums(first + second);
    broken.insert(broken.size() - 12, "X");  // an edit after the checksum was written
    add("edited-line", 2, 0, broken);
    const std::string whole = quillbox::fuzz::WithChecksums(first + second);
    add("cut-short", 2, 0, whole.substr(0, whole.size() - 20));
    std::string crlf = whole;
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) crlf.insert(at, "\r");
    add("crlf-line-ends", 2, 0, crlf);
    add("empty", 0, kRom, "");
}

// Import harness input: flags (1: CSV, 2: Ruby's sample), then the file.
Bytes ImportInput(std::uint8_t flags, std::string_view file) { return Concat({{flags}, Ascii(file)}); }

void AddImportSeeds(CorpusWriter& corpus)
{
    constexpr std::string_view kHarness = "item-import";
    struct Exported {
        std::string json;
        std::string csv;
    };
    auto exportOf = [&](std::string_view code) {
        const Sample& sample = SampleFor(code);
        const fs::path rom = quillbox::fuzz::Scratch() / (std::string(code) + ".gba");
        const fs::path profile = quillbox::fuzz::Scratch() / "roms.ini";
        quillbox::fuzz::WriteWholeFile(rom, sample.rom);
        quillbox::fuzz::WriteWholeFile(profile, quillbox::fuzz::SampleProfileSection(code, sample.tables));
        auto opened = quillbox::OpenRom(rom, profile);
        if (!opened) {
            std::fprintf(stderr, "cannot open the sample %s: %s\n", std::string(code).c_str(), opened.error().message.c_str());
            std::exit(1);
        }
        std::vector<quillbox::ItemView> items;
        for (const int position : {0, 3, 4, 290}) items.push_back(*quillbox::ReadItem(opened->state, position));
        return Exported{quillbox::ExportItems(*opened, items, quillbox::ExportFormat::Json),
                        quillbox::ExportItems(*opened, items, quillbox::ExportFormat::Csv)};
    };
    const Exported fireRed = exportOf("BPRE");
    const Exported ruby = exportOf("AXVE");

    corpus.Add(kHarness, "export-json", ImportInput(0, fireRed.json));
    corpus.Add(kHarness, "export-csv", ImportInput(1, fireRed.csv));
    corpus.Add(kHarness, "ruby-export-csv", ImportInput(3, ruby.csv));
    corpus.Add(kHarness, "ruby-one-item", ImportInput(2, R"({"position": 7, "price": 5, "pocket": 2, "tmMove": null})"));
    corpus.Add(kHarness, "edited-csv",
               ImportInput(1, "position,name,price,description\r\n3,Mega Tonic,1200,\"Two\r\nlines, [Lv] \\c\\h01\"\r\n"
                              "4,\"Brass \"\"T\"\"\",80,\r\n"));
    corpus.Add(kHarness, "unknown-characters",
               ImportInput(0, R"([{"position": 3, "name": "Potion;"}, {"position": 4, "description": "Tab\there_ñ"}])"));
    corpus.Add(kHarness, "repoint-and-write",
               ImportInput(0, R"([{"position": 3, "descriptionOffset": "A00000", "description": "Now here"},)"
                              R"( {"position": 4, "descriptionOffset": "A00000"}])"));
    corpus.Add(kHarness, "icon-repoint", ImportInput(1, "position,imageOffset,paletteOffset\n5,3D4294,\n6,,3D4294\n"));
    corpus.Add(kHarness, "tm-move", ImportInput(1, "position,tmMove,tmMoveName\n290,15,\n291,,Cut\n"));
    corpus.Add(kHarness, "two-rows-one-place",
               ImportInput(0, R"([{"position": 3, "descriptionOffset": "A00000", "description": "A"},)"
                              R"( {"position": 4, "descriptionOffset": "A00000", "description": "B"}])"));
    corpus.Add(kHarness, "read-only-column", ImportInput(1, "position,descriptionRoom\n3,99\n"));
    corpus.Add(kHarness, "repeated-position", ImportInput(0, R"([{"position": 3, "price": 1}, {"position": 3}])"));
    corpus.Add(kHarness, "not-json", ImportInput(0, R"([{"position": 3, "price": 1,])"));
    corpus.Add(kHarness, "unclosed-quote", ImportInput(1, "position,name\n3,\"Open\n"));
    corpus.Add(kHarness, "wrong-kinds", ImportInput(0, R"([{"position": "3", "price": 1.5, "name": 7, "index": [1]}])"));
    corpus.Add(kHarness, "empty", ImportInput(1, ""));
}

// Item-effect harness input: a field number, the text to set on it, then the record.
Bytes EffectInput(std::uint8_t field, std::string_view text, const Bytes& record)
{
    return Concat({{field, static_cast<Byte>(text.size())}, Ascii(text), record});
}

void AddItemEffectSeeds(CorpusWriter& corpus)
{
    constexpr std::string_view kHarness = "item-effect";
    // Records of the games' item-effect table; field numbers in the order of EffectFields().
    corpus.Add(kHarness, "potion-heal-too-much", EffectInput(18, "300", {0, 0, 0, 0, 0x04, 0, 20}));
    corpus.Add(kHarness, "full-restore-pp-off", EffectInput(19, "off", {0, 0, 0, 0x3F, 0x04, 0, 0xFF}));
    corpus.Add(kHarness, "revive-flag-off", EffectInput(22, "no", {0, 0, 0, 0, 0x44, 0, 0xFE}));
    corpus.Add(kHarness, "protein-friendship", EffectInput(29, "-5", {0, 0, 0, 0, 0x02, 0xE0, 10, 5, 3, 2}));
    corpus.Add(kHarness, "rare-candy-running-on", EffectInput(2, "on", {0, 0, 0, 0x40, 0x44, 0xE0, 253, 5, 3, 2, 0x99}));
    corpus.Add(kHarness, "x-attack-stages", EffectInput(0, "16", {0x01, 0, 0, 0, 0, 0x60, 1, 1}));
    corpus.Add(kHarness, "dire-hit", EffectInput(1, "3", {0x20, 0, 0, 0, 0, 0x60, 1, 1}));
    corpus.Add(kHarness, "ether-one-move", EffectInput(20, "yes", {0, 0, 0, 0, 0x18, 0, 10}));
    corpus.Add(kHarness, "every-argument", EffectInput(16, "+127", {0, 0, 0, 0, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    corpus.Add(kHarness, "cut-short", EffectInput(31, "", {0, 0, 0, 0, 0x04, 0xE0, 50, 0xFB}));
    corpus.Add(kHarness, "flags-cut-short", EffectInput(7, " 15 ", {0, 0, 0}));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <corpus folder> <shipped roms.ini>\n", argv[0]);
        return 2;
    }
    std::ifstream profileFile(argv[2], std::ios::binary);
    std::ostringstream shipped;
    shipped << profileFile.rdbuf();
    if (!profileFile || shipped.str().empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    CorpusWriter corpus(argv[1]);
    AddLz77Seeds(corpus);
    AddGameTextSeeds(corpus);
    AddProfileSeeds(corpus, shipped.str());
    AddOpenRomSeeds(corpus);
    AddIconSeeds(corpus);
    AddHistorySeeds(corpus);
    AddImportSeeds(corpus);
    AddItemEffectSeeds(corpus);
    corpus.Report();
    return 0;
}
