// The history commands: history, undo and redo of the changes kept beside a ROM.
#include "cli/CliSession.h"
#include "base/HexText.h"
#include "rom/History.h"
#include "base/PathText.h"

#include <algorithm>

namespace quillbox {

namespace {

std::string Offsets(const HistoryEntry& entry)
{
    std::string text;
    for (const HistoryWrite& write : entry.writes) {
        text += (text.empty() ? "" : " ") + NumberToHex(static_cast<std::uint32_t>(write.offset)) + "+" +
                std::to_string(write.after.size());
    }
    return text;
}

std::string What(const HistoryEntry& entry)
{
    const std::string change = DescribeChange(entry.label);
    switch (entry.kind) {
    case HistoryKind::Undo: return "Undo " + change;
    case HistoryKind::Redo: return "Redo " + change;
    case HistoryKind::Change: break;
    }
    return change;
}

// The ROM must be there: a history without its ROM is not shown or applied.
std::optional<std::filesystem::path> RomOf(Session& session, const std::string& path)
{
    auto file = RomFile::Open(PathFromText(path));
    if (!file) {
        session.Fail(file.error());
        return std::nullopt;
    }
    return PathFromText(path);
}

}  // namespace

int History(Session& session, const Arguments& args)
{
    if (args.size() != 1) return session.Fail("history takes one ROM", kExitUsage);
    const auto rom = RomOf(session, args[0]);
    if (!rom) return kExitFailure;
    auto log = ReadHistory(*rom);
    if (!log) return session.Fail(log.error());
    const HistoryStacks stacks = StacksOf(*log);
    std::string text;
    for (auto entry = log->entries.rbegin(); entry != log->entries.rend(); ++entry) {
        const bool undone = std::find(stacks.redo.begin(), stacks.redo.end(), &*entry) != stacks.redo.end();
        text += std::to_string(entry->id) + '\t' + entry->time + '\t' + What(*entry) + (undone ? " (undone)" : "") + '\t' +
                Offsets(*entry) + '\n';
    }
    session.out << text;
    if (log->skippedLines > 0) {
        session.err << "quillbox-cli: " << log->skippedLines << " broken line" << (log->skippedLines == 1 ? " was" : "s were")
                    << " skipped in " << PathText(HistoryPathOf(*rom)) << '\n';
    }
    return kExitSuccess;
}

int Undo(Session& session, const Arguments& args, bool redo)
{
    const char* name = redo ? "redo" : "undo";
    if (args.size() != 1) return session.Fail(std::string(name) + " takes one ROM", kExitUsage);
    int steps = 1;
    if (!session.options.steps.empty()) {
        const std::string& text = session.options.steps;
        const bool digits = text.size() <= 6 && text.find_first_not_of("0123456789") == std::string::npos;
        steps = digits ? std::stoi(text) : 0;
        if (steps < 1) return session.Fail("--steps takes a whole number from 1 to 999999, not \"" + text + "\"", kExitUsage);
    }
    const auto rom = RomOf(session, args[0]);
    if (!rom) return kExitFailure;
    // Too many steps are refused before the first is taken.
    auto log = ReadHistory(*rom);
    if (!log) return session.Fail(log.error());
    const HistoryStacks stacks = StacksOf(*log);
    const std::size_t available = redo ? stacks.redo.size() : stacks.undo.size();
    if (available < static_cast<std::size_t>(steps)) {
        const std::string left = available == 0 ? "none" : "only " + std::to_string(available);
        return session.Fail(MakeError(ErrorCode::NothingToUndo, std::to_string(steps) + " asked, " + left + " left to " + name));
    }
    for (int step = 0; step < steps; ++step) {
        auto done = redo ? RedoChange(*rom) : UndoChange(*rom);
        if (!done) {
            Error error = done.error();
            if (step > 0) {
                AddToError(error, " (" + std::to_string(step) + " of " + std::to_string(steps) + " steps were taken before it)");
                // The steps taken stay taken: the file is not as it was.
                error.fileUnchanged = false;
            }
            return session.Fail(error);
        }
        session.out << (redo ? "Redone: " : "Undone: ") << DescribeChange(done->label) << '\n';
    }
    return kExitSuccess;
}

}  // namespace quillbox
