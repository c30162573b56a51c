#include "editor/EditorSessionData.h"

#include "editor/FoundTablesQuestion.h"
#include "base/PathText.h"
#include "items/record/ItemFields.h"
#include "rom/Profile.h"

#include <algorithm>
#include <limits>

namespace quillbox {

using namespace session_parts;

SessionMessage ErrorMessageOf(const Error& error) { return SessionMessage{ErrorTitle(error), error.message, true}; }

SessionMessage UnsupportedRomMessage() { return ProgramMessage(kUnsupportedRom); }

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
    data_->profiles = profiles;
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
    // The record, its description, icon and effect are read from one opening of the file.
    auto file = OpenOpenedRom(state);
    if (!file) return WithError(file.error());
    auto item = ReadItem(state, *file, position);
    auto routines = item ? RoutineGroupsOf(state, *file) : Result<std::shared_ptr<const RoutineGroups>>(item.error());
    if (!routines) return WithError(routines.error());

    Data& data = *data_;
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
        auto icon = ReadItemIcon(*file, OffsetOf(*item->imageOffsetText), OffsetOf(*item->paletteOffsetText));
        if (icon) {
            shown.icon = *icon;
        } else {
            step.message = ErrorMessageOf(icon.error());
        }
    }
    if (auto effect = ReadItemEffect(state, *file, position)) {
        shown.effect = std::move(*effect);
        data.shownEffect = shown.effect.effect;
        for (int user : shown.effect.sharedWith) {
            if (user >= 0 && static_cast<std::size_t>(user) < data.itemNames.size()) {
                shown.effectSharedWith.push_back(data.itemNames[static_cast<std::size_t>(user)]);
            }
        }
    } else {
        shown.effect.unavailable = effect.error().message;
        data.shownEffect = {};
    }
    return step;
}

int EditorSession::ShownPosition() const { return data_->shown; }
const Text& EditorSession::ShownName() const { return data_->shownName; }
const Text& EditorSession::ShownDescription() const { return data_->shownDescription; }
const DescriptionPlace& EditorSession::ShownDescriptionPlace() const { return data_->place; }
const RoutineGroups* EditorSession::Routines() const { return data_->routines.get(); }
const ItemEffect& EditorSession::ShownEffect() const { return data_->shownEffect; }

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
