#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillbox {

// A path as UTF-8 text and back. path::string() and path(std::string) use the ANSI code page
// on Windows, which throws or loses every character outside it; UTF-8 keeps them all, and is
// what the path's bytes already are on the other systems.
std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathFromText(std::string_view utf8);

}  // namespace quillbox
