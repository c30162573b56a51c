#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillbox {

// Writes the bytes to `path` whole or not at all: into a file beside it first, which then takes
// its place. None when written; else why not, with `path` as it was and nothing left beside it.
std::optional<std::string> WriteFileWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::optional<std::string> WriteFileWhole(const std::filesystem::path& path, std::string_view text);

}  // namespace quillbox
