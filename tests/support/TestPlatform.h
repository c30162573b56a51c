#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::test {

// Runs a program with the arguments (UTF-8 text), each passed as it is with no shell between,
// and gives its exit status; -1 when it could not be started.
int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);

// Whether taking write permission from a folder keeps this test from making files in it. Not for
// an administrator, whom the system lets write anyway, and not on Windows, where the read-only
// mark of a folder does not stop anyone from making files in it.
bool ReadOnlyFoldersStopThisUser();

// Sets an environment variable while it lives (an empty value removes it), then puts back what
// was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// How this system's spreadsheets and editors expect a record of a CSV file to end.
std::string_view SpreadsheetRecordEnd();

// Points the folder the system keeps a user's settings in (%APPDATA% on Windows,
// $XDG_CONFIG_HOME elsewhere) at `folder` while it lives, then puts back what was there.
class ScopedUserSettingsFolder {
public:
    explicit ScopedUserSettingsFolder(const std::filesystem::path& folder);
    ~ScopedUserSettingsFolder();
    ScopedUserSettingsFolder(const ScopedUserSettingsFolder&) = delete;
    ScopedUserSettingsFolder& operator=(const ScopedUserSettingsFolder&) = delete;

private:
    std::optional<std::filesystem::path> saved_;
};

}  // namespace quillbox::test
