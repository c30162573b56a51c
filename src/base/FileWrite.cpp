#include "base/FileWrite.h"

#include "platform/FileLocks.h"
#include "platform/FileReplace.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace quillbox {

std::optional<std::string> WriteFileWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::filesystem::path partial = path;
    partial += ".partial";
    std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
    const int opened = stream ? 0 : errno;
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    std::error_code replaced;
    if (stream) replaced = PutFileInPlace(partial, path);
    if (!stream || replaced) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        if (replaced && HeldByAnotherProgram(path, FileUse::Replace)) return "it " + std::string(kHeldOpen);
        return replaced ? replaced.message() : std::string(std::strerror(opened != 0 ? opened : EIO));
    }
    return std::nullopt;
}

std::string WhyUnreadable(const std::filesystem::path& path)
{
    return HeldByAnotherProgram(path, FileUse::Read) ? std::string(kHeldOpen) : std::string("cannot be read");
}

std::optional<std::string> WriteFileWhole(const std::filesystem::path& path, std::string_view text)
{
    return WriteFileWhole(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace quillbox
