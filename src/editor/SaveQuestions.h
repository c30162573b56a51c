#pragma once

#include "items/record/DescriptionGrowth.h"
#include "items/record/ItemOperations.h"

#include <optional>
#include <string>

namespace quillbox {

// A save that asks before it writes: when the text holds characters the game cannot show, when
// the description does not fit its room, and when other items share it. A front end calls
// SaveItemAsking, asks the question it gets back, records the answer and calls again with the
// same edit, until the save is done or declined; nothing is written before the last call.
enum class SaveAnswer { Yes, No, Cancel };

struct SaveQuestion {
    enum class Topic { UnknownCharacters, DescriptionMove, SharedDescription };
    Topic topic = Topic::UnknownCharacters;
    std::string text;
    // Every question offers Yes; the shared description also Cancel, and No where a copy of
    // its own fits somewhere.
    bool offersNo = true;
    bool offersCancel = false;
};

struct SaveAnswers {
    std::optional<SaveAnswer> unknownCharacters;
    std::optional<SaveAnswer> descriptionMove;  // the growth or the sharing question

    void Record(SaveQuestion::Topic topic, SaveAnswer answer);
};

struct SaveStep {
    std::optional<SaveQuestion> question;  // ask it, Record the answer and call again
    bool declined = false;                 // an answer said not to save: nothing was written
    bool saved = false;
};

// Refused (nothing written) as a save is refused; written as the window writes a save, with the
// history label "Save", "Relocate Description" or "Own Copy of Description".
Result<SaveStep> SaveItemAsking(const RomState& state, int position, ItemEdit edit, const DescriptionPlace& place,
                                const SaveAnswers& answers);

}  // namespace quillbox
