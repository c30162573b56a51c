#pragma once

#include <QObject>

namespace quillbox::test {

// Free space in the window: a description that grows or gets its own copy, typing past the
// room, icons through PNG files, who-uses-what tooltips and what a Repoint says.
class SpaceWindowTest : public QObject {
    Q_OBJECT
private slots:
    void descriptionSavePastItsRoomOrShared_data();
    void descriptionSavePastItsRoomOrShared();
    void typingPastTheRoomWhenAllowed();
    void iconExportedAndImportedElsewhere();
    void sharingTipsAndRepointNotices();
};

}  // namespace quillbox::test
