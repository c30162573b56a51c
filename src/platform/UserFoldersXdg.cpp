#include "platform/UserFolders.h"

#include <cstdlib>

namespace quillbox {

namespace {

std::filesystem::path FromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::filesystem::path(value) : std::filesystem::path();
}

}  // namespace

std::filesystem::path UserConfigFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules ask.
    if (auto config = FromEnvironment("XDG_CONFIG_HOME"); config.is_absolute()) return config;
    const auto home = FromEnvironment("HOME");
    return home.empty() ? home : home / ".config";
}

}  // namespace quillbox
