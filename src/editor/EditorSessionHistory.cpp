// The session's history and its changes to every item at once.
#include "editor/EditorSessionData.h"

#include "items/addition/ItemAddition.h"

#include "items/exchange/RomDiff.h"
#include "items/record/ItemTable.h"
#include "rom/History.h"

namespace quillbox {

using namespace session_parts;

// --- History ------------------------------------------------------------------------------------

HistoryNames EditorSession::History() const
{
    HistoryNames names;
    if (!data_->rom) return names;
    auto log = ReadHistory(data_->rom->state.romPath);
    if (!log) return names;
    const HistoryStacks stacks = StacksOf(*log);
    if (!stacks.undo.empty()) names.undo = DescribeChange(stacks.undo.back()->label);
    if (!stacks.redo.empty()) names.redo = DescribeChange(stacks.redo.back()->label);
    return names;
}

SessionStep EditorSession::Undo() { return StepHistory(true); }
SessionStep EditorSession::Redo() { return StepHistory(false); }

SessionStep EditorSession::StepHistory(bool undo)
{
    if (!data_->rom) return {};
    const std::filesystem::path& rom = data_->rom->state.romPath;
    auto stepped = undo ? UndoChange(rom) : RedoChange(rom);
    if (!stepped) return WithError(stepped.error());
    // An addition may have grown the tables: the count and their places are read anew.
    if (IsAdditionChange(stepped->label)) return ReopenAndShow(stepped->label.position);
    return ShowWritten(stepped->label.position, std::nullopt);
}

void EditorSession::SetKeepHistory(bool keep)
{
    data_->keepHistory = keep;
    if (data_->rom) data_->rom->state.keepHistory = keep;
}

bool EditorSession::KeepHistory() const { return data_->keepHistory; }

// --- Every item at once -------------------------------------------------------------------------

SessionStep EditorSession::ExportItems(ExportFormat format) const
{
    if (!data_->rom) return WithMessage(UnsupportedRomMessage());
    auto items = ReadItemTable(data_->rom->state);
    if (!items) return WithError(items.error());
    SessionStep step;
    step.text = quillbox::ExportItems(*data_->rom, *items, format);
    return step;
}

SessionStep EditorSession::PlanImport(std::string_view file, ExportFormat format, bool replaceUnknownCharacters)
{
    data_->importPlan.reset();
    if (!data_->rom) return WithMessage(UnsupportedRomMessage());
    auto plan = quillbox::PlanImport(*data_->rom, file, format, replaceUnknownCharacters);
    if (!plan) {
        SessionStep step = WithError(plan.error());
        step.unknownCharacters = plan.error().code == ErrorCode::UnknownCharacters;
        return step;
    }
    SessionStep step;
    step.text = FormatChanges(plan->changes);
    step.changes = static_cast<int>(plan->changes.size());
    step.summary = plan->changes.empty() ? std::string("Nothing to change") : CountChanges(*plan);
    data_->importPlan = std::move(*plan);
    return step;
}

SessionStep EditorSession::ApplyImport()
{
    if (!data_->rom || !data_->importPlan) return {};
    const ImportPlan plan = std::move(*data_->importPlan);
    data_->importPlan.reset();
    if (Status written = quillbox::ApplyImport(*data_->rom, plan); !written) return WithError(written.error());
    return ShowWritten(data_->shown, std::nullopt);
}

bool EditorSession::HasPendingImport() const { return data_->importPlan.has_value(); }


SessionStep EditorSession::DiffWith(const std::filesystem::path& other, const ProfileFiles& profiles) const
{
    if (!data_->rom) return WithMessage(UnsupportedRomMessage());
    auto second = OpenRom(other, OpenOptions{profiles, std::nullopt});
    if (!second) {
        return WithMessage(second.error().code == ErrorCode::UnsupportedRom ? UnsupportedRomMessage()
                                                                             : ErrorMessageOf(second.error()));
    }
    auto changes = DiffItems(*data_->rom, *second);
    if (!changes) return WithError(changes.error());
    SessionStep step;
    step.text = FormatChanges(*changes);
    step.changes = static_cast<int>(changes->size());
    return step;
}

}  // namespace quillbox
