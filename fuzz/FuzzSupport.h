#pragma once

#include "base/HexText.h"
#include "sample/SampleRom.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace quillbox::fuzz {

// A broken property ends the run the way a sanitizer finding does, so that libFuzzer keeps the
// input as a crash artifact.
[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "\n%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

#define QUILLBOX_FUZZ_CHECK(condition)                                                                   \
    do {                                                                                                 \
        if (!(condition)) ::quillbox::fuzz::Fail(#condition, __FILE__, __LINE__);                       \
    } while (false)

// Takes the fuzzer's bytes front to back; whatever is missing reads as 0.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    std::uint8_t Byte()
    {
        if (bytes_.empty()) return 0;
        const std::uint8_t value = bytes_.front();
        bytes_ = bytes_.subspan(1);
        return value;
    }
    std::uint16_t Le16()
    {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    std::uint32_t Le32()
    {
        const std::uint32_t low = Le16();
        return low | (static_cast<std::uint32_t>(Le16()) << 16);
    }
    // Up to `count` bytes; fewer when the input runs out.
    std::span<const std::uint8_t> Take(std::size_t count)
    {
        const std::size_t taken = count < bytes_.size() ? count : bytes_.size();
        const auto part = bytes_.first(taken);
        bytes_ = bytes_.subspan(taken);
        return part;
    }
    std::string_view TakeText(std::size_t count)
    {
        const auto part = Take(count);
        return {reinterpret_cast<const char*>(part.data()), part.size()};
    }
    // Everything not read yet; it ends where the fuzzer's buffer ends, so a read past it is a
    // heap overflow that AddressSanitizer reports.
    std::span<const std::uint8_t> Rest() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

// One folder per fuzzing process, under TMPDIR, whose files each run overwrites; it goes when the
// process ends normally.
class ScratchFolder {
public:
    ScratchFolder()
    {
        path_ = std::filesystem::temp_directory_path() / ("quillbox-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline ScratchFolder& Scratch()
{
    static ScratchFolder folder;
    return folder;
}

inline void WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

inline void WriteWholeFile(const std::filesystem::path& path, std::string_view text)
{
    WriteWholeFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// The profile section that names a sample ROM's tables, for opening it as a user would.
inline std::string SampleProfileSection(std::string_view code, const SampleTables& tables)
{
    auto hex = [](std::int32_t offset) { return "&H" + NumberToHex(static_cast<std::uint32_t>(offset)); };
    std::string text = "[" + std::string(code) + "]\nItemData=" + hex(tables.itemData) + "\nAttackNames=" +
                       hex(tables.attackNames) + "\nTMData=" + hex(tables.tmData) + "\n";
    if (tables.imgData != 0) text += "IMGData=" + hex(tables.imgData) + "\n";
    return text;
}

}  // namespace quillbox::fuzz
