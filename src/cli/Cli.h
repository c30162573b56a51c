#pragma once

#include "base/Error.h"

#include <filesystem>
#include <ostream>
#include <span>
#include <string>

namespace quillbox {

// What the tool exits with. kExitFailure is what a command gives back after it reported a failure
// through its session; the tool then exits with the status of that failure's kind instead.
enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2, kExitRefused = 3, kExitFileError = 4 };

// The kind of failure each error is: refused input (a value, a key, a file or ROM that is not
// what it must be) or a file that could not be read or written or changed behind the tool's back.
int ExitStatusOf(ErrorCode code);

// Runs one command line (without the program name). Results go to `out`; a failure is one line
// on `err`. The default profile is the one shipped with the program in `programFolder`.
int RunCli(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programFolder);

}  // namespace quillbox
