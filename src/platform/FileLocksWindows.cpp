#include "platform/FileLocks.h"

#include <windows.h>

namespace quillbox {

// Asks for the same access again while sharing everything: only a handle of another program that
// shares less can refuse it then. The file's read-only mark or a missing file give other errors.
bool HeldByAnotherProgram(const std::filesystem::path& path, FileUse use)
{
    const DWORD access = use == FileUse::Read ? GENERIC_READ : use == FileUse::Write ? GENERIC_READ | GENERIC_WRITE : DELETE;
    const HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace quillbox
