#include "platform/ProgramLocation.h"

#include <string>

#include <windows.h>

namespace quillbox {

std::filesystem::path RunningProgramFile()
{
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return {};
    buffer.resize(length);
    return std::filesystem::path(buffer);
}

}  // namespace quillbox
