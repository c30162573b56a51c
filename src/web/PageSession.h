#pragma once

#include "editor/FoundTablesQuestion.h"
#include "items/exchange/ItemImport.h"
#include "items/record/ItemOperations.h"
#include "items/record/RoutineGroups.h"
#include "items/opening/TableDetection.h"

#include <emscripten/val.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillbox::web {

using emscripten::val;

// Where the page keeps its files in the in-memory file system: the shipped profile and the
// read-me are built in, the user's profile may be put there, and each ROM lies in /roms with its
// history and kept tables beside it, as on the desktop.
inline const std::filesystem::path kShippedProfile = "/quillbox/ini/roms.ini";
inline const std::filesystem::path kUserProfile = "/quillbox/user/roms.ini";
inline const std::filesystem::path kReadme = "/quillbox/Readme.txt";
inline const std::filesystem::path kRomFolder = "/roms";
inline const std::filesystem::path kCompareFolder = "/compare";
inline const std::filesystem::path kPngFile = "/tmp/icon.png";

// What the page has open and shown, as the window keeps it.
struct PageSession {
    std::optional<OpenedRom> rom;
    std::optional<OpeningProposal> pendingOpening;
    std::filesystem::path romPath;
    int shownItem = -1;
    // What the shown item held when shown: a save writes the name and the description only
    // when the user changed them.
    Text shownName;
    Text shownDescription;
    DescriptionPlace descriptionPlace;
    // Which items use each routine, read when the item was shown: every change the page writes
    // shows the item again, so they hold until the next show.
    std::shared_ptr<const RoutineGroups> routines;
    bool keepHistory = true;
    std::optional<ImportPlan> importPlan;
    // The tables Find Tables showed, kept for the ROM when the user says Yes.
    std::optional<DetectedTables> detectedTables;
};
PageSession& Session();

// The profiles the page opens ROMs with: the shipped one built in, the user's where put there.
ProfileFiles Profiles();

// A file name from the page as a path in `folder`; a name can hold no folder of its own.
std::filesystem::path FileIn(const std::filesystem::path& folder, const std::string& name);

// Plain values for the page. A message box is {title, text}; a result that shows one holds it as
// `message`.
val MessageBox(std::string_view title, std::string_view text);
val Message(std::string_view title, std::string_view text);
val ErrorMessage(const Error& error);
// The window's message where no ROM is open or the ROM's game is not one it knows.
val Unsupported();
// Why a ROM did not open, as the window says it.
val OpeningRefusal(const Error& error);
val Strings(const std::vector<std::string>& texts);
val Texts(const std::vector<Text>& texts);
// The description as the text box holds it: a line break is one "\n".
std::string BoxText(TextView description);
// And back: the core takes a line break as "\r\n".
Text CoreText(const std::string& box);

}  // namespace quillbox::web
