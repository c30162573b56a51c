#include "cli/CliSession.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace quillbox {

int Session::Fail(std::string_view message, int status)
{
    err << "quillbox-cli: " << message << '\n';
    return status;
}

std::optional<OpenedRom> Session::Open(const std::string& rom)
{
    auto opened = OpenRom(std::filesystem::path(rom), profile);
    if (!opened) {
        Fail(opened.error());
        return std::nullopt;
    }
    return std::move(*opened);
}

std::optional<int> ParsePosition(std::string_view text, const OpenedRom& rom)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.size() > 9) return std::nullopt;
    int position = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        position = position * 10 + (c - '0');
    }
    if (position >= rom.family->itemCount) return std::nullopt;
    return position;
}

std::optional<std::string> WriteWholeFile(const std::filesystem::path& path, std::string_view text)
{
    std::filesystem::path partial = path;
    partial += ".partial";
    std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
    const int opened = stream ? 0 : errno;
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream.close();
    std::error_code renamed;
    if (stream) std::filesystem::rename(partial, path, renamed);
    if (!stream || renamed) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        const std::string reason = renamed ? renamed.message() : std::strerror(opened != 0 ? opened : EIO);
        return "could not write " + path.string() + ": " + reason;
    }
    return std::nullopt;
}

}  // namespace quillbox
