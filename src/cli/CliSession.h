#pragma once

#include "cli/Cli.h"
#include "cli/CliOptions.h"
#include "items/record/ItemOperations.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// Said after a refusal for characters the game cannot show, by every command that writes text.
inline constexpr std::string_view kReplaceUnknownHint = "; --replace-unknown writes them as spaces";

// What every command works with: the streams, the profile and the parsed options.
struct Session {
    // Reports one line on the error stream and gives the status to exit with.
    int Fail(std::string_view message, int status = kExitFailure);
    int Fail(const Error& error) { return Fail(error.message); }

    // Opens the ROM with the session's profile, reporting a failure.
    std::optional<OpenedRom> Open(const std::string& rom);

    std::ostream& out;
    std::ostream& err;
    std::filesystem::path profile;
    const CliOptions& options;
    // Read over `profile`: a section there wins over the same section of `profile`.
    std::filesystem::path userProfile = UserProfilePath();
};

using Arguments = std::vector<std::string>;

// A position as written on the command line: a whole decimal number naming an item of the ROM.
std::optional<int> ParsePosition(std::string_view text, const OpenedRom& rom);

// Writes the text to the file, replacing it only once it is written whole; on failure, the line
// that says so.
std::optional<std::string> WriteWholeFile(const std::filesystem::path& path, std::string_view text);

// The commands; each takes the arguments after its name.
int Info(Session& session, const Arguments& args);
int List(Session& session, const Arguments& args, bool moves);
int Show(Session& session, const Arguments& args);
int Export(Session& session, const Arguments& args);
int Icon(Session& session, const Arguments& args);
int Set(Session& session, const Arguments& args);
int UseLikeCommand(Session& session, const Arguments& args);
// The keys set takes, as its help lists them.
std::string SetKeyList();
int SampleRom(Session& session, const Arguments& args);
int Import(Session& session, const Arguments& args);
int Diff(Session& session, const Arguments& args);
int History(Session& session, const Arguments& args);
int Undo(Session& session, const Arguments& args, bool redo);
int Detect(Session& session, const Arguments& args);
int IconImport(Session& session, const Arguments& args);

}  // namespace quillbox
