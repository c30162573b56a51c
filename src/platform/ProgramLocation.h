#pragma once

#include <filesystem>

namespace quillbox {

// The file of the running program, absolute; empty where the system does not tell it.
std::filesystem::path RunningProgramFile();

}  // namespace quillbox
