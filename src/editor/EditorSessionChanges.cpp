// The session's changes: the save with its questions, Use like, the effect, the two Repoints
// and the icon in and out, each shown again as the file now stands.
#include "editor/EditorSessionData.h"

#include "items/record/IconTransfer.h"

#include <algorithm>

namespace quillbox {

using namespace session_parts;

namespace {

SessionQuestion SaveQuestionOf(const SaveQuestion& question)
{
    using Topic = SessionQuestion::Topic;
    SessionQuestion asked;
    switch (question.topic) {
    case SaveQuestion::Topic::UnknownCharacters:
        asked.topic = Topic::UnknownCharacters;
        asked.id = "unknownCharactersQuestion";
        break;
    case SaveQuestion::Topic::DescriptionMove:
        asked.topic = Topic::DescriptionMove;
        asked.id = "descriptionMoveQuestion";
        break;
    case SaveQuestion::Topic::SharedDescription:
        asked.topic = Topic::SharedDescription;
        asked.id = "sharedDescriptionQuestion";
        break;
    }
    asked.title = std::string(kProgramTitle);
    asked.text = question.text;
    asked.offersNo = question.offersNo;
    asked.offersCancel = question.offersCancel;
    return asked;
}

}  // namespace

// --- Changing -----------------------------------------------------------------------------------

// The file changed: the list is read again and the item at `position` shown as it now stands.
SessionStep EditorSession::ShowWritten(int position, std::optional<SessionMessage> message)
{
    SessionStep step;
    if (auto names = ListItemNames(data_->rom->state)) {
        data_->itemNames = std::move(*names);
        const int count = static_cast<int>(data_->itemNames.size());
        step = Show(position >= 0 && position < count ? position : std::max(data_->shown, 0));
        // The confirmation comes first; a drawing that failed says so in its place.
        if (message && !step.message) step.message = std::move(message);
    } else {
        step = WithError(names.error());
    }
    step.written = true;
    return step;
}

SessionStep EditorSession::Save(FormInput input)
{
    Data& data = *data_;
    if (!data.rom || data.shown < 0) return {};
    input.shownName = data.shownName;
    input.shownDescription = data.shownDescription;
    if (!data.routines) return WithMessage(UnsupportedRomMessage());
    auto edit = ColumnEditFromForm(input, *data.rom, data.shownView, *data.routines);
    if (!edit) return WithError(edit.error());
    data.pendingEdit = std::move(edit->edit);
    data.pendingPosition = data.shown;
    data.answers = {};
    return SaveStepOn();
}

SessionStep EditorSession::AnswerSave(SaveAnswer answer)
{
    if (!data_->pendingEdit || !data_->rom) return {};
    data_->answers.Record(data_->asked, answer);
    return SaveStepOn();
}

SessionStep EditorSession::SaveStepOn()
{
    Data& data = *data_;
    RomState& state = data.rom->state;
    const int position = data.pendingPosition;
    auto step = SaveItemAsking(state, position, *data.pendingEdit, data.place, data.answers);
    if (!step) {
        data.pendingEdit.reset();
        return WithError(step.error());
    }
    if (step->question) {
        data.asked = step->question->topic;
        SessionStep asking;
        asking.question = SaveQuestionOf(*step->question);
        return asking;
    }
    data.pendingEdit.reset();
    if (!step->saved) {
        SessionStep declined;
        declined.declined = true;
        return declined;
    }
    return ShowWritten(position, ProgramMessage(kItemChanged));
}

bool EditorSession::HasPendingSave() const { return data_->pendingEdit.has_value(); }

std::string EditorSession::UseLikeQuestion() const
{
    const Data& data = *data_;
    const Text name = data.shown >= 0 && static_cast<std::size_t>(data.shown) < data.itemNames.size()
                          ? data.itemNames[static_cast<std::size_t>(data.shown)]
                          : Text();
    return "Give " + ToUtf8(name) + " the routines, type and secondary id of which item?";
}

std::vector<std::string> EditorSession::UseLikeChoices() const
{
    std::vector<std::string> choices;
    choices.reserve(data_->itemNames.size());
    for (std::size_t i = 0; i < data_->itemNames.size(); ++i) {
        choices.push_back(std::to_string(i) + ' ' + ToUtf8(data_->itemNames[i]));
    }
    return choices;
}

SessionStep EditorSession::UseLike(int model)
{
    Data& data = *data_;
    if (!data.rom || data.shown < 0) return WithMessage(UnsupportedRomMessage());
    const RomState& state = data.rom->state;
    const int position = data.shown;
    auto modelItem = ReadItem(state, model);
    if (!modelItem) return WithError(modelItem.error());
    auto patches = PlanSave(state, position, quillbox::UseLike(*modelItem), {});
    if (!patches) return WithError(patches.error());
    if (Status written = ApplyToRom(state, *patches, UseLikeChange(position)); !written) return WithError(written.error());
    return ShowWritten(position, std::nullopt);
}

SessionStep EditorSession::SaveEffect(const ItemEffect& effect)
{
    Data& data = *data_;
    if (!data.rom || data.shown < 0) return WithMessage(UnsupportedRomMessage());
    const int position = data.shown;
    if (Status saved = SaveItemEffect(data.rom->state, position, effect); !saved) return WithError(saved.error());
    return ShowWritten(position, ProgramMessage(kItemChanged));
}

SessionStep EditorSession::RepointDescription(std::string_view offsetText)
{
    Data& data = *data_;
    if (!data.rom || data.shown < 0) return WithMessage(UnsupportedRomMessage());
    RomState& state = data.rom->state;
    const int position = data.shown;
    std::string notice = DescribeDescriptionTarget(state, position, OffsetOf(offsetText));
    auto repointed = quillbox::RepointDescription(state, position, offsetText);
    if (!repointed) return WithError(repointed.error());
    data.place = DescriptionPlace{repointed->offset, repointed->roomBytes};
    data.shownDescription = repointed->description;
    SessionStep step;
    step.written = true;
    step.description = quillbox::ShownDescription{repointed->description, repointed->room,
                                        CountDescriptionCharacters(repointed->description)};
    if (!repointed->readable) step.message = ProgramMessage(DescriptionWithoutRoom(offsetText));
    step.notice = std::move(notice);
    return step;
}

SessionStep EditorSession::RepointImage(std::string_view imageOffsetText, std::string_view paletteOffsetText)
{
    Data& data = *data_;
    if (!data.rom || !data.rom->family->hasImages) return WithMessage(ProgramMessage(kImagesNotExpected));
    if (data.shown < 0) return WithMessage(UnsupportedRomMessage());
    const RomState& state = data.rom->state;
    std::string notice = DescribeImageTargets(state, data.shown, OffsetOf(imageOffsetText), OffsetOf(paletteOffsetText));
    if (Status repointed = RepointItemImage(state, data.shown, imageOffsetText, paletteOffsetText); !repointed) {
        return WithError(repointed.error());
    }
    SessionStep step = Icon(imageOffsetText, paletteOffsetText);
    step.written = true;
    step.notice = std::move(notice);
    return step;
}

std::optional<SessionMessage> EditorSession::IconRefusal() const
{
    if (!data_->rom || data_->shown < 0) return UnsupportedRomMessage();
    if (!data_->rom->family->hasImages) return ErrorMessageOf(MakeError(ErrorCode::NoImages));
    return std::nullopt;
}

SessionStep EditorSession::ImportIcon(const std::filesystem::path& png)
{
    if (auto refused = IconRefusal()) return WithMessage(std::move(*refused));
    const RomState& state = data_->rom->state;
    const int position = data_->shown;
    auto plan = PlanIconImport(state, position, png);
    if (!plan) return WithError(plan.error());
    if (Status written = ApplyToRom(state, plan->patches, {"Import Icon", position}); !written) {
        return WithError(written.error());
    }
    // Only the icon is shown again: edits not yet saved in the other controls stay.
    SessionStep step;
    if (auto offsets = ReadImageOffsets(state, position)) {
        step = Icon(offsets->imageOffsetText, offsets->paletteOffsetText);
        step.imageOffsets = std::move(*offsets);
    }
    step.written = true;
    if (!step.message) step.message = ProgramMessage(IconImported(plan->imageOffset, plan->paletteOffset));
    return step;
}

SessionStep EditorSession::ExportIcon(const std::filesystem::path& png) const
{
    if (auto refused = IconRefusal()) return WithMessage(std::move(*refused));
    if (Status written = ExportItemIcon(data_->rom->state, data_->shown, png); !written) return WithError(written.error());
    return {};
}


SessionStep EditorSession::SaveEffectFields(const std::map<std::string, std::string, std::less<>>& fields)
{
    if (!data_->rom || data_->shown < 0) return WithMessage(UnsupportedRomMessage());
    auto view = ReadItemEffect(data_->rom->state, data_->shown);
    if (!view) return WithError(view.error());
    ItemEffect effect = view->effect;
    for (const auto& [key, text] : fields) {
        if (Status set = SetEffectField(effect, key, text); !set) return WithError(set.error());
    }
    return SaveEffect(effect);
}

}  // namespace quillbox
