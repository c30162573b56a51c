#pragma once

#include <string>
#include <vector>

namespace quillbox {

// The arguments a program was started with, after its own name, as UTF-8 text.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

}  // namespace quillbox
