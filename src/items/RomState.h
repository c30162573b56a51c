#pragma once

#include "rom/GameFamily.h"
#include "text/GameText.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillbox {

// The open ROM: where it is, which game it holds and where that game keeps its tables.
struct RomState {
    std::filesystem::path romPath;
    std::string headerCode;
    std::string gameCode;
    std::int32_t itemTableOffset = 0;
    std::int32_t moveNamesOffset = 0;
    std::int32_t tmMovesOffset = 0;
    std::int32_t imageTableOffset = 0;
    // The file's size when it was opened; a file that no longer has it was shortened or replaced
    // behind our back, and nothing is read from or written to it. 0 skips the check.
    std::int64_t romSize = 0;
    // Where new data may be placed from, as the profile key FreeSpaceStart says; -1 without it.
    std::int64_t freeSpaceStart = -1;
    // Whether writes are recorded in the history beside the ROM (the user may turn it off).
    bool keepHistory = true;
    // Selection state, kept by the window.
    std::int16_t itemIndex = 0;
    std::int32_t descriptionOffset = 0;
    std::int16_t savedListIndex = 0;
    std::int16_t lastItemIndex = 0;

    const GameFamily* Family() const { return FindGameFamily(gameCode); }
};

// What opening a ROM yields: its state and the two lists, decoded as the window lists them.
struct OpenedRom {
    RomState state;
    const GameFamily* family = nullptr;
    std::vector<Text> itemNames;  // every "\x" removed, nothing trimmed
    std::vector<Text> moveNames;  // position k names move k + 1
};

}  // namespace quillbox
