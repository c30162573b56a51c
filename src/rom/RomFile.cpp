#include "rom/RomFile.h"

#include "base/FileWrite.h"
#include "base/PathText.h"
#include "platform/FileLocks.h"

#include <algorithm>
#include <system_error>

namespace quillbox {

namespace {

WriteFaultInjector* g_writeFaultInjector = nullptr;

std::string DescribeRange(std::int64_t offset, std::int64_t count)
{
    return "offset " + std::to_string(offset) + ", " + std::to_string(count) + " bytes";
}

}  // namespace

void InstallWriteFaultInjector(WriteFaultInjector* injector) { g_writeFaultInjector = injector; }

RomFile::RomFile(std::filesystem::path path, std::fstream stream, std::int64_t size, bool readOnly, bool held)
    : path_(std::move(path)), stream_(std::move(stream)), size_(size), readOnly_(readOnly), held_(held)
{
}

std::string_view RomFile::ReadOnlyReason() const { return held_ ? kHeldOpen : "is read-only"; }

Result<RomFile> RomFile::Open(const std::filesystem::path& path)
{
    if (path.empty()) {
        return MakeError(ErrorCode::FileNotOpened, "no file name");
    }
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::is_directory(status)) {
        return MakeError(ErrorCode::FileNotOpened, PathText(path) + " is a folder");
    }
    using std::filesystem::perms;
    const perms permissions = status.permissions();
    bool readOnly = !ec && (permissions & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
    // in|out never creates and never truncates: a missing file fails here.
    std::fstream stream;
    if (!readOnly) {
        stream.open(path, std::ios::in | std::ios::out | std::ios::binary);
    }
    bool held = false;
    if (!stream.is_open()) {
        held = !readOnly && HeldByAnotherProgram(path, FileUse::Write);
        readOnly = true;
        stream.open(path, std::ios::in | std::ios::binary);
    }
    if (!stream.is_open()) {
        held = held || HeldByAnotherProgram(path, FileUse::Read);
        return MakeError(ErrorCode::FileNotOpened, PathText(path) + (held ? " " + std::string(kHeldOpen) : ""));
    }
    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    if (end < 0) {
        return MakeError(ErrorCode::FileRead, PathText(path));
    }
    return RomFile(path, std::move(stream), static_cast<std::int64_t>(end), readOnly, held);
}

Status RomFile::CheckRange(std::int64_t offset, std::int64_t count) const
{
    if (offset < 0 || offset > kMaxOffset || count < 0 || count > kMaxOffset) {
        return MakeError(ErrorCode::BadOffset, DescribeRange(offset, count));
    }
    return {};
}

Result<Bytes> RomFile::ReadAt(std::int64_t offset, std::int64_t count)
{
    if (auto range = CheckRange(offset, count); !range) {
        return range.error();
    }
    if (offset + count > size_) {
        return MakeError(ErrorCode::PastEndOfFile, DescribeRange(offset, count) + ", file of " + std::to_string(size_));
    }
    return ReadAtZeroFilled(offset, count);
}

Result<Bytes> RomFile::ReadAtZeroFilled(std::int64_t offset, std::int64_t count)
{
    if (auto range = CheckRange(offset, count); !range) {
        return range.error();
    }
    if (!stream_.is_open()) {
        return MakeError(ErrorCode::FileRead, "the file is closed");
    }
    Bytes bytes(static_cast<std::size_t>(count), 0);
    const std::int64_t available = std::clamp<std::int64_t>(size_ - offset, 0, count);
    if (available == 0) {
        return bytes;
    }
    stream_.clear();
    stream_.seekg(offset);
    stream_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(available));
    const std::int64_t got = stream_.gcount();
    if (got != available) {
        // The file shrank under us: what is gone reads as it would past the end.
        stream_.clear();
        if (got < 0) {
            return MakeError(ErrorCode::FileRead, DescribeRange(offset, count));
        }
    }
    return bytes;
}

Status RomFile::WriteAt(std::int64_t offset, std::span<const Byte> bytes)
{
    const auto count = static_cast<std::int64_t>(bytes.size());
    if (auto range = CheckRange(offset, count); !range) {
        return range;
    }
    if (offset + count > size_) {
        return MakeError(ErrorCode::PastEndOfFile, DescribeRange(offset, count) + ", file of " + std::to_string(size_));
    }
    if (!stream_.is_open()) {
        return MakeError(ErrorCode::FileWrite, "the file is closed");
    }
    if (readOnly_) {
        return MakeError(ErrorCode::FileWrite, PathText(path_) + " " + std::string(ReadOnlyReason()));
    }
    if (bytes.empty()) {
        return {};
    }
    if (g_writeFaultInjector != nullptr && !g_writeFaultInjector->AllowWrite(path_, offset, bytes.size())) {
        return MakeError(ErrorCode::FileWrite, DescribeRange(offset, count));
    }
    stream_.clear();
    stream_.seekp(offset);
    stream_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (!stream_) {
        stream_.clear();
        return MakeError(ErrorCode::FileWrite, DescribeRange(offset, count));
    }
    return {};
}

Status RomFile::Flush()
{
    if (!stream_.is_open()) {
        return MakeError(ErrorCode::FileWrite, "the file is closed");
    }
    stream_.flush();
    if (!stream_) {
        stream_.clear();
        return MakeError(ErrorCode::FileWrite, "flush failed");
    }
    return {};
}

void RomFile::Close()
{
    if (stream_.is_open()) {
        stream_.close();
    }
}

}  // namespace quillbox
