#pragma once

#include <QObject>

namespace quillbox::test {

// The item form as the core models it: every byte of the record through its control, what the
// values mean in words, and "Use like…".
class RecordFormTest : public QObject {
    Q_OBJECT
private slots:
    void everyFieldRoundTripsThroughItsControl_data();
    void everyFieldRoundTripsThroughItsControl();
    void wordsSayWhatTheValueMeans_data();
    void wordsSayWhatTheValueMeans();
    void wordsFollowTheEntryPicked();
    void useLikeCopiesTheModelsRoutines_data();
    void useLikeCopiesTheModelsRoutines();
    void cancelledUseLikeWritesNothing();
};

}  // namespace quillbox::test
