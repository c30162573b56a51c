#include "rom/Patch.h"

#include "rom/History.h"
#include "base/PathText.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace quillbox {

// The one holder of a handle's raw writes.
class RomWriteDoor {
public:
    static Status WriteAt(RomFile& file, std::int64_t offset, std::span<const Byte> bytes) { return file.WriteAt(offset, bytes); }
    static Status Flush(RomFile& file) { return file.Flush(); }
};

namespace {

constexpr std::int64_t kHeaderStart = 0xA0;
constexpr std::int64_t kHeaderEnd = 0xC0;

// Lays the patches, in order, over `bytes`, which hold the file from `start` on.
void Overlay(Bytes& bytes, std::int64_t start, std::span<const Patch> patches)
{
    const std::int64_t end = start + static_cast<std::int64_t>(bytes.size());
    for (const Patch& patch : patches) {
        const std::int64_t from = std::max(start, patch.offset);
        const std::int64_t to = std::min(end, patch.offset + static_cast<std::int64_t>(patch.bytes.size()));
        for (std::int64_t at = from; at < to; ++at) {
            bytes[static_cast<std::size_t>(at - start)] = patch.bytes[static_cast<std::size_t>(at - patch.offset)];
        }
    }
}

// The bytes the patches change, as the history keeps them: overlapping patches become one run
// with the file's bytes before and the last patch's bytes after, and unchanged bytes drop out.
Result<std::vector<HistoryWrite>> ChangedRuns(RomFile& file, std::span<const Patch> patches)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    for (const Patch& patch : patches) {
        if (!patch.bytes.empty()) ranges.emplace_back(patch.offset, patch.offset + static_cast<std::int64_t>(patch.bytes.size()));
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<std::int64_t, std::int64_t>> merged;
    for (const auto& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    std::vector<HistoryWrite> runs;
    for (const auto& [start, end] : merged) {
        auto before = file.ReadAt(start, end - start);
        if (!before) {
            return before.error();
        }
        Bytes after = *before;
        Overlay(after, start, patches);
        for (std::size_t i = 0; i < after.size();) {
            if ((*before)[i] == after[i]) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < after.size() && (*before)[j] != after[j]) ++j;
            runs.push_back({start + static_cast<std::int64_t>(i), Bytes(before->begin() + static_cast<std::ptrdiff_t>(i), before->begin() + static_cast<std::ptrdiff_t>(j)),
                            Bytes(after.begin() + static_cast<std::ptrdiff_t>(i), after.begin() + static_cast<std::ptrdiff_t>(j))});
            i = j;
        }
    }
    return runs;
}

Bytes HeaderAfter(RomFile& file, std::span<const Patch> patches)
{
    const std::int64_t end = std::min(file.Size(), kHeaderEnd);
    if (end <= kHeaderStart) return {};
    auto bytes = file.ReadAt(kHeaderStart, end - kHeaderStart);
    if (!bytes) return {};
    Overlay(*bytes, kHeaderStart, patches);
    return std::move(*bytes);
}

}  // namespace

Status CheckPatches(const RomFile& file, std::span<const Patch> patches)
{
    if (file.IsReadOnly() && !patches.empty()) {
        return MakeError(ErrorCode::FileWrite, PathText(file.Path()) + " " + std::string(file.ReadOnlyReason()));
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

Status ApplyPatches(RomFile& file, std::span<const Patch> patches, const ChangeLabel& label, KeepHistory history)
{
    return ApplyPatchesAs(file, patches, HistoryKind::Change, 0, label, history);
}

Status ApplyPatchesAs(RomFile& file, std::span<const Patch> patches, HistoryKind kind, std::int64_t target,
                      const ChangeLabel& label, KeepHistory history)
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

    // The history entry is on disk before the first byte of the ROM changes.
    std::optional<HistoryMark> mark;
    if (history == KeepHistory::Yes) {
        auto runs = ChangedRuns(file, patches);
        if (!runs) {
            return runs.error();
        }
        if (!runs->empty() || kind != HistoryKind::Change) {
            HistoryEntry entry;
            entry.kind = kind;
            entry.target = target;
            entry.label = label;
            entry.romSize = file.Size();
            entry.romHeader = HeaderAfter(file, patches);
            entry.writes = std::move(*runs);
            auto appended = AppendHistory(file.Path(), entry);
            if (!appended) {
                return appended.error();
            }
            mark = std::move(*appended);
        }
    }

    std::size_t written = 0;
    Status status;
    for (; written < patches.size(); ++written) {
        status = RomWriteDoor::WriteAt(file, patches[written].offset, patches[written].bytes);
        if (!status) {
            // The failed write may have landed in part, so it is put back too.
            ++written;
            break;
        }
    }
    if (status) {
        status = RomWriteDoor::Flush(file);
        if (status) return {};
        written = patches.size();
    }

    // Undo in reverse, so overlapping patches end with the oldest bytes on top.
    bool restored = true;
    for (std::size_t i = written; i-- > 0;) {
        restored = RomWriteDoor::WriteAt(file, originals[i].offset, originals[i].bytes) && restored;
    }
    restored = RomWriteDoor::Flush(file) && restored;
    Error error = status.error();
    error.fileUnchanged = restored;
    if (restored) {
        AddToError(error, "; nothing was changed");
        // The history keeps no change that did not happen; should taking it back fail, an undo
        // finds the bytes it names not as the change left them and refuses.
        if (mark && !RetractHistory(*mark)) {
            AddToError(error, " (the history still lists the write: " + PathText(mark->path) + ")");
        }
    } else {
        AddToError(error, "; the file could not be put back and may be partly written");
    }
    return error;
}

}  // namespace quillbox
