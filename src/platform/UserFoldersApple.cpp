#include "platform/UserFolders.h"

#include <cstdlib>

namespace quillbox {

std::filesystem::path UserConfigFolder()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return {};
    return std::filesystem::path(home) / "Library" / "Application Support";
}

}  // namespace quillbox
