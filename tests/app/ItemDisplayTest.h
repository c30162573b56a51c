#pragma once

#include <QObject>

namespace quillbox::test {

// Selecting an item: every field, the description with its counters, the move, the icon.
class ItemDisplayTest : public QObject {
    Q_OBJECT
private slots:
    void everyFieldShowsTheFileBytes_data();
    void everyFieldShowsTheFileBytes();
    void moveListFollowsTheTmItems_data();
    void moveListFollowsTheTmItems();
    void unlistedValuesShowTheirNumbers();
    void unknownTmListShowsNoMove();
    void longDecodedNameIsShownWhole();
    void descriptionShapes_data();
    void descriptionShapes();
    void iconIsDrawnOverTheButtonFace_data();
    void iconIsDrawnOverTheButtonFace();
};

}  // namespace quillbox::test
