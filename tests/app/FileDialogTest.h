#pragma once

#include <QObject>

namespace quillbox::test {

// The Open and Save dialog wrapper, over Qt's real file dialog answered by the test.
class FileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void convertFilterText_data();
    void convertFilterText();
    void showOpenListsTheFilterAndReturnsTheChosenPath();
    void cancelledShowOpenKeepsTheEarlierChoice();
    void openFlagsSetTheDialogUp_data();
    void openFlagsSetTheDialogUp();
    void showSaveAppendsTheDefaultExtension();
    void secondFilterIsRememberedByIndex();
};

}  // namespace quillbox::test
