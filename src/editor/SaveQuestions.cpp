#include "editor/SaveQuestions.h"

#include "editor/UserTexts.h"
#include "base/HexText.h"

namespace quillbox {

namespace {

SaveStep Ask(SaveQuestion::Topic topic, std::string text, bool offersNo = true, bool offersCancel = false)
{
    SaveStep step;
    step.question = SaveQuestion{topic, std::move(text), offersNo, offersCancel};
    return step;
}

SaveStep Declined()
{
    SaveStep step;
    step.declined = true;
    return step;
}

}  // namespace

void SaveAnswers::Record(SaveQuestion::Topic topic, SaveAnswer answer)
{
    (topic == SaveQuestion::Topic::UnknownCharacters ? unknownCharacters : descriptionMove) = answer;
}

Result<SaveStep> SaveItemAsking(const RomState& state, int position, ItemEdit edit, const DescriptionPlace& place,
                                const SaveAnswers& answers)
{
    if (const Text unknown = UnknownCharactersOf(edit); !unknown.empty()) {
        if (!answers.unknownCharacters) {
            return Ask(SaveQuestion::Topic::UnknownCharacters,
                       NameCharacters(unknown) + " cannot be written in this game and would be saved as spaces. Save anyway?");
        }
        if (*answers.unknownCharacters != SaveAnswer::Yes) return Declined();
        edit.replaceUnknownCharacters = true;
    }
    DescriptionMove move = DescriptionMove::None;
    if (edit.description) {
        auto pointers = ReadItemPointers(state);
        if (!pointers) return pointers.error();
        const DescriptionNeeds needs = AssessDescription(*edit.description, place, *pointers, position);
        if (!needs.fits || !needs.sharedWith.empty()) {
            // Where a copy of its own would go; the same place a move for all would take.
            auto proposal = PlanItemSave(state, position, edit, place, DescriptionMove::OwnCopy);
            if (!proposal && !needs.fits) return proposal.error();
            const std::string where = proposal ? "free space at " + NumberToHex(static_cast<std::uint64_t>(
                                                                       proposal->description.place.offset)) +
                                                     " (" + std::to_string(proposal->description.place.roomBytes) + " bytes)"
                                                : std::string();
            if (needs.sharedWith.empty()) {
                if (!answers.descriptionMove) {
                    return Ask(SaveQuestion::Topic::DescriptionMove,
                               "The description needs " + std::to_string(needs.bytes) + " bytes and its place holds " +
                                   std::to_string(needs.roomBytes) + ".\n\nMove it to " + where +
                                   "? The old text stays where it is.");
                }
                if (*answers.descriptionMove != SaveAnswer::Yes) return Declined();
                move = DescriptionMove::Relocate;
            } else {
                if (!answers.descriptionMove) {
                    std::string text = "This description is shared with " + OtherItems(needs.sharedWith.size()) + " (" +
                                       NamePositions(needs.sharedWith) + ").\n\nYes: change it for all of them" +
                                       (needs.fits ? std::string(", in place.") : ", moved to " + where + ".");
                    if (proposal) text += "\nNo: give this item its own copy in " + where + "; the others keep the old text.";
                    return Ask(SaveQuestion::Topic::SharedDescription, std::move(text), proposal.has_value(), true);
                }
                const SaveAnswer answer = *answers.descriptionMove;
                if (answer == SaveAnswer::Cancel || (answer == SaveAnswer::No && !proposal)) return Declined();
                move = answer == SaveAnswer::Yes ? DescriptionMove::Relocate : DescriptionMove::OwnCopy;
            }
        }
    }
    SaveStep done;
    done.saved = true;
    if (move == DescriptionMove::None) {
        if (Status saved = SaveItem(state, position, edit, place); !saved) return saved.error();
        return done;
    }
    auto plan = PlanItemSave(state, position, edit, place, move);
    if (!plan) return plan.error();
    const char* label = !plan->description.moved           ? "Save"
                        : move == DescriptionMove::OwnCopy ? "Own Copy of Description"
                                                           : "Relocate Description";
    if (Status saved = ApplyToRom(state, plan->patches, {label, position}); !saved) return saved.error();
    return done;
}

}  // namespace quillbox
