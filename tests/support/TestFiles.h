#pragma once

#include "base/Error.h"
#include "rom/RomFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// The raw writes of a handle, for the handle's own tests; everything else writes through the door.
struct RomFileTestAccess {
    static Status WriteAt(RomFile& file, std::int64_t offset, std::span<const Byte> bytes) { return file.WriteAt(offset, bytes); }
    static Status Flush(RomFile& file) { return file.Flush(); }
};

}  // namespace quillbox

namespace quillbox::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::filesystem::path WriteFile(const std::filesystem::path& path, const Bytes& bytes);
std::filesystem::path WriteTextFile(const std::filesystem::path& path, std::string_view text);
Bytes ReadFile(const std::filesystem::path& path);

// Opens a ROM file for a test that is not about opening; a failure throws, which ends the test.
RomFile OpenOrThrow(const std::filesystem::path& path);

// The profile shipped beside the test programs.
std::filesystem::path ShippedProfile();

// Writes a sample ROM of the header code into `dir` and returns its path.
std::filesystem::path WriteSample(const TempDir& dir, std::string_view headerCode, std::string_view name = "sample.gba");

// Fails every write while installed.
class FailingWrites : public WriteFaultInjector {
public:
    explicit FailingWrites(int allowedWrites = 0);
    ~FailingWrites() override;
    bool AllowWrite(const std::filesystem::path& path, std::int64_t offset, std::size_t count) override;
    int attempts = 0;

private:
    int allowed_;
};

// Fails only the write numbered `failingWrite` (counting from 0) while installed, as a disk
// error that passes would; every other write goes through.
class FailingWriteOnce : public WriteFaultInjector {
public:
    explicit FailingWriteOnce(int failingWrite);
    ~FailingWriteOnce() override;
    bool AllowWrite(const std::filesystem::path& path, std::int64_t offset, std::size_t count) override;
    int attempts = 0;

private:
    int failing_;
};

// Whether this system lets a test make a symbolic link: Windows asks for a privilege that most
// accounts lack.
bool SymbolicLinksCanBeMade();

// The offsets at which two byte strings of equal length differ.
std::vector<std::size_t> DifferingOffsets(const Bytes& before, const Bytes& after);

}  // namespace quillbox::test
