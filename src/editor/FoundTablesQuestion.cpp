#include "editor/FoundTablesQuestion.h"

#include "base/HexText.h"

namespace quillbox {

namespace {

// Errors about the file itself say nothing about its tables; every other refusal may be mended
// by tables found in the ROM.
bool MayBeMendedByFoundTables(const Result<OpenedRom>& opened)
{
    if (opened) return opened->gameItemTable >= 0;
    const ErrorCode code = opened.error().code;
    return code != ErrorCode::FileNotOpened && code != ErrorCode::FileRead;
}

std::string Reason(const Result<OpenedRom>& opened)
{
    if (opened) {
        return "The game reads its item table at " + NumberToHex(static_cast<std::uint64_t>(opened->gameItemTable)) +
               ", not where the profile says (" +
               NumberToHex(static_cast<std::uint32_t>(opened->state.itemTableOffset)) +
               "): edits there would not change the game.";
    }
    return opened.error().message + ".";
}

}  // namespace

OpeningProposal ProposeOpening(const std::filesystem::path& rom, const ProfileFiles& profiles, std::string_view whereKept)
{
    OpeningProposal proposal{OpenRom(rom, OpenOptions{profiles, std::nullopt}), std::nullopt, {}};
    if (!MayBeMendedByFoundTables(proposal.opened)) return proposal;
    auto detected = DetectTables(rom);
    if (!detected) return proposal;
    if (Status usable = CheckDetectedTables(*detected); !usable) {
        // Places with equal evidence are worth telling about where nothing could be opened.
        if (!proposal.opened && usable.error().code == ErrorCode::TablesDisagree) {
            proposal.opened = MakeError(ErrorCode::TablesDisagree,
                                        DetailOf(proposal.opened.error()) + "; in the ROM, " + DetailOf(usable.error()));
        }
        return proposal;
    }
    proposal.question = Reason(proposal.opened) + "\n\nThe ROM itself names these tables:\n" +
                        DescribeDetectedTables(*detected) + "\nUse the found tables? They are kept for this ROM alone, in " +
                        std::string(whereKept) + ".";
    proposal.found = std::move(*detected);
    return proposal;
}

Result<OpenedRom> OpenWithFoundTables(const std::filesystem::path& rom, const ProfileFiles& profiles,
                                      const DetectedTables& found)
{
    auto opened = OpenRom(rom, OpenOptions{profiles, found.Tables()});
    if (!opened) return opened;
    if (Status kept = KeepFoundTables(rom, found); !kept) {
        opened->warnings.push_back("the found tables are used but could not be kept beside the ROM: " + kept.error().message);
    }
    return opened;
}

}  // namespace quillbox
