#include "editor/EditorSession.h"

#include "editor/FoundTablesQuestion.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "items/record/IconTransfer.h"
#include "items/record/ItemFields.h"
#include "items/exchange/RomDiff.h"
#include "items/record/ItemTable.h"
#include "rom/History.h"

#include <algorithm>
#include <limits>

namespace quillbox {

namespace {

std::int64_t OffsetOf(std::string_view hexText) { return static_cast<std::int64_t>(HexToNumber(hexText)); }

SessionStep WithMessage(SessionMessage message)
{
    SessionStep step;
    step.message = std::move(message);
    return step;
}

SessionStep WithError(const Error& error) { return WithMessage(ErrorMessageOf(error)); }

SessionMessage ProgramMessage(std::string_view text) { return SessionMessage{std::string(kProgramTitle), std::string(text)}; }

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

SessionMessage ErrorMessageOf(const Error& error) { return SessionMessage{ErrorTitle(error), error.message, true}; }

SessionMessage UnsupportedRomMessage() { return ProgramMessage(kUnsupportedRom); }

struct EditorSession::Data {
    // The state while no ROM is open: only the path last tried.
    RomState closed;
    std::optional<OpenedRom> rom;
    std::optional<OpeningProposal> pendingOpening;
    std::filesystem::path pendingPath;
    ProfileFiles pendingProfiles;
    std::vector<Text> itemNames;
    bool keepHistory = true;

    // The shown item as read, and what it held when shown: a save writes the name and the
    // description only when the user changed them.
    int shown = -1;
    ItemView shownView;
    Text shownName;
    Text shownDescription;
    DescriptionPlace place;
    std::shared_ptr<const RoutineGroups> routines;

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
        pendingEdit.reset();
        importPlan.reset();
    }
};

EditorSession::EditorSession() : data_(std::make_unique<Data>()) {}
EditorSession::~EditorSession() = default;

// --- Opening ------------------------------------------------------------------------------------

SessionStep EditorSession::Open(const std::filesystem::path& rom, const ProfileFiles& profiles, std::string_view whereKept)
{
    Close();
    data_->closed.romPath = rom;
    if (rom.empty()) {
        SessionStep step = WithMessage(UnsupportedRomMessage());
        step.refused = true;
        return step;
    }
    const std::string kept = whereKept.empty() ? PathText(RomTablesPathOf(rom)) : std::string(whereKept);
    data_->whereKept = kept;
    OpeningProposal proposal = ProposeOpening(rom, profiles, kept);
    if (!proposal.found) return FinishOpening(std::move(proposal.opened));
    SessionStep step;
    step.question = SessionQuestion{SessionQuestion::Topic::FoundTables, "tableDetectionQuestion",
                                    std::string(kProgramTitle), proposal.question, true, false};
    data_->pendingPath = rom;
    data_->pendingProfiles = profiles;
    data_->pendingOpening = std::move(proposal);
    return step;
}

SessionStep EditorSession::AnswerOpening(bool useFoundTables)
{
    if (!data_->pendingOpening) return WithMessage(UnsupportedRomMessage());
    OpeningProposal proposal = std::move(*data_->pendingOpening);
    data_->pendingOpening.reset();
    if (!useFoundTables) return FinishOpening(std::move(proposal.opened));
    return FinishOpening(OpenWithFoundTables(data_->pendingPath, data_->pendingProfiles, *proposal.found));
}

SessionStep EditorSession::FinishOpening(Result<OpenedRom> opened)
{
    SessionStep step;
    if (!opened) {
        step.refused = true;
        step.message = opened.error().code == ErrorCode::UnsupportedRom ? UnsupportedRomMessage() : ErrorMessageOf(opened.error());
        return step;
    }
    data_->rom = std::move(*opened);
    data_->rom->state.keepHistory = data_->keepHistory;
    data_->itemNames = data_->rom->itemNames;
    step.opened = true;
    if (!data_->rom->warnings.empty()) step.message = ProgramMessage(OpenedWithWarnings(data_->rom->warnings));
    return step;
}

bool EditorSession::HasPendingOpening() const { return data_->pendingOpening.has_value(); }

void EditorSession::Close()
{
    if (data_->rom) data_->closed.romPath = data_->rom->state.romPath;
    data_->rom.reset();
    data_->pendingOpening.reset();
    data_->foundTables.reset();
    data_->itemNames.clear();
    data_->ForgetShown();
}

bool EditorSession::IsOpen() const { return data_->rom.has_value(); }
const OpenedRom* EditorSession::Rom() const { return data_->rom ? &*data_->rom : nullptr; }
const RomState& EditorSession::State() const { return data_->rom ? data_->rom->state : data_->closed; }
const std::vector<Text>& EditorSession::ItemNames() const { return data_->itemNames; }

std::vector<std::string> EditorSession::ListEntries(std::string_view control, Meaning meaning) const
{
    if (!data_->rom) return {};
    return FormListEntries(control, *data_->rom, meaning);
}

bool EditorSession::HasImages() const { return data_->rom && data_->rom->family->hasImages; }

// --- Showing ------------------------------------------------------------------------------------

SessionStep EditorSession::Show(int position)
{
    if (!data_->rom) return WithMessage(UnsupportedRomMessage());
    RomState& state = data_->rom->state;
    auto item = ReadItem(state, position);
    auto routines = item ? RoutineGroupsOf(state) : Result<std::shared_ptr<const RoutineGroups>>(item.error());
    if (!routines) return WithError(routines.error());

    Data& data = *data_;
    state.itemIndex = static_cast<std::int16_t>(position);
    state.descriptionOffset = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        item->descriptionOffset, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    data.shown = position;
    data.shownView = *item;
    data.shownName = item->name;
    data.shownDescription = item->description;
    data.place = DescriptionPlace{item->descriptionOffset, item->descriptionRoomBytes};
    data.routines = *routines;
    data.pendingEdit.reset();

    SessionStep step;
    ShownItem& shown = step.shown.emplace();
    shown.position = position;
    shown.form = ShowItemForm(*data.rom, *item, *data.routines);
    shown.description = item->description;
    shown.descriptionOffsetText = item->descriptionOffsetText;
    shown.room = item->descriptionRoom;
    shown.count = CountDescriptionCharacters(item->description);
    shown.hasTmMove = item->tmMove.has_value();
    shown.tmMoveUnknown = item->tmMoveUnknown;
    shown.imageOffsetText = item->imageOffsetText;
    shown.paletteOffsetText = item->paletteOffsetText;
    if (item->imageOffsetText && item->paletteOffsetText) {
        SessionStep drawn = Icon(*item->imageOffsetText, *item->paletteOffsetText);
        shown.icon = drawn.icon;
        step.message = std::move(drawn.message);
    }
    if (auto effect = ReadItemEffect(state, position)) {
        shown.effect = std::move(*effect);
        for (int user : shown.effect.sharedWith) {
            if (user >= 0 && static_cast<std::size_t>(user) < data.itemNames.size()) {
                shown.effectSharedWith.push_back(data.itemNames[static_cast<std::size_t>(user)]);
            }
        }
    } else {
        shown.effect.unavailable = effect.error().message;
    }
    return step;
}

int EditorSession::ShownPosition() const { return data_->shown; }
const Text& EditorSession::ShownName() const { return data_->shownName; }
const Text& EditorSession::ShownDescription() const { return data_->shownDescription; }
const DescriptionPlace& EditorSession::ShownDescriptionPlace() const { return data_->place; }
const RoutineGroups* EditorSession::Routines() const { return data_->routines.get(); }

FormValues EditorSession::FormWords(const FormInput& input) const
{
    const Data& data = *data_;
    if (!data.rom || data.shown < 0 || !data.routines) return {};
    ItemView item = data.shownView;
    const GameFamily& family = *data.rom->family;
    for (const FormControl& control : FormControls()) {
        if (control.field == nullptr || control.field->store == nullptr || control.field->kind == FieldKind::GameText) {
            continue;
        }
        const RecordField& field = *control.field;
        if (const auto list = input.lists.find(control.control); list != input.lists.end()) {
            if (list->second >= 0 && static_cast<std::uint32_t>(list->second) <= field.Maximum()) {
                field.store(item, static_cast<std::uint32_t>(list->second));
            }
        } else if (const auto text = input.texts.find(control.control); text != input.texts.end()) {
            // An emptied pointer box saves as 0, so it means "no routine" here too.
            const std::string typed = text->second.empty() && field.kind == FieldKind::Pointer ? "0" : text->second;
            // Text a save would refuse leaves the stored value's words in place.
            if (auto value = ParseFieldValue(field, family, typed, field.meaning)) field.store(item, *value);
        }
    }
    return ShowItemForm(*data.rom, item, *data.routines);
}

SessionStep EditorSession::Icon(std::string_view imageOffsetText, std::string_view paletteOffsetText) const
{
    if (!data_->rom) return WithMessage(UnsupportedRomMessage());
    auto icon = ReadItemIcon(data_->rom->state, OffsetOf(imageOffsetText), OffsetOf(paletteOffsetText));
    if (!icon) return WithError(icon.error());
    SessionStep step;
    step.icon = *icon;
    return step;
}

std::string EditorSession::DescriptionSharingTip() const
{
    return data_->rom ? quillbox::DescriptionSharingTip(data_->rom->state, data_->shown) : std::string();
}

std::string EditorSession::IconSharingTip() const
{
    return data_->rom ? quillbox::IconSharingTip(data_->rom->state, data_->shown) : std::string();
}

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
    data.pendingEdit = EditFromForm(input, data.shown);
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
    state.itemIndex = static_cast<std::int16_t>(position);
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
    state.savedListIndex = static_cast<std::int16_t>(position);
    state.lastItemIndex = static_cast<std::int16_t>(state.ItemCount() - 1);
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
    state.descriptionOffset = static_cast<std::int32_t>(repointed->offset);
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

// --- Find Tables --------------------------------------------------------------------------------

SessionStep EditorSession::FindTables()
{
    Data& data = *data_;
    data.foundTables.reset();
    if (!data.rom) return WithMessage(UnsupportedRomMessage());
    auto detected = DetectTables(data.rom->state.romPath);
    if (!detected) return WithError(detected.error());
    SessionStep step;
    step.text = FormatDetectedSection(*detected);
    if (Status usable = CheckDetectedTables(*detected); !usable) {
        SessionMessage refusal = ErrorMessageOf(usable.error());
        refusal.text = step.text + "\n" + refusal.text;
        step.message = std::move(refusal);
        return step;
    }
    step.question = SessionQuestion{SessionQuestion::Topic::FoundTables, "keepTablesQuestion", std::string(kProgramTitle),
                                    step.text + "\nUse these tables? They are kept for this ROM alone, in " +
                                        data.whereKept + ".",
                                    true, false};
    data.foundTables = std::move(*detected);
    return step;
}

SessionStep EditorSession::AnswerFindTables(bool keep)
{
    Data& data = *data_;
    if (!data.rom || !data.foundTables) return WithMessage(UnsupportedRomMessage());
    const DetectedTables found = std::move(*data.foundTables);
    data.foundTables.reset();
    if (!keep) {
        SessionStep declined;
        declined.declined = true;
        return declined;
    }
    if (Status kept = KeepFoundTables(data.rom->state.romPath, found); !kept) return WithError(kept.error());
    return {};
}

std::string ListEntryNumber(std::string_view entry)
{
    const std::size_t digits = entry.find_first_not_of("0123456789");
    const std::size_t end = digits == std::string_view::npos ? entry.size() : digits;
    if (end == 0 || (end < entry.size() && entry[end] != ' ')) return {};
    return std::string(entry.substr(0, end));
}

}  // namespace quillbox
