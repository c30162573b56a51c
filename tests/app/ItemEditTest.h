#pragma once

#include <QObject>

namespace quillbox::test {

// Editing: the input rules under the keyboard and the clipboard, saving compared byte for byte
// with the file, save refusals, and both Repoint buttons.
class ItemEditTest : public QObject {
    Q_OBJECT
private slots:
    void typingFollowsTheFieldRules_data();
    void typingFollowsTheFieldRules();
    void sixteenBitFieldCapsAtTheFifthDigit();
    void controlKeysDoNothingInRuledFields_data();
    void controlKeysDoNothingInRuledFields();
    void pastedTextIsHeldToTheFieldRules_data();
    void pastedTextIsHeldToTheFieldRules();
    void programTextBeyondTheLimitMayShrinkButNotGrow();
    void descriptionTypingStopsAtItsRoom();
    void saveWritesOnlyTheEditedBytes_data();
    void saveWritesOnlyTheEditedBytes();
    void saveRefusalsWriteNothing_data();
    void saveRefusalsWriteNothing();
    void unknownCharactersAskBeforeSaving_data();
    void unknownCharactersAskBeforeSaving();
    void storedValuesTheWindowCannotShowSurviveASave_data();
    void storedValuesTheWindowCannotShowSurviveASave();
    void descriptionRepoint_data();
    void descriptionRepoint();
    void descriptionRepointRefusals_data();
    void descriptionRepointRefusals();
    void descriptionRepointWithoutAnEndMarkWithinReach();
    void imageRepoint_data();
    void imageRepoint();
    void imageRepointRedrawsTheIcon();
    void imageRepointPastTheEndWritesNothing();
};

}  // namespace quillbox::test
