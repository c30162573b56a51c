#pragma once

#include <filesystem>
#include <system_error>

namespace quillbox {

// Puts `replacement` in the place of `target` in one step, replacing `target` if it exists, so
// that a reader sees either the old file or the new one. On failure both stay as they were.
std::error_code PutFileInPlace(const std::filesystem::path& replacement, const std::filesystem::path& target);

}  // namespace quillbox
