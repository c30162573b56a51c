#include "platform/FileLocks.h"

namespace quillbox {

// Locks here are advisory: they never keep a file from being opened, written or renamed over.
bool HeldByAnotherProgram(const std::filesystem::path&, FileUse) { return false; }

}  // namespace quillbox
