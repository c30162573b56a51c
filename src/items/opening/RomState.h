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
    // The byte at 0xBC: 0 for a first release, 1 or 2 for later revisions.
    int versionByte = 0;
    // Items in the open ROM's table: the family's count unless a hack enlarged the table.
    // 0 (a state not made by opening) stands for the family's count.
    int itemCount = 0;
    // The TM/HM list is known when the offsets name it and it holds the list's own moves; an
    // unknown list is neither shown nor written, so no other table is taken for it.
    bool tmMovesKnown = true;
    // The item-effect table (profile key EffectData): 163 pointers, entry k for item 13 + k. It
    // is known only when the offset names a table that holds the real table's evidence; an
    // unknown table is neither shown nor written.
    std::int32_t itemEffectsOffset = 0;
    bool itemEffectsKnown = false;
    // Entries of that table, for items 13 on: the released table's 163 unless the table grew
    // with the item table.
    int itemEffectEntries = 163;
    // An image table that failed the check at opening is shown but never written.
    bool imagesWritable = true;
    // Japanese releases use a character set the western table cannot encode back.
    bool textEditable = true;

    const GameFamily* Family() const { return FindGameFamily(gameCode); }
    int ItemCount() const
    {
        const GameFamily* family = Family();
        return itemCount > 0 ? itemCount : (family != nullptr ? family->itemCount : 0);
    }
};

// Where the offsets of an opened ROM came from.
struct TableOrigin {
    std::string section;  // the profile section, empty for found tables
    std::filesystem::path file;
    bool userProfile = false;
    bool detected = false;  // found in the ROM itself rather than read from a profile
    bool romTables = false;  // the tables kept beside the ROM for it alone
};

// What opening a ROM yields: its state and the two lists, decoded as the window lists them.
struct OpenedRom {
    RomState state;
    const GameFamily* family = nullptr;
    std::vector<Text> itemNames;  // every "\x" removed, nothing trimmed
    std::vector<Text> moveNames;  // position k names move k + 1
    TableOrigin origin;
    // Where the game reads its item table when that is not where the offsets say (a hack moved
    // it): edits at the offsets' place would not change the game. -1 otherwise.
    std::int64_t gameItemTable = -1;
    // What the check at opening found wrong but did not stop the ROM from opening, one sentence each.
    std::vector<std::string> warnings;
};

}  // namespace quillbox
