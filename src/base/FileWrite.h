#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillbox {

// What is said of a file another program holds open (see platform/FileLocks.h), after its name.
inline constexpr std::string_view kHeldOpen = "is held open by another program; close it there and try again";

// Why a file could not be opened for reading, said after its name: held open, or "cannot be read".
std::string WhyUnreadable(const std::filesystem::path& path);

// Writes the bytes to `path` whole or not at all: into a file beside it first, which then takes
// its place. None when written; else why not, with `path` as it was and nothing left beside it.
// A target that another program holds open is said to be so, rather than with the system's
// word for it, which on Windows is a bare "access denied".
std::optional<std::string> WriteFileWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::optional<std::string> WriteFileWhole(const std::filesystem::path& path, std::string_view text);

}  // namespace quillbox
