#pragma once

#include <filesystem>

namespace quillbox {

// The folder in which the user's programs keep their settings: $XDG_CONFIG_HOME (by default
// ~/.config), %APPDATA% on Windows, ~/Library/Application Support on macOS. Empty when the
// environment names no home folder.
std::filesystem::path UserConfigFolder();

}  // namespace quillbox
