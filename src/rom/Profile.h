#pragma once

#include "base/Error.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// The profile a user keeps for ROMs the shipped profile does not describe, read over the shipped
// one: $XDG_CONFIG_HOME/quillbox/roms.ini (by default ~/.config/quillbox/roms.ini), %APPDATA%
// on Windows, ~/Library/Application Support on macOS. Empty when no home folder is known.
std::filesystem::path UserProfilePath();

// The profiles consulted when a ROM is opened; an empty user path consults the shipped one only.
struct ProfileFiles {
    std::filesystem::path shipped;
    std::filesystem::path user;
};

// The tables found in one ROM are kept beside that file, NAME.gba.quillbox-tables, and serve it
// alone: a hack's moved tables never change how another ROM with the same header code opens,
// and they travel with the ROM as its history does.
std::filesystem::path RomTablesPathOf(const std::filesystem::path& rom);
// A profile file's whole text (a byte-order mark dropped); nothing when it cannot be read.
std::optional<std::string> ReadProfileFileText(const std::filesystem::path& file);
// The key with which tables kept after the item table grew say the count it grew from: once that
// change is undone they no longer fit, which is then no fault to warn of.
inline constexpr std::string_view kGrownFromKey = "ItemCountGrownFrom";

// A section that may describe a ROM, and where it was found.
struct ProfileSection {
    std::string name;  // e.g. "BPRE1" or "BPRE"
    std::filesystem::path file;
    bool userProfile = false;
    bool romTables = false;  // the tables kept beside the ROM for it alone
};

// The section of one revision: the header code followed by the version byte in decimal.
std::string RevisionSectionName(std::string_view headerCode, int versionByte);
// The section a user's profile keeps found tables in: the revision's own for a later revision,
// the plain header code for the first release.
std::string SectionNameToKeep(std::string_view headerCode, int versionByte);

// Whether a profile text holds a section of that name (letter case ignored).
bool ProfileHasSection(std::string_view contents, std::string_view section);

// The section serving a ROM: its revision's section before the plain header code's, and for
// each name the user profile's before the shipped one's. None when neither file names the ROM.
std::optional<ProfileSection> FindProfileSection(const ProfileFiles& files, std::string_view headerCode,
                                                 int versionByte);
// Every section that may serve a ROM, the one to try first first: the tables kept beside the
// ROM (`romTables`, empty for none), then the order of FindProfileSection.
std::vector<ProfileSection> FindProfileSections(const ProfileFiles& files, const std::filesystem::path& romTables,
                                                std::string_view headerCode, int versionByte);

// A file that exists but gave no section for the ROM, and what is wrong in it, for the user.
struct PassedOverFile {
    enum class Why { Unreadable, NotAProfile, NoSection };
    std::filesystem::path file;
    bool romTables = false;
    bool userProfile = false;
    Why why = Why::NoSection;
    std::string problem;  // "cannot be read (…)", "is not a profile (…)", "has no section [BPRE1] or [BPRE]"
};
// The same, also telling which of the files that exist were passed over. A missing file is no
// fault: most ROMs have no kept tables, most users no profile of their own.
std::vector<ProfileSection> FindProfileSections(const ProfileFiles& files, const std::filesystem::path& romTables,
                                                std::string_view headerCode, int versionByte,
                                                std::vector<PassedOverFile>& passedOver);

// The table keys of a section, as numbers; a missing key is 0.
struct ProfileTables {
    std::int64_t itemData = 0;
    std::int64_t attackNames = 0;
    std::int64_t tmData = 0;
    std::int64_t imgData = 0;
    std::optional<std::int64_t> itemCount;  // none: the family's count
    // Tables found in a ROM whose TM/HM list could not be told from its look-alikes: its moves
    // are neither shown nor written. Only kept ROM tables say so, by leaving TMData out.
    bool tmListUnknown = false;
    // The item-effect table (EffectData); 0 when the section names none, its effects then unknown.
    std::int64_t effectData = 0;
    // Its entries (EffectEntries), one per item from 13 on; none: the released table's 163.
    std::optional<std::int64_t> effectEntries = std::nullopt;
};
ProfileTables ReadProfileTables(const ProfileSection& section);

// The profile text with `section` holding exactly `lines` ("Key=Value" each): the first section
// of that name is replaced in place, or the section is appended; everything else stays.
std::string ReplaceProfileSection(std::string_view contents, std::string_view section,
                                  std::span<const std::string> lines);
// The same on a file, written whole to a temporary file beside it and renamed over it, so the
// profile is either the old or the new one; the folder is made when missing.
Status WriteProfileSection(const std::filesystem::path& file, std::string_view section,
                           std::span<const std::string> lines);

}  // namespace quillbox
