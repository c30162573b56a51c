#pragma once

#include "base/Error.h"
#include "rom/Patch.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

// The history of a ROM is a journal beside it, NAME.gba.quillbox-history, one entry a line,
// oldest first. Each line ends in a checksum of itself: a line cut short or edited by hand is
// skipped when the journal is read and never applied.

enum class HistoryKind { Change, Undo, Redo };

// One run of bytes a write changed.
struct HistoryWrite {
    std::int64_t offset = 0;
    Bytes before;
    Bytes after;
};

struct HistoryEntry {
    std::int64_t id = 0;
    std::string time;  // UTC, as 2026-12-08T13:20:05Z
    HistoryKind kind = HistoryKind::Change;
    std::int64_t target = 0;  // for an undo or redo: the id of the change it takes back or brings back
    ChangeLabel label;        // for an undo or redo: the label of that change
    // The ROM as the write left it: its size and its header bytes A0 to BF, so that a history is
    // never applied to another file that happens to have the same size.
    std::int64_t romSize = 0;
    Bytes romHeader;
    std::vector<HistoryWrite> writes;  // disjoint, in file order, only bytes that changed
};

struct HistoryLog {
    std::vector<HistoryEntry> entries;  // the readable entries, oldest first
    int skippedLines = 0;               // broken, edited or meaningless lines
};

std::filesystem::path HistoryPathOf(const std::filesystem::path& rom);

// Reads the history of a ROM; a ROM without one has an empty history.
Result<HistoryLog> ReadHistory(const std::filesystem::path& rom);

// The changes an undo would take back and a redo would bring back, the next one last.
struct HistoryStacks {
    std::vector<const HistoryEntry*> undo;
    std::vector<const HistoryEntry*> redo;
};
HistoryStacks StacksOf(const HistoryLog& log);

// "Save of POTION", "Save of item 13", "Save".
std::string DescribeChange(const ChangeLabel& label);

// Takes back the newest change still in effect: writes its "before" bytes, journaled as an undo
// that a redo can take back in turn. Refuses, writing nothing, when there is nothing to undo
// (NothingToUndo), when the file is not the one the history was written for or any of the bytes
// no longer hold what the change wrote (UndoConflict, naming the offsets), or when the ROM is
// read-only. Returns the change taken back.
Result<HistoryEntry> UndoChange(const std::filesystem::path& rom);
// Brings back the change the newest undo took back, on the same terms.
Result<HistoryEntry> RedoChange(const std::filesystem::path& rom);

// The write door as undo and redo use it; everything else calls ApplyPatches.
Status ApplyPatchesAs(RomFile& file, std::span<const Patch> patches, HistoryKind kind, std::int64_t target,
                      const ChangeLabel& label, KeepHistory history);

// Where a journaled entry was added, so that a write that is put back can take it back too.
struct HistoryMark {
    std::filesystem::path path;
    std::uintmax_t previousSize = 0;
    bool created = false;
};
// Appends the entry (its id and time are filled in here) and flushes it; HistoryFailed when the
// journal cannot be written.
Result<HistoryMark> AppendHistory(const std::filesystem::path& rom, HistoryEntry& entry);
// Removes an entry just appended; false when that failed.
bool RetractHistory(const HistoryMark& mark);

}  // namespace quillbox
