#include "rom/Patch.h"

#include <vector>

namespace quillbox {

Status CheckPatches(const RomFile& file, std::span<const Patch> patches)
{
    if (file.IsReadOnly() && !patches.empty()) {
        return MakeError(ErrorCode::FileWrite, file.Path().string() + " is read-only");
    }
    for (const Patch& patch : patches) {
        const auto count = static_cast<std::int64_t>(patch.bytes.size());
        if (patch.offset < 0 || patch.offset > kMaxOffset) {
            return MakeError(ErrorCode::BadOffset, "offset " + std::to_string(patch.offset));
        }
        if (patch.offset + count > file.Size()) {
            return MakeError(ErrorCode::PastEndOfFile, "offset " + std::to_string(patch.offset) + ", " +
                                                           std::to_string(count) + " bytes, file of " +
                                                           std::to_string(file.Size()));
        }
    }
    return {};
}

Status ApplyPatches(RomFile& file, std::span<const Patch> patches)
{
    if (auto checked = CheckPatches(file, patches); !checked) {
        return checked;
    }
    std::vector<Patch> originals;
    originals.reserve(patches.size());
    for (const Patch& patch : patches) {
        auto before = file.ReadAt(patch.offset, static_cast<std::int64_t>(patch.bytes.size()));
        if (!before) {
            return before.error();
        }
        originals.push_back({patch.offset, std::move(*before)});
    }

    std::size_t written = 0;
    Status status;
    for (; written < patches.size(); ++written) {
        status = file.WriteAt(patches[written].offset, patches[written].bytes);
        if (!status) {
            // The failed write may have landed in part, so it is put back too.
            ++written;
            break;
        }
    }
    if (status) {
        status = file.Flush();
        if (status) return {};
        written = patches.size();
    }

    // Undo in reverse, so overlapping patches end with the oldest bytes on top.
    bool restored = true;
    for (std::size_t i = written; i-- > 0;) {
        restored = file.WriteAt(originals[i].offset, originals[i].bytes) && restored;
    }
    restored = file.Flush() && restored;
    Error error = status.error();
    error.message += restored ? "; nothing was changed" : "; the file could not be put back and may be partly written";
    return error;
}

}  // namespace quillbox
