#pragma once

#include <QObject>

namespace quillbox::test {

// What belongs to the window itself: start-up state, menus, the read-me, About, Exit, messages.
class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void startUpLeavesOnlyOpeningPossible();
    void menuEntriesRunTheirButtonsHandlers();
    void f1OpensTheReadmeFromAnyControl_data();
    void f1OpensTheReadmeFromAnyControl();
    void readmeMenuOpensTheReadme();
    void readmeThatCannotBeOpenedIsReported();
    void readmeShipsBesideTheProgram();
    void aboutIsModalAndCloses_data();
    void aboutIsModalAndCloses();
    void exitClosesTheWindow();
    void messagesUseRealMessageBoxes();
};

}  // namespace quillbox::test
