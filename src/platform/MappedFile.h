#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>

namespace quillbox {

// The bytes of a whole file, read-only, as the system's page cache holds them: reading a
// 32 MiB ROM this way costs neither a copy nor freshly zeroed memory. Where a system maps no
// files, or the file cannot be mapped, there is none and the caller reads the file instead.
class MappedFile {
public:
    static std::optional<MappedFile> Map(const std::filesystem::path& path, std::int64_t size);

    MappedFile(MappedFile&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
    {
    }
    MappedFile& operator=(MappedFile&& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const std::uint8_t> View() const { return {data_, size_}; }

private:
    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace quillbox
