#include "platform/MappedFile.h"

namespace quillbox {

// Reading the file whole serves here; a mapping would gain little.
std::optional<MappedFile> MappedFile::Map(const std::filesystem::path&, std::int64_t) { return std::nullopt; }

MappedFile::~MappedFile() = default;

}  // namespace quillbox
