#include "platform/FileReplace.h"

namespace quillbox {

// rename() replaces the target atomically.
std::error_code PutFileInPlace(const std::filesystem::path& replacement, const std::filesystem::path& target)
{
    std::error_code ec;
    std::filesystem::rename(replacement, target, ec);
    return ec;
}

}  // namespace quillbox
