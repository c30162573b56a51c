#include "platform/ProgramLocation.h"

#include <cstdint>

#include <mach-o/dyld.h>

namespace quillbox {

std::filesystem::path RunningProgramFile()
{
    char buffer[4096];
    std::uint32_t size = sizeof(buffer);
    if (_NSGetExecutablePath(buffer, &size) != 0) return {};
    std::error_code ec;
    auto file = std::filesystem::weakly_canonical(buffer, ec);
    return ec ? std::filesystem::path() : file;
}

}  // namespace quillbox
