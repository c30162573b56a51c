#pragma once

// The session's own parts, shared by the files it is split into; no front end includes this.
#include "editor/EditorSession.h"

#include "editor/FoundTablesQuestion.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

namespace session_parts {

inline std::int64_t OffsetOf(std::string_view hexText) { return static_cast<std::int64_t>(HexToNumber(hexText)); }

inline SessionStep WithMessage(SessionMessage message)
{
    SessionStep step;
    step.message = std::move(message);
    return step;
}

inline SessionStep WithError(const Error& error) { return WithMessage(ErrorMessageOf(error)); }

inline SessionMessage ProgramMessage(std::string_view text)
{
    return SessionMessage{std::string(kProgramTitle), std::string(text)};
}

}  // namespace session_parts

struct EditorSession::Data {
    // The state while no ROM is open: only the path last tried.
    RomState closed;
    std::optional<OpenedRom> rom;
    std::optional<OpeningProposal> pendingOpening;
    std::filesystem::path pendingPath;
    ProfileFiles pendingProfiles;
    std::vector<Text> itemNames;
    bool keepHistory = true;
    // The profiles the ROM was opened with, to open it again when its tables move.
    ProfileFiles profiles;

    // The shown item as read, and what it held when shown: a save writes the name and the
    // description only when the user changed them.
    int shown = -1;
    ItemView shownView;
    Text shownName;
    Text shownDescription;
    DescriptionPlace place;
    std::shared_ptr<const RoutineGroups> routines;
    ItemEffect shownEffect;

    // A save waiting for answers: the same edit goes to every step.
    std::optional<ItemEdit> pendingEdit;
    int pendingPosition = -1;
    SaveAnswers answers;
    SaveQuestion::Topic asked = SaveQuestion::Topic::UnknownCharacters;

    std::optional<ImportPlan> importPlan;
    // Where the found tables are kept, as the opening said it; Find Tables' tables until answered.
    std::string whereKept;
    std::optional<DetectedTables> foundTables;

    RomState& State() { return rom ? rom->state : closed; }

    void ForgetShown()
    {
        shown = -1;
        shownView = {};
        shownName.clear();
        shownDescription.clear();
        place = {};
        routines.reset();
        shownEffect = {};
        pendingEdit.reset();
        importPlan.reset();
    }
};

}  // namespace quillbox
