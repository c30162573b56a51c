#pragma once

#include <filesystem>

namespace quillbox {

// Where the shipped files lie for a program in `programFolder`. Beside the program first
// (`ini/roms.ini`, `Readme.txt`), as in the build tree and an unpacked archive; else where an
// installation under a prefix puts them, the program being in `<prefix>/bin`:
// `<prefix>/share/quillbox/roms.ini` and `<prefix>/share/doc/quillbox/Readme.txt`.
// When neither exists, the place beside the program, so that a message names it.
std::filesystem::path ShippedProfilePath(const std::filesystem::path& programFolder);
std::filesystem::path ReadmePath(const std::filesystem::path& programFolder);

// The same places relative to an installation prefix, for the install rules to agree with.
inline constexpr const char* kInstalledProfile = "share/quillbox/roms.ini";
inline constexpr const char* kInstalledReadme = "share/doc/quillbox/Readme.txt";

}  // namespace quillbox
