#pragma once

#include <QObject>

namespace quillbox::test {

// The Edit menu: undo and redo of saves compared byte for byte with the file, the entries'
// names and states, refusals, the history after reopening, and turning the history off.
class EditMenuTest : public QObject {
    Q_OBJECT
private slots:
    void undoAndRedoOfASave();
    void undoOutlastsTheWindow();
    void refusedUndoShowsWhyAndWritesNothing();
    void withoutHistoryNothingIsKept();
    void addItemShowsTheNewItemAndUndoesWhole();
};

}  // namespace quillbox::test
