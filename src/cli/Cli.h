#pragma once

#include <filesystem>
#include <ostream>
#include <span>
#include <string>

namespace quillbox {

enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

// Runs one command line (without the program name). Results go to `out`; a failure is one line
// on `err`. The default profile is the one shipped with the program in `programFolder`.
int RunCli(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programFolder);

}  // namespace quillbox
