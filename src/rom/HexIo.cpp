#include "rom/HexIo.h"

#include "rom/Patch.h"

namespace quillbox {

namespace {

void Report(const ErrorReporter& report, const Error& error)
{
    if (report) report(error);
}

// An offset or count the ROM format cannot address is refused before the file is touched.
bool IsAddressable(std::int64_t offset, std::int64_t count)
{
    return offset >= 0 && offset <= kMaxOffset && count <= kMaxOffset;
}

Error BadRange(std::int64_t offset, std::int64_t count)
{
    return MakeError(ErrorCode::BadOffset, "offset " + std::to_string(offset) + ", " + std::to_string(count) + " bytes");
}

}  // namespace

Result<Bytes> HexToBytes(std::string_view text)
{
    std::string even;
    if (text.size() % 2 != 0) even.push_back('0');
    even.append(text);
    if (!even.empty() && !IsHexText(even)) {
        return WithFound(MakeError(ErrorCode::BadHexText, "\"" + std::string(text) + "\""), std::string(text));
    }
    Bytes bytes;
    bytes.reserve(even.size() / 2);
    for (std::size_t i = 0; i < even.size(); i += 2) {
        bytes.push_back(static_cast<Byte>(HexToNumber(std::string_view(even).substr(i, 2))));
    }
    return bytes;
}

HexString ReadHex(const std::filesystem::path& path, std::int64_t offset, std::int64_t count, const ErrorReporter& report)
{
    if (!IsAddressable(offset, count)) {
        Report(report, BadRange(offset, count));
        return {};
    }
    auto file = RomFile::Open(path);
    if (!file) {
        Report(report, file.error());
        return {};
    }
    if (count <= 0) {
        return {};
    }
    auto bytes = file->ReadAt(offset, count);
    if (!bytes) {
        Report(report, bytes.error());
        return {};
    }
    return BytesToHex(*bytes);
}

bool WriteHex(const std::filesystem::path& path, std::int64_t offset, std::string_view text, const ErrorReporter& report)
{
    auto bytes = HexToBytes(text);
    if (!bytes) {
        Report(report, bytes.error());
        return false;
    }
    if (!IsAddressable(offset, static_cast<std::int64_t>(bytes->size()))) {
        Report(report, BadRange(offset, static_cast<std::int64_t>(bytes->size())));
        return false;
    }
    auto file = RomFile::Open(path);
    if (!file) {
        Report(report, file.error());
        return false;
    }
    const Patch patch{offset, std::move(*bytes)};
    const Status status = ApplyPatches(*file, std::span(&patch, 1), ChangeLabel{"Write"}, KeepHistory::Yes);
    if (!status) {
        Report(report, status.error());
        return false;
    }
    return true;
}

}  // namespace quillbox
