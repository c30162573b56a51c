#pragma once

#include "editor/EditorSession.h"

#include <emscripten/val.h>

#include <filesystem>
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

// What the page holds: one editing session, as the window holds one. The ROM open, the item
// shown and what a change asks are the session's; the page keeps only its files, in the folders
// above, and its script the files the user chose.
struct PageSession {
    EditorSession editor;
};
EditorSession& Session();

// The profiles the page opens ROMs with: the shipped one built in, the user's where put there.
ProfileFiles Profiles();

// A file name from the page as a path in `folder`; a name can hold no folder of its own.
std::filesystem::path FileIn(const std::filesystem::path& folder, const std::string& name);

// Plain values for the page. A message box is {title, text}; a result that shows one holds it as
// `message`.
val MessageBox(const SessionMessage& message);
val Message(const SessionMessage& message);
// What a call of the session came to, with the item list where the ROM was opened or written.
val StepValue(const SessionStep& step);
val Strings(const std::vector<std::string>& texts);
val Texts(const std::vector<Text>& texts);
// The description as the text box holds it: a line break is one "\n".
std::string BoxText(TextView description);
// And back: the core takes a line break as "\r\n".
Text CoreText(const std::string& box);

}  // namespace quillbox::web
