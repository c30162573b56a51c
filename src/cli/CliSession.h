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

// A position argument that names no item, with the text given as what was found.
inline Error NoItemAt(const std::string& given)
{
    return WithFound(Error{ErrorCode::NoSuchItem, "no item at position \"" + given + "\""}, given);
}

// What every command works with: the streams, the profile and the parsed options.
struct Session {
    // Reports one line on the error stream (a JSON object with --json) and gives the status to
    // exit with: a sentence of the tool's own is refused input unless `status` says otherwise, a
    // core error has the status of its code.
    int Fail(std::string_view message, int status = kExitRefused);
    int Fail(const Error& error);
    // The error with `hint` said after its sentence.
    int Fail(Error error, std::string_view hint);

    // Opens the ROM with the session's profile, reporting a failure.
    std::optional<OpenedRom> Open(const std::string& rom);

    std::ostream& out;
    std::ostream& err;
    std::filesystem::path profile;
    const CliOptions& options;
    // Read over `profile`: a section there wins over the same section of `profile`.
    std::filesystem::path userProfile = UserProfilePath();
    // The status of the failure reported, once one was.
    std::optional<int> failure = std::nullopt;

private:
    int Report(const Error* error, std::string_view message, int status);
};

// One line of JSON for scripts: the error's code, number, sentence, field, offset in the record,
// what was found and whether the file is as it was; null where the error says nothing of it (a
// sentence of the tool's own has no code).
std::string ErrorJson(const Error* error, std::string_view message);

using Arguments = std::vector<std::string>;

// A position as written on the command line: a whole decimal number naming an item of the ROM.
std::optional<int> ParsePosition(std::string_view text, const OpenedRom& rom);

// Writes the text to the file, replacing it only once it is written whole; on failure, the error
// that says so.
std::optional<Error> WriteWholeFile(const std::filesystem::path& path, std::string_view text);

// The commands; each takes the arguments after its name.
int Info(Session& session, const Arguments& args);
int List(Session& session, const Arguments& args, bool moves);
int Show(Session& session, const Arguments& args);
int Export(Session& session, const Arguments& args);
int Icon(Session& session, const Arguments& args);
int Set(Session& session, const Arguments& args);
int UseLikeCommand(Session& session, const Arguments& args);
int AddItem(Session& session, const Arguments& args);
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
