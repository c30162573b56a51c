#include "rom/Profile.h"

#include "base/FileWrite.h"
#include "base/PathText.h"
#include "platform/ProgramLocation.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quillbox {

namespace {

// A profile is a few kilobytes; anything this large is not one, and is not read into memory.
constexpr std::uintmax_t kMaxProfileSize = 16 * 1024 * 1024;
constexpr std::size_t kMaxValueLength = 511;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::string_view> SectionName(std::string_view line)
{
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

// Rounds a whole part and the digits after the point to the nearest integer, a half to even.
std::int64_t RoundHalfToEven(std::int64_t whole, std::string_view fraction)
{
    if (fraction.empty() || fraction.front() < '5') return whole;
    const bool exactHalf = fraction.front() == '5' &&
                           std::all_of(fraction.begin() + 1, fraction.end(), [](char c) { return c == '0'; });
    if (exactHalf && whole % 2 == 0) return whole;
    return whole + 1;
}

}  // namespace

std::string ReadProfileValueFromText(std::string_view contents, std::string_view section, std::string_view key)
{
    bool inSection = false;
    bool sectionSeen = false;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string_view::npos) end = contents.size();
        const std::string_view line = contents.substr(start, end - start);
        start = end + 1;

        if (auto name = SectionName(line)) {
            // Only the first section of a name counts; a repeat of it is ignored.
            if (inSection) return {};
            inSection = !sectionSeen && EqualsIgnoringCase(*name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (!EqualsIgnoringCase(TrimBlanks(line.substr(0, equals)), key)) continue;
        const std::string_view value = TrimBlanks(line.substr(equals + 1));
        return std::string(value.substr(0, kMaxValueLength));
    }
    return {};
}

namespace {

// What reading a profile gave: its text, or why there is none.
struct ProfileRead {
    enum class State { Missing, Unreadable, Read };
    State state = State::Missing;
    std::string text;
    std::string reason;  // for an unreadable file
};

ProfileRead ReadProfileFile(const std::filesystem::path& file)
{
    using State = ProfileRead::State;
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(file, ec)) return {};
    if (!std::filesystem::is_regular_file(file, ec)) return {State::Unreadable, {}, "not a plain file"};
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) return {State::Unreadable, {}, ec.message()};
    if (size > kMaxProfileSize) return {State::Unreadable, {}, "larger than 16 MiB"};
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return {State::Unreadable, {}, "it could not be opened"};
    std::ostringstream contents;
    contents << stream.rdbuf();
    return {State::Read, contents.str(), {}};
}

std::optional<std::string> ReadProfileText(const std::filesystem::path& file)
{
    ProfileRead read = ReadProfileFile(file);
    if (read.state != ProfileRead::State::Read) return std::nullopt;
    return std::move(read.text);
}

// Why a text read from a profile's place is no profile, or nothing when it is one: a profile is
// text whose keys stand in sections. One holding nothing but blanks and comments is an empty
// profile, not garbage.
std::optional<std::string> NotAProfile(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos) return "it holds binary data, not text";
    bool content = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = TrimBlanks(text.substr(start, end - start));
        if (SectionName(line)) return std::nullopt;
        content = content || !(line.empty() || line.front() == ';' || line.front() == '#');
        start = end + 1;
    }
    if (content) return "it has no [section] heading";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadProfileFileText(const std::filesystem::path& file) { return ReadProfileText(file); }

std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section, std::string_view key)
{
    const auto contents = ReadProfileText(file);
    return contents ? ReadProfileValueFromText(*contents, section, key) : std::string();
}

std::int64_t ParseProfileNumber(std::string_view text)
{
    std::string compact;
    for (char c : text) {
        if (!IsBlank(c) && c != '\r' && c != '\n') compact.push_back(c);
    }
    std::string_view rest = compact;

    if (rest.size() >= 2 && rest[0] == '&' && (rest[1] == 'H' || rest[1] == 'h')) {
        rest.remove_prefix(2);
        std::uint64_t value = 0;
        std::size_t digits = 0;
        for (char c : rest) {
            const int digit = std::isxdigit(static_cast<unsigned char>(c))
                                  ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10))
                                  : -1;
            if (digit < 0) break;
            value = (value << 4) | static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFull) return 0;
            ++digits;
        }
        return digits == 0 ? 0 : static_cast<std::int64_t>(value);
    }

    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    std::int64_t whole = 0;
    std::size_t i = 0;
    for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
        whole = whole * 10 + (rest[i] - '0');
        if (whole > 0xFFFFFFFFll) return 0;
    }
    std::string_view fraction;
    if (i < rest.size() && rest[i] == '.') {
        const std::size_t first = i + 1;
        std::size_t last = first;
        while (last < rest.size() && std::isdigit(static_cast<unsigned char>(rest[last]))) ++last;
        fraction = rest.substr(first, last - first);
    }
    const std::int64_t rounded = RoundHalfToEven(whole, fraction);
    if (rounded > 0xFFFFFFFFll) return 0;
    return negative ? -rounded : rounded;
}

std::string ProfilePathText(std::string_view programFolder, char separator)
{
    std::string path(programFolder);
    if (path.empty() || path.back() != separator) path.push_back(separator);
    path += "ini";
    path.push_back(separator);
    path += "roms.ini";
    return path;
}

std::filesystem::path ProfilePathFor(const std::filesystem::path& programFolder)
{
    return programFolder / "ini" / "roms.ini";
}

std::filesystem::path ProgramFolder()
{
    if (const auto program = RunningProgramFile(); !program.empty()) return program.parent_path();
    std::error_code ec;
    return std::filesystem::current_path(ec);
}

std::filesystem::path UserProfilePath()
{
    const auto folder = UserConfigFolder();
    return folder.empty() ? folder : folder / "quillbox" / "roms.ini";
}

std::string RevisionSectionName(std::string_view headerCode, int versionByte)
{
    return std::string(headerCode) + std::to_string(versionByte);
}

std::string SectionNameToKeep(std::string_view headerCode, int versionByte)
{
    return versionByte == 0 ? std::string(headerCode) : RevisionSectionName(headerCode, versionByte);
}

bool ProfileHasSection(std::string_view contents, std::string_view section)
{
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string_view::npos) end = contents.size();
        const auto name = SectionName(contents.substr(start, end - start));
        if (name && EqualsIgnoringCase(*name, section)) return true;
        start = end + 1;
    }
    return false;
}

std::filesystem::path RomTablesPathOf(const std::filesystem::path& rom)
{
    std::filesystem::path path = rom;
    path += ".quillbox-tables";
    return path;
}

std::vector<ProfileSection> FindProfileSections(const ProfileFiles& files, const std::filesystem::path& romTables,
                                                std::string_view headerCode, int versionByte,
                                                std::vector<PassedOverFile>& passedOver)
{
    using Why = PassedOverFile::Why;
    const std::string names[] = {RevisionSectionName(headerCode, versionByte), std::string(headerCode)};
    const auto read = [&](const std::filesystem::path& file, bool kept, bool user) -> std::optional<std::string> {
        ProfileRead result = ReadProfileFile(file);
        if (result.state == ProfileRead::State::Missing) return std::nullopt;
        if (result.state == ProfileRead::State::Unreadable) {
            passedOver.push_back({file, kept, user, Why::Unreadable, "cannot be read (" + result.reason + ")"});
            return std::nullopt;
        }
        if (const auto why = NotAProfile(result.text)) {
            passedOver.push_back({file, kept, user, Why::NotAProfile, "is not a profile (" + *why + ")"});
            return std::nullopt;
        }
        if (!ProfileHasSection(result.text, names[0]) && !ProfileHasSection(result.text, names[1])) {
            passedOver.push_back(
                {file, kept, user, Why::NoSection, "has no section [" + names[0] + "] or [" + names[1] + "]"});
        }
        return std::move(result.text);
    };
    std::vector<ProfileSection> sections;
    if (const auto kept = read(romTables, true, false)) {
        for (const std::string& name : names) {
            if (ProfileHasSection(*kept, name)) sections.push_back({name, romTables, false, true});
        }
    }
    const auto user = read(files.user, false, true);
    const auto shipped = read(files.shipped, false, false);
    for (const std::string& name : names) {
        if (user && ProfileHasSection(*user, name)) sections.push_back({name, files.user, true, false});
        if (shipped && ProfileHasSection(*shipped, name)) sections.push_back({name, files.shipped, false, false});
    }
    return sections;
}

std::vector<ProfileSection> FindProfileSections(const ProfileFiles& files, const std::filesystem::path& romTables,
                                                std::string_view headerCode, int versionByte)
{
    std::vector<PassedOverFile> passedOver;
    return FindProfileSections(files, romTables, headerCode, versionByte, passedOver);
}

std::optional<ProfileSection> FindProfileSection(const ProfileFiles& files, std::string_view headerCode,
                                                 int versionByte)
{
    auto sections = FindProfileSections(files, {}, headerCode, versionByte);
    if (sections.empty()) return std::nullopt;
    return std::move(sections.front());
}

ProfileTables ReadProfileTables(const ProfileSection& section)
{
    const std::string contents = ReadProfileText(section.file).value_or(std::string());
    const auto number = [&](std::string_view key) {
        return ParseProfileNumber(ReadProfileValueFromText(contents, section.name, key));
    };
    ProfileTables tables{number("ItemData"), number("AttackNames"), number("TMData"), number("IMGData"), {}};
    if (!ReadProfileValueFromText(contents, section.name, "ItemCount").empty()) tables.itemCount = number("ItemCount");
    tables.tmListUnknown = section.romTables && ReadProfileValueFromText(contents, section.name, "TMData").empty();
    tables.effectData = number("EffectData");
    if (!ReadProfileValueFromText(contents, section.name, "EffectEntries").empty()) tables.effectEntries = number("EffectEntries");
    return tables;
}

std::string ReplaceProfileSection(std::string_view contents, std::string_view section,
                                  std::span<const std::string> lines)
{
    std::string body = "[" + std::string(section) + "]\n";
    for (const std::string& line : lines) body += line + "\n";

    std::string result;
    bool replaced = false;
    bool skipping = false;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? contents.size() : end + 1;
        const std::string_view line = contents.substr(start, next - start);
        start = next;
        if (const auto name = SectionName(line)) {
            skipping = false;
            if (!replaced && EqualsIgnoringCase(*name, section)) {
                result += body;
                replaced = skipping = true;
                continue;
            }
        }
        if (!skipping) {
            result += line;
            if (line.back() != '\n') result += '\n';
        }
    }
    if (!replaced) {
        if (!result.empty()) result += '\n';
        result += body;
    }
    return result;
}

Status WriteProfileSection(const std::filesystem::path& file, std::string_view section,
                           std::span<const std::string> lines)
{
    if (file.empty()) {
        return Error{ErrorCode::FileWrite, "could not write the user profile: no folder for it is known (the environment names no home folder)"};
    }
    std::error_code ec;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), ec);
        if (ec) {
            return Error{ErrorCode::FileWrite, "could not write " + PathText(file.parent_path()) + ": " + ec.message()};
        }
    }
    std::string old;
    if (std::filesystem::exists(file, ec)) {
        auto text = ReadProfileText(file);
        if (!text) {
            return Error{ErrorCode::FileRead, "could not read " + PathText(file)};
        }
        old = std::move(*text);
    }
    const std::string contents = ReplaceProfileSection(old, section, lines);
    if (auto failure = WriteFileWhole(file, contents)) {
        return Error{ErrorCode::FileWrite, "could not write " + PathText(file) + ": " + *failure};
    }
    return {};
}

}  // namespace quillbox
