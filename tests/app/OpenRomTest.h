#pragma once

#include <QObject>

namespace quillbox::test {

// Opening a ROM: the real Open dialog, the lists of each family, and every way of refusing.
class OpenRomTest : public QObject {
    Q_OBJECT
private slots:
    void opensThroughTheRealOpenDialog();
    void listsEachFamily_data();
    void listsEachFamily();
    void openingEnablesTheEditingControls_data();
    void openingEnablesTheEditingControls();
    void refusalsLeaveNoRomOpen_data();
    void refusalsLeaveNoRomOpen();
    void secondRomReplacesEveryList();
    void imageRepointAfterAGameWithoutImagesOnlyReports();
};

}  // namespace quillbox::test
