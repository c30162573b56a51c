#include "TestPlatform.h"

#include <cstdlib>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillbox::test {

int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> texts{program.string()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, texts.front().c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool ReadOnlyFoldersStopThisUser() { return geteuid() != 0; }

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name)) saved_ = old;
    if (*value != '\0') setenv(name, value, 1);
    else unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (saved_) setenv(name_.c_str(), saved_->c_str(), 1);
    else unsetenv(name_.c_str());
}

std::string_view SpreadsheetRecordEnd() { return "\n"; }

ScopedUserSettingsFolder::ScopedUserSettingsFolder(const std::filesystem::path& folder)
{
    if (const char* value = std::getenv("XDG_CONFIG_HOME")) saved_ = value;
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}

ScopedUserSettingsFolder::~ScopedUserSettingsFolder()
{
    if (saved_) setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace quillbox::test
