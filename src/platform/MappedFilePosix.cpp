#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>


namespace quillbox {

std::optional<MappedFile> MappedFile::Map(const std::filesystem::path& path, std::int64_t size)
{
    if (size <= 0) return std::nullopt;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    int flags = MAP_PRIVATE;
#if defined(MAP_POPULATE)
    // Every page is read by the scan anyway; filling the mapping at once spares a fault per page.
    flags |= MAP_POPULATE;
#endif
    void* data = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, flags, descriptor, 0);
    ::close(descriptor);
    if (data == MAP_FAILED) return std::nullopt;
    return MappedFile(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size));
}

MappedFile::~MappedFile()
{
    if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

}  // namespace quillbox
