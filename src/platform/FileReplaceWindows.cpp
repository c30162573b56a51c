#include "platform/FileReplace.h"

#include <chrono>
#include <thread>

#include <windows.h>

namespace quillbox {

std::error_code PutFileInPlace(const std::filesystem::path& replacement, const std::filesystem::path& target)
{
    // No copy across volumes, which would not be one step, and the move is on disk when it returns.
    // A virus scanner or an indexer often holds a fresh file open for a moment: a few retries
    // ride that out.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (MoveFileExW(replacement.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20 << attempt));
    }
    return std::error_code(static_cast<int>(error), std::system_category());
}

}  // namespace quillbox
