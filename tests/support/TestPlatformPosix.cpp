#include "TestPlatform.h"

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

}  // namespace quillbox::test
