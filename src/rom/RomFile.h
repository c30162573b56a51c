#pragma once

#include "base/Bytes.h"
#include "base/Error.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>
#include <vector>

namespace quillbox {

// One open handle on a ROM file: binary, read and write, never truncating. Several handles on
// the same file may be open at once. The file closes when the handle goes out of scope.
//
// Offsets are 64-bit here so that a caller's arithmetic cannot wrap before it is checked;
// anything negative or beyond 32 bits is refused without touching the file.
class RomFile {
public:
    static Result<RomFile> Open(const std::filesystem::path& path);

    RomFile(RomFile&&) noexcept = default;
    RomFile& operator=(RomFile&&) noexcept = default;
    ~RomFile() = default;

    // Exactly `count` bytes at `offset`; fails when any of them lies past the end of the file.
    Result<Bytes> ReadAt(std::int64_t offset, std::int64_t count);
    // `count` bytes at `offset`, those past the end of the file read as zero.
    Result<Bytes> ReadAtZeroFilled(std::int64_t offset, std::int64_t count);
    void Close();

    bool IsOpen() const { return stream_.is_open(); }
    // A file without write permission is opened for reading only, also for a user whom the
    // system would let write anyway: a read-only mark is the owner's wish to keep the ROM as is.
    bool IsReadOnly() const { return readOnly_; }
    // Why a read-only handle is so, after the file's name: its mark, or another program that holds
    // the file open and lets it be read but not written.
    std::string_view ReadOnlyReason() const;
    std::int64_t Size() const { return size_; }
    const std::filesystem::path& Path() const { return path_; }

private:
    // Only the write door (ApplyPatches in rom/Patch.h) writes, so that no change escapes the
    // history; the handle's own tests reach the raw writes through RomFileTestAccess.
    friend class RomWriteDoor;
    friend struct RomFileTestAccess;

    // Writes the bytes at `offset`. A write that would reach past the end of the file is
    // refused whole, before any byte is written; the file never grows.
    Status WriteAt(std::int64_t offset, std::span<const Byte> bytes);
    // Pushes everything written so far to the operating system.
    Status Flush();

    RomFile(std::filesystem::path path, std::fstream stream, std::int64_t size, bool readOnly, bool held);
    Status CheckRange(std::int64_t offset, std::int64_t count) const;

    std::filesystem::path path_;
    std::fstream stream_;
    std::int64_t size_ = 0;
    bool readOnly_ = false;
    bool held_ = false;
};

// The largest offset the ROM format can address; offsets are signed 32-bit numbers.
inline constexpr std::int64_t kMaxOffset = 0x7FFFFFFF;

// A seam for tests: while installed, each write asks it first, and a `false` fails that write
// as a disk error would. Production code never installs one.
class WriteFaultInjector {
public:
    virtual ~WriteFaultInjector() = default;
    virtual bool AllowWrite(const std::filesystem::path& path, std::int64_t offset, std::size_t count) = 0;
};
void InstallWriteFaultInjector(WriteFaultInjector* injector);

}  // namespace quillbox
