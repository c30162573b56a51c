// Input: a flag byte, a 16-bit ROM size, then the text of the journal beside the ROM.
//
// Flags: 1 gives every line the checksum of its text, so that the reader's other checks get
// fuzzed; 2 lays the ROM out as the newest entry says (its size and header bytes) with the bytes
// the next undo or redo expects, so that the step reaches its write; 4 redoes instead of undoing.
// The ROM is otherwise a pattern of the given size.
//
// What the reader accepts must hold together: every entry comes from a line whose checksum holds,
// in order, ids grow, targets name earlier entries, writes are disjoint and inside the ROM size,
// and a change written again through the journal reads back the same. The step then either
// writes nothing at all, or changes exactly the bytes of the change it names, inside the file,
// journals itself, and the opposite step puts every byte back (unless the journal has no id left
// for it, and then it writes nothing).

#include "FuzzSupport.h"
#include "JournalText.h"

#include "rom/History.h"
#include "rom/RomFile.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillbox::Byte;
using quillbox::Bytes;
using quillbox::HistoryEntry;
using quillbox::HistoryKind;
using quillbox::fuzz::InputReader;

enum Flag : std::uint8_t { kFixChecksums = 1, kLayOutForTheStep = 2, kRedo = 4 };

constexpr std::int64_t kHeaderStart = 0xA0;
constexpr std::int64_t kHeaderEnd = 0xC0;
// A ROM laid out from the journal is written on every run; larger sizes are left as patterns.
constexpr std::int64_t kLargestLaidOutRom = 64 * 1024;
constexpr std::size_t kMostRoundTrips = 2;

Bytes Pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = quillbox::fuzz::PatternByte(i);
    return bytes;
}

std::optional<Bytes> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<std::int64_t> IdOfLine(std::string_view line)
{
    const std::string_view field = line.substr(0, line.find('\t'));
    std::int64_t id = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), id);
    if (ec != std::errc{} || end != field.data() + field.size()) return std::nullopt;
    return id;
}

bool SameContent(const HistoryEntry& a, const HistoryEntry& b)
{
    auto sameWrites = [](const auto& x, const auto& y) {
        return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), [](const auto& p, const auto& q) {
                   return p.offset == q.offset && p.before == q.before && p.after == q.after;
               });
    };
    return a.kind == b.kind && a.target == b.target && a.label.operation == b.label.operation &&
           a.label.position == b.label.position && a.label.itemName == b.label.itemName && a.romSize == b.romSize &&
           a.romHeader == b.romHeader && sameWrites(a.writes, b.writes);
}

void CheckEntries(const quillbox::HistoryLog& log, std::string_view journal)
{
    const std::vector<std::string_view> lines = Lines(journal);
    QUILLBOX_FUZZ_CHECK(log.entries.size() + static_cast<std::size_t>(log.skippedLines) == lines.size());
    std::size_t line = 0;
    std::int64_t lastId = 0;
    for (const HistoryEntry& entry : log.entries) {
        while (line < lines.size() && !(quillbox::fuzz::ChecksumHolds(lines[line]) && IdOfLine(lines[line]) == entry.id)) ++line;
        QUILLBOX_FUZZ_CHECK(line < lines.size());
        ++line;
        QUILLBOX_FUZZ_CHECK(entry.id > lastId);
        lastId = entry.id;
        QUILLBOX_FUZZ_CHECK((entry.kind == HistoryKind::Change) == (entry.target == 0));
        QUILLBOX_FUZZ_CHECK(entry.target >= 0 && entry.target < entry.id);
        QUILLBOX_FUZZ_CHECK(entry.romSize >= 0 && !entry.writes.empty());
        std::int64_t end = 0;
        for (const quillbox::HistoryWrite& write : entry.writes) {
            QUILLBOX_FUZZ_CHECK(!write.before.empty() && write.before.size() == write.after.size());
            for (std::size_t i = 0; i < write.before.size(); ++i) QUILLBOX_FUZZ_CHECK(write.before[i] != write.after[i]);
            QUILLBOX_FUZZ_CHECK(write.offset >= end);
            QUILLBOX_FUZZ_CHECK(write.offset <= entry.romSize &&
                                static_cast<std::int64_t>(write.after.size()) <= entry.romSize - write.offset);
            end = write.offset + static_cast<std::int64_t>(write.after.size());
        }
    }

    const quillbox::HistoryStacks stacks = quillbox::StacksOf(log);
    std::vector<std::int64_t> stacked;
    for (const auto* stack : {&stacks.undo, &stacks.redo}) {
        for (const HistoryEntry* entry : *stack) {
            QUILLBOX_FUZZ_CHECK(entry->kind == HistoryKind::Change);
            stacked.push_back(entry->id);
        }
    }
    std::sort(stacked.begin(), stacked.end());
    QUILLBOX_FUZZ_CHECK(std::adjacent_find(stacked.begin(), stacked.end()) == stacked.end());
}

// A change journaled afresh reads back as it was: the line format loses nothing of a label or a write.
void CheckRoundTrips(const quillbox::HistoryLog& log)
{
    const auto rom = quillbox::fuzz::Scratch() / "again.gba";
    std::size_t done = 0;
    for (const HistoryEntry& entry : log.entries) {
        if (entry.kind != HistoryKind::Change || done == kMostRoundTrips) continue;
        ++done;
        std::filesystem::remove(quillbox::HistoryPathOf(rom));
        HistoryEntry copy = entry;
        QUILLBOX_FUZZ_CHECK(quillbox::AppendHistory(rom, copy).has_value());
        auto again = quillbox::ReadHistory(rom);
        QUILLBOX_FUZZ_CHECK(again.has_value() && again->entries.size() == 1 && again->skippedLines == 0);
        QUILLBOX_FUZZ_CHECK(SameContent(again->entries.front(), entry));
    }
}

// The ROM as the newest entry describes it, holding what the step expects to find.
Bytes LayOut(const quillbox::HistoryLog& log, bool redo, Bytes fallback)
{
    if (log.entries.empty()) return fallback;
    const HistoryEntry& newest = log.entries.back();
    if (newest.romSize > kLargestLaidOutRom) return fallback;
    Bytes rom = Pattern(static_cast<std::size_t>(newest.romSize));
    const std::int64_t headerEnd = std::min(newest.romSize, kHeaderEnd);
    if (headerEnd > kHeaderStart && static_cast<std::int64_t>(newest.romHeader.size()) == headerEnd - kHeaderStart) {
        std::copy(newest.romHeader.begin(), newest.romHeader.end(), rom.begin() + kHeaderStart);
    }
    const quillbox::HistoryStacks stacks = quillbox::StacksOf(log);
    const auto& stack = redo ? stacks.redo : stacks.undo;
    if (stack.empty()) return rom;
    for (const quillbox::HistoryWrite& write : stack.back()->writes) {
        const Bytes& expected = redo ? write.before : write.after;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const std::int64_t at = write.offset + static_cast<std::int64_t>(i);
            if (at < static_cast<std::int64_t>(rom.size())) rom[static_cast<std::size_t>(at)] = expected[i];
        }
    }
    return rom;
}

void CheckStep(const std::filesystem::path& romPath, const quillbox::HistoryLog& log, bool redo)
{
    const auto journalPath = quillbox::HistoryPathOf(romPath);
    const auto romBefore = ReadBytes(romPath);
    const auto journalBefore = ReadBytes(journalPath);
    QUILLBOX_FUZZ_CHECK(romBefore && journalBefore);

    auto step = redo ? quillbox::RedoChange(romPath) : quillbox::UndoChange(romPath);
    const auto romAfter = ReadBytes(romPath);
    QUILLBOX_FUZZ_CHECK(romAfter && romAfter->size() == romBefore->size());
    if (!step) {
        QUILLBOX_FUZZ_CHECK(!step.error().message.empty());
        QUILLBOX_FUZZ_CHECK(*romAfter == *romBefore);
        QUILLBOX_FUZZ_CHECK(ReadBytes(journalPath) == journalBefore);
        return;
    }

    // Exactly the bytes of the change, as its other side holds them; the rest as it was.
    Bytes expected = *romBefore;
    for (const quillbox::HistoryWrite& write : step->writes) {
        const Bytes& written = redo ? write.after : write.before;
        QUILLBOX_FUZZ_CHECK(write.offset + static_cast<std::int64_t>(written.size()) <= static_cast<std::int64_t>(expected.size()));
        std::copy(written.begin(), written.end(), expected.begin() + write.offset);
    }
    QUILLBOX_FUZZ_CHECK(*romAfter == expected);

    // Every byte of an accepted entry changes, so a step that changes none would be stuck there.
    QUILLBOX_FUZZ_CHECK(*romAfter != *romBefore);
    auto after = quillbox::ReadHistory(romPath);
    QUILLBOX_FUZZ_CHECK(after.has_value());
    QUILLBOX_FUZZ_CHECK(after->entries.size() == log.entries.size() + 1);
    for (std::size_t i = 0; i < log.entries.size(); ++i) {
        QUILLBOX_FUZZ_CHECK(after->entries[i].id == log.entries[i].id && SameContent(after->entries[i], log.entries[i]));
    }
    const HistoryEntry& recorded = after->entries.back();
    QUILLBOX_FUZZ_CHECK(recorded.kind == (redo ? HistoryKind::Redo : HistoryKind::Undo));
    QUILLBOX_FUZZ_CHECK(recorded.target == step->id);
    QUILLBOX_FUZZ_CHECK(recorded.label.operation == step->label.operation && recorded.label.itemName == step->label.itemName);

    auto back = redo ? quillbox::UndoChange(romPath) : quillbox::RedoChange(romPath);
    if (!back) {
        // Only a journal that has used up its ids may refuse, and then it writes nothing.
        QUILLBOX_FUZZ_CHECK(back.error().code == quillbox::ErrorCode::HistoryFailed &&
                            recorded.id == std::numeric_limits<std::int64_t>::max());
        QUILLBOX_FUZZ_CHECK(ReadBytes(romPath) == romAfter);
        return;
    }
    QUILLBOX_FUZZ_CHECK(back->id == step->id);
    QUILLBOX_FUZZ_CHECK(ReadBytes(romPath) == romBefore);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::uint16_t romSize = input.Le16();
    const auto rest = input.Rest();
    const std::string_view raw(reinterpret_cast<const char*>(rest.data()), rest.size());
    const std::string journal = (flags & kFixChecksums) != 0 ? quillbox::fuzz::WithChecksums(raw) : std::string(raw);
    const bool redo = (flags & kRedo) != 0;

    const auto romPath = quillbox::fuzz::Scratch() / "rom.gba";
    quillbox::fuzz::WriteWholeFile(quillbox::HistoryPathOf(romPath), journal);
    auto log = quillbox::ReadHistory(romPath);
    QUILLBOX_FUZZ_CHECK(log.has_value());
    CheckEntries(*log, journal);

    Bytes rom = Pattern(romSize);
    if ((flags & kLayOutForTheStep) != 0) rom = LayOut(*log, redo, std::move(rom));
    quillbox::fuzz::WriteWholeFile(romPath, rom);
    CheckStep(romPath, *log, redo);
    CheckRoundTrips(*log);
    return 0;
}
