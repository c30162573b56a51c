#include "platform/UserFolders.h"

#include <cstdlib>

namespace quillbox {

// The wide environment keeps a user name outside the ANSI code page intact.
std::filesystem::path UserConfigFolder()
{
    const wchar_t* appData = _wgetenv(L"APPDATA");
    return appData != nullptr && *appData != L'\0' ? std::filesystem::path(appData) : std::filesystem::path();
}

}  // namespace quillbox
