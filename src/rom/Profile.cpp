#include "rom/Profile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

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

std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section, std::string_view key)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return {};
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxProfileSize) return {};
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return {};
    std::ostringstream contents;
    contents << stream.rdbuf();
    return ReadProfileValueFromText(contents.str(), section, key);
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
    std::error_code ec;
#if defined(_WIN32)
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > 0) return std::filesystem::path(buffer.substr(0, length)).parent_path();
#elif defined(__APPLE__)
    char buffer[4096];
    std::uint32_t size = sizeof(buffer);
    if (_NSGetExecutablePath(buffer, &size) == 0) {
        return std::filesystem::weakly_canonical(buffer, ec).parent_path();
    }
#else
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#endif
    return std::filesystem::current_path(ec);
}

}  // namespace quillbox
