#include "platform/ProgramLocation.h"

namespace quillbox {

std::filesystem::path RunningProgramFile()
{
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self;
}

}  // namespace quillbox
