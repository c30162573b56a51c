#pragma once

#include <filesystem>

namespace quillbox {

// What a program wants of a file it could not use.
enum class FileUse { Read, Write, Replace };

// Whether another program holds the file open in a way that keeps this one from that use.
// Windows lets a program open a file without sharing it, and never replaces a file that is open;
// the other systems have no such locks, and there it is never so.
bool HeldByAnotherProgram(const std::filesystem::path& path, FileUse use);

}  // namespace quillbox
