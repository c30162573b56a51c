#pragma once

#include "items/record/ItemOperations.h"

#include <filesystem>

class QWidget;

namespace quillbox {

// Opens a ROM with the profiles; where no section serves it, its offsets fail the check, or its
// game reads the item table somewhere else, looks for the tables in the ROM itself and asks
// whether to use them. Yes opens with the found tables and keeps them beside the ROM, for it alone;
// No gives what opening with the profiles gave (the ROM, or the refusal). Nothing is asked
// when the ROM holds no usable tables of its own.
Result<OpenedRom> OpenWithTableDetection(QWidget* owner, const std::filesystem::path& rom, const ProfileFiles& profiles);

}  // namespace quillbox
