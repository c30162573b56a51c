#include "rom/History.h"

#include "base/Crc32.h"
#include "base/FileWrite.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "platform/FileLocks.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <string_view>
#include <system_error>

namespace quillbox {

namespace {

constexpr std::int64_t kHeaderStart = 0xA0;
constexpr std::int64_t kHeaderEnd = 0xC0;
constexpr std::size_t kFieldCount = 11;
// The last id is looked for in this much of the journal's end before the whole is read.
constexpr std::int64_t kTailSize = 64 * 1024;

std::string Hex32(std::uint32_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

// Text fields keep tabs, line ends and the escape character itself out of the line.
std::string Escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || ch == '%') {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            out += '%';
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text)
{
    if (text.find('%') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const std::string_view digits = text.substr(i + 1, 2);
        if (digits.size() != 2 || !IsHexText(digits)) return std::nullopt;
        out += static_cast<char>(HexToNumber(digits));
        i += 2;
    }
    return out;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base = 10)
{
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string_view KindName(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::Change: return "change";
    case HistoryKind::Undo: return "undo";
    case HistoryKind::Redo: return "redo";
    }
    return "change";
}

std::optional<HistoryKind> KindOf(std::string_view name)
{
    for (const HistoryKind kind : {HistoryKind::Change, HistoryKind::Undo, HistoryKind::Redo}) {
        if (KindName(kind) == name) return kind;
    }
    return std::nullopt;
}

// The time a change is recorded at: now, or SOURCE_DATE_EPOCH where a build sets it, so that a
// hack built from a clean base gets the same history every time, on every system. The calendar
// of <chrono> gives the same date everywhere without the C library's thread-safe time calls,
// which Windows names differently.
std::string NowUtc()
{
    using namespace std::chrono;
    auto now = floor<seconds>(system_clock::now());
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH"); fixed != nullptr && *fixed != '\0') {
        const std::string_view text(fixed);
        std::int64_t value = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        constexpr std::int64_t kYear10000 = 253402300800;
        if (error == std::errc() && end == text.data() + text.size() && value >= 0 && value < kYear10000) {
            now = sys_seconds(seconds(value));
        }
    }
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                                     static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                                     static_cast<int>(time.seconds().count()));
    return std::string(text, static_cast<std::size_t>(std::max(length, 0)));
}

std::string FormatLine(const HistoryEntry& entry)
{
    std::string writes;
    for (const HistoryWrite& write : entry.writes) {
        if (!writes.empty()) writes += ' ';
        writes += Hex32(static_cast<std::uint32_t>(write.offset));
        writes += ':';
        writes += BytesToHex(write.before);
        writes += ':';
        writes += BytesToHex(write.after);
    }
    std::string line = std::to_string(entry.id) + '\t' + entry.time + '\t' + std::string(KindName(entry.kind)) + '\t' +
                       std::to_string(entry.target) + '\t' + Escape(entry.label.operation) + '\t' +
                       std::to_string(entry.label.position) + '\t' + Escape(entry.label.itemName) + '\t' +
                       std::to_string(entry.romSize) + '\t' + BytesToHex(entry.romHeader) + '\t' + writes;
    line += '\t';
    line += Hex32(Crc32(std::string_view(line).substr(0, line.size() - 1)));
    return line;
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Bytes> BytesOf(std::string_view hex)
{
    if (hex.size() % 2 != 0) return std::nullopt;
    Bytes bytes(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(hex[2 * i]);
        const int low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[i] = static_cast<Byte>(high << 4 | low);
    }
    return bytes;
}

// Every part of a line is checked: a line that does not read back exactly is not applied.
std::optional<HistoryEntry> ParseLine(std::string_view line)
{
    const std::size_t lastTab = line.rfind('\t');
    if (lastTab == std::string_view::npos) return std::nullopt;
    const auto checksum = ParseNumber<std::uint32_t>(line.substr(lastTab + 1), 16);
    if (!checksum || line.size() - lastTab - 1 != 8 || *checksum != Crc32(line.substr(0, lastTab))) return std::nullopt;

    const std::vector<std::string_view> fields = Split(line, '\t');
    if (fields.size() != kFieldCount) return std::nullopt;
    HistoryEntry entry;
    const auto id = ParseNumber<std::int64_t>(fields[0]);
    const auto kind = KindOf(fields[2]);
    const auto target = ParseNumber<std::int64_t>(fields[3]);
    auto operation = Unescape(fields[4]);
    const auto position = ParseNumber<int>(fields[5]);
    auto name = Unescape(fields[6]);
    const auto size = ParseNumber<std::int64_t>(fields[7]);
    auto header = BytesOf(fields[8]);
    if (!id || *id <= 0 || !kind || !target || !operation || !position || !name || !size || *size < 0 || !header) {
        return std::nullopt;
    }
    if ((*kind == HistoryKind::Change) != (*target == 0) || *target < 0 || *target >= *id) return std::nullopt;
    entry.id = *id;
    entry.time = std::string(fields[1]);
    entry.kind = *kind;
    entry.target = *target;
    entry.label = {std::move(*operation), *position, std::move(*name)};
    entry.romSize = *size;
    entry.romHeader = std::move(*header);
    if (fields[9].empty()) return std::nullopt;
    std::int64_t end = 0;
    for (const std::string_view text : Split(fields[9], ' ')) {
        const std::vector<std::string_view> parts = Split(text, ':');
        if (parts.size() != 3) return std::nullopt;
        const auto offset = ParseNumber<std::int64_t>(parts[0], 16);
        auto before = BytesOf(parts[1]);
        auto after = BytesOf(parts[2]);
        // Compared without adding to the offset, which may be as large as the line makes it.
        if (!offset || !before || !after || before->empty() || before->size() != after->size() || *offset < end ||
            *offset > entry.romSize - static_cast<std::int64_t>(after->size())) {
            return std::nullopt;
        }
        // A run holds only bytes the write changed; one that keeps a byte was not written here,
        // and taking it back would change nothing and journal nothing readable.
        if (std::mismatch(before->begin(), before->end(), after->begin(), std::not_equal_to<>()).first != before->end()) {
            return std::nullopt;
        }
        end = *offset + static_cast<std::int64_t>(after->size());
        entry.writes.push_back({*offset, std::move(*before), std::move(*after)});
    }
    return entry;
}

Result<std::string> ReadText(const std::filesystem::path& path, std::int64_t fromEnd, std::int64_t& totalSize)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return MakeError(ErrorCode::HistoryFailed, PathText(path) + " is not a file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return MakeError(ErrorCode::HistoryFailed, PathText(path) + " " + WhyUnreadable(path));
    }
    in.seekg(0, std::ios::end);
    totalSize = static_cast<std::int64_t>(in.tellg());
    if (totalSize < 0) {
        return MakeError(ErrorCode::HistoryFailed, PathText(path) + " cannot be read");
    }
    const std::int64_t start = fromEnd <= 0 ? 0 : std::max<std::int64_t>(0, totalSize - fromEnd);
    std::string text(static_cast<std::size_t>(totalSize - start), '\0');
    in.seekg(start);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.gcount() != static_cast<std::streamsize>(text.size())) {
        return MakeError(ErrorCode::HistoryFailed, PathText(path) + " cannot be read");
    }
    return text;
}

HistoryLog ParseJournal(std::string_view text)
{
    HistoryLog log;
    std::int64_t lastId = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool complete = end != std::string_view::npos;
        if (!complete) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        auto entry = ParseLine(line);
        // Ids only grow: a line whose id does not is a copy or an edit, and is not trusted.
        if (!entry || entry->id <= lastId) {
            ++log.skippedLines;
            continue;
        }
        lastId = entry->id;
        log.entries.push_back(std::move(*entry));
    }
    return log;
}

// The highest id of the lines whose checksums hold; 0 when there is none. A line copied from
// further up does not lower it, so a new entry never repeats an id.
std::int64_t LastId(std::string_view text)
{
    std::int64_t last = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t lastTab = line.rfind('\t');
        if (lastTab == std::string_view::npos || line.size() - lastTab - 1 != 8) continue;
        const auto checksum = ParseNumber<std::uint32_t>(line.substr(lastTab + 1), 16);
        if (!checksum || *checksum != Crc32(line.substr(0, lastTab))) continue;
        const auto id = ParseNumber<std::int64_t>(line.substr(0, line.find('\t')));
        if (id) last = std::max(last, *id);
    }
    return last;
}

Bytes HeaderOf(RomFile& file)
{
    const std::int64_t end = std::min(file.Size(), kHeaderEnd);
    if (end <= kHeaderStart) return {};
    auto bytes = file.ReadAt(kHeaderStart, end - kHeaderStart);
    return bytes ? std::move(*bytes) : Bytes{};
}

std::string OffsetList(const std::vector<std::int64_t>& offsets)
{
    std::string text;
    const std::size_t shown = std::min<std::size_t>(offsets.size(), 8);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += ", ";
        text += NumberToHex(static_cast<std::uint32_t>(offsets[i]));
    }
    if (offsets.size() > shown) text += " and " + std::to_string(offsets.size() - shown) + " more";
    return text;
}

// Undo and redo share everything but the direction: undo expects each write's "after" bytes in
// the file and puts back its "before" bytes, redo the other way round.
Result<HistoryEntry> Step(const std::filesystem::path& rom, HistoryKind kind)
{
    auto log = ReadHistory(rom);
    if (!log) {
        return log.error();
    }
    const HistoryStacks stacks = StacksOf(*log);
    const auto& stack = kind == HistoryKind::Undo ? stacks.undo : stacks.redo;
    if (stack.empty()) {
        return MakeError(ErrorCode::NothingToUndo, kind == HistoryKind::Undo ? "no change of " + PathText(rom.filename()) + " is left to undo"
                                                                              : "no undone change of " + PathText(rom.filename()) + " is left to redo");
    }
    const HistoryEntry& entry = *stack.back();
    const HistoryEntry& newest = log->entries.back();

    auto file = RomFile::Open(rom);
    if (!file) {
        return file.error();
    }
    if (file->Size() != newest.romSize || HeaderOf(*file) != newest.romHeader) {
        return MakeError(ErrorCode::UndoConflict,
                         PathText(rom) + " is not the file its history was written for: its size or its header bytes A0 to BF differ");
    }
    std::vector<Patch> patches;
    std::vector<std::int64_t> changed;
    for (const HistoryWrite& write : entry.writes) {
        const Bytes& expected = kind == HistoryKind::Undo ? write.after : write.before;
        auto now = file->ReadAt(write.offset, static_cast<std::int64_t>(expected.size()));
        if (!now) {
            return now.error();
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if ((*now)[i] != expected[i]) changed.push_back(write.offset + static_cast<std::int64_t>(i));
        }
        patches.push_back({write.offset, kind == HistoryKind::Undo ? write.before : write.after});
    }
    if (!changed.empty()) {
        return MakeError(ErrorCode::UndoConflict, "another program changed the bytes of \"" + DescribeChange(entry.label) +
                                                      "\" at " + OffsetList(changed));
    }
    if (auto written = ApplyPatchesAs(*file, patches, kind, entry.id, entry.label, KeepHistory::Yes); !written) {
        return written.error();
    }
    return entry;
}

}  // namespace

std::filesystem::path HistoryPathOf(const std::filesystem::path& rom)
{
    std::filesystem::path path = rom;
    path += ".quillbox-history";
    return path;
}

Result<HistoryLog> ReadHistory(const std::filesystem::path& rom)
{
    const std::filesystem::path path = HistoryPathOf(rom);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return HistoryLog{};
    }
    std::int64_t size = 0;
    auto text = ReadText(path, 0, size);
    if (!text) {
        return text.error();
    }
    return ParseJournal(*text);
}

HistoryStacks StacksOf(const HistoryLog& log)
{
    HistoryStacks stacks;
    auto take = [](std::vector<const HistoryEntry*>& from, std::int64_t id) -> const HistoryEntry* {
        const auto found = std::find_if(from.rbegin(), from.rend(), [id](const HistoryEntry* e) { return e->id == id; });
        if (found == from.rend()) return nullptr;
        const HistoryEntry* entry = *found;
        from.erase(std::next(found).base());
        return entry;
    };
    for (const HistoryEntry& entry : log.entries) {
        switch (entry.kind) {
        case HistoryKind::Change:
            stacks.undo.push_back(&entry);
            stacks.redo.clear();
            break;
        case HistoryKind::Undo:
            if (const HistoryEntry* undone = take(stacks.undo, entry.target)) stacks.redo.push_back(undone);
            break;
        case HistoryKind::Redo:
            if (const HistoryEntry* redone = take(stacks.redo, entry.target)) stacks.undo.push_back(redone);
            break;
        }
    }
    return stacks;
}

std::string DescribeChange(const ChangeLabel& label)
{
    if (!label.itemName.empty()) return label.operation + " of " + label.itemName;
    if (label.position >= 0) return label.operation + " of item " + std::to_string(label.position);
    return label.operation;
}

Result<HistoryEntry> UndoChange(const std::filesystem::path& rom) { return Step(rom, HistoryKind::Undo); }

Result<HistoryEntry> RedoChange(const std::filesystem::path& rom) { return Step(rom, HistoryKind::Redo); }

Result<HistoryMark> AppendHistory(const std::filesystem::path& rom, HistoryEntry& entry)
{
    HistoryMark mark{HistoryPathOf(rom), 0, false};
    const auto refuse = [&](const std::string& why) {
        return MakeError(ErrorCode::HistoryFailed, PathText(mark.path) + " " + why +
                                                       "; turn the history off to write without it");
    };
    std::error_code ec;
    const auto status = std::filesystem::status(mark.path, ec);
    if (std::filesystem::is_directory(status)) {
        return refuse("is a folder");
    }
    mark.created = !std::filesystem::exists(status);
    // As with the ROM, a journal without write permission is kept as it is, whoever asks.
    using std::filesystem::perms;
    if (!mark.created && (status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none) {
        return refuse("is read-only");
    }
    const auto unreadable = [&] {
        return refuse(WhyUnreadable(mark.path));
    };
    std::int64_t lastId = 0;
    bool endsWithLineBreak = true;
    if (!mark.created) {
        std::int64_t size = 0;
        auto tail = ReadText(mark.path, kTailSize, size);
        if (!tail) {
            return unreadable();
        }
        mark.previousSize = static_cast<std::uintmax_t>(size);
        endsWithLineBreak = tail->empty() || tail->back() == '\n';
        lastId = LastId(*tail);
        if (lastId == 0 && size > kTailSize) {
            auto whole = ReadText(mark.path, 0, size);
            if (!whole) {
                return unreadable();
            }
            lastId = LastId(*whole);
        }
    }
    if (lastId == std::numeric_limits<std::int64_t>::max()) {
        return refuse("has no number left for another entry");
    }
    entry.id = lastId + 1;
    entry.time = NowUtc();
    std::string line = endsWithLineBreak ? std::string() : std::string("\n");
    line += FormatLine(entry);
    line += '\n';

    std::ofstream out(mark.path, std::ios::binary | std::ios::app);
    if (!out) {
        if (!mark.created && HeldByAnotherProgram(mark.path, FileUse::Write)) return refuse(std::string(kHeldOpen));
        return refuse(mark.created ? "cannot be created" : "cannot be opened for writing");
    }
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.flush();
    if (!out) {
        out.close();
        RetractHistory(mark);
        return refuse("cannot be written");
    }
    return mark;
}

bool RetractHistory(const HistoryMark& mark)
{
    std::error_code ec;
    if (mark.created) {
        return std::filesystem::remove(mark.path, ec) && !ec;
    }
    std::filesystem::resize_file(mark.path, mark.previousSize, ec);
    return !ec;
}

}  // namespace quillbox
