#pragma once

#include <QObject>

namespace quillbox::test {

// The item's effect when used: shown, saved in place, undone, refused, and off when unknown.
class EffectPanelTest : public QObject {
    Q_OBJECT
private slots:
    void savesAnHpChangeInPlace_data();
    void savesAnHpChangeInPlace();
    void sharedRecordIsNamedAndLeftToItsOtherItem();
    void refusedWriteIsShownAndChangesNothing();
    void unavailableEffectIsOffWithTheReason_data();
    void unavailableEffectIsOffWithTheReason();
};

}  // namespace quillbox::test
