#pragma once

#include "base/Error.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace quillbox {

// Bytes to be written at one offset of the ROM file.
struct Patch {
    std::int64_t offset = 0;
    Bytes bytes;
};

// What a write does, as the history names it: "Save of POTION" is {"Save", 13, "POTION"}.
struct ChangeLabel {
    ChangeLabel() = default;
    ChangeLabel(std::string operationName, int itemPosition = -1, std::string name = {})
        : operation(std::move(operationName)), position(itemPosition), itemName(std::move(name))
    {
    }

    std::string operation;  // "Save", "Repoint Description", "Repoint Image", "Set", "Import", ...
    int position = -1;      // the item changed, -1 for none
    std::string itemName;   // UTF-8, as the item list shows it
};

// Whether a write is recorded in the history beside the ROM. Off is the user's choice only.
enum class KeepHistory : bool { No, Yes };

// Checks that every patch lies wholly inside the file before anything is written.
Status CheckPatches(const RomFile& file, std::span<const Patch> patches);

// The one place that writes to a ROM. Checks every patch, records the change in the history
// beside the ROM and flushes it (HistoryFailed, nothing written, when that fails), then writes
// every patch and flushes, or changes nothing: the bytes under each patch are read first, and if
// a write or the flush fails, what was already written is put back and the history entry is
// taken back with it. A write that changes no byte leaves the history alone.
Status ApplyPatches(RomFile& file, std::span<const Patch> patches, const ChangeLabel& label, KeepHistory history);

}  // namespace quillbox
