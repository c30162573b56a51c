#include "platform/Arguments.h"

namespace quillbox {

// The arguments arrive as the bytes the shell passed, which on these systems is UTF-8 text.
std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace quillbox
