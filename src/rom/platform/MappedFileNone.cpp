#include "rom/platform/MappedFile.h"

#include <utility>

namespace quillbox {

// Reading the file whole serves here; a mapping would gain little.
std::optional<MappedFile> MappedFile::Map(const std::filesystem::path&, std::int64_t) { return std::nullopt; }

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
}

MappedFile::~MappedFile() = default;

}  // namespace quillbox
