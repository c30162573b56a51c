#pragma once

#include <QObject>

namespace quillbox::test {

// Nothing lost through the window: saves without an edit leave the file as it was, random edits
// typed into the controls change exactly their fields, both Repoint buttons change exactly their
// pointer bytes, and every write is in the file by the time the window reports it.
class NoLossTest : public QObject {
    Q_OBJECT
private slots:
    void savingWithoutAnEditChangesNothing_data();
    void savingWithoutAnEditChangesNothing();
    void randomEditsChangeExactlyTheirFields_data();
    void randomEditsChangeExactlyTheirFields();
    void descriptionRepointChangesExactlyThePointer_data();
    void descriptionRepointChangesExactlyThePointer();
    void imageRepointChangesExactlyTheLowBytes_data();
    void imageRepointChangesExactlyTheLowBytes();
};

}  // namespace quillbox::test
