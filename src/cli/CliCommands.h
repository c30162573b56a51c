#pragma once

#include <QStringList>
#include <QTextStream>

#include <filesystem>

namespace quillbox {

enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

// Runs one command line (without the program name). Results go to `out`; a failure is one line
// on `err`. The default profile is `ini/roms.ini` in `programFolder`.
int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err, const std::filesystem::path& programFolder);

}  // namespace quillbox
