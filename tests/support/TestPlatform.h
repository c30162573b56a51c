#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillbox::test {

// Runs a program with the arguments (UTF-8 text), each passed as it is with no shell between,
// and gives its exit status; -1 when it could not be started.
int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);

// Whether taking write permission from a folder keeps this test from making files in it. Not for
// an administrator, whom the system lets write anyway, and not on Windows, where the read-only
// mark of a folder does not stop anyone from making files in it.
bool ReadOnlyFoldersStopThisUser();

}  // namespace quillbox::test
