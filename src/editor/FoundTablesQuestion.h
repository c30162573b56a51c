#pragma once

#include "items/opening/RomOpening.h"
#include "items/opening/TableDetection.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillbox {

// Opening a ROM with the profiles; where no section serves it, its offsets fail the check, or its
// game reads the item table somewhere else, the tables the ROM itself names are proposed with a
// question for the user. Nothing is proposed when the ROM holds no usable tables of its own.
struct OpeningProposal {
    Result<OpenedRom> opened;              // what the profiles give: the ROM, or the refusal
    std::optional<DetectedTables> found;  // set exactly when there is a question
    std::string question;
};
// `whereKept` says where a Yes keeps the found tables, for the question's last sentence.
OpeningProposal ProposeOpening(const std::filesystem::path& rom, const ProfileFiles& profiles,
                               std::string_view whereKept);

// The answer Yes: opens with the found tables and keeps them beside the ROM, for it alone. A ROM
// that opens but whose tables could not be kept says so in its warnings.
Result<OpenedRom> OpenWithFoundTables(const std::filesystem::path& rom, const ProfileFiles& profiles,
                                      const DetectedTables& found);

}  // namespace quillbox
