#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillbox {

// Reads a value of an INI-style profile file the way the original private-profile call does:
// section and key names ignore letter case, the first matching section and key win, the value
// is what follows the first "=" with blanks around it removed, cut to 511 characters. A missing
// file, section or key gives an empty text.
std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section, std::string_view key);
// The same lookup over a profile already in memory.
std::string ReadProfileValueFromText(std::string_view contents, std::string_view section, std::string_view key);

// A profile number: decimal or "&H" hexadecimal (either case), blanks ignored, stopping at the
// first foreign character, a fraction rounded half to even, nothing at all giving 0. "&H" values
// are taken as their unsigned value; anything beyond 32 bits gives 0.
std::int64_t ParseProfileNumber(std::string_view text);

// `ini/roms.ini` in the program's folder, with no doubled separator.
std::filesystem::path ProfilePathFor(const std::filesystem::path& programFolder);
// The same built as text, for a folder given as text that may already end in a separator.
std::string ProfilePathText(std::string_view programFolder, char separator);

// The folder of the running program, for finding `ini/roms.ini` and `Readme.txt` beside it.
std::filesystem::path ProgramFolder();

}  // namespace quillbox
