#pragma once

#include <QObject>

namespace quillbox::test {

// The question asked when the profile's tables do not fit a ROM but the ROM names its own.
class TableDetectionTest : public QObject {
    Q_OBJECT
private slots:
    void answerDecidesTheTables_data();
    void answerDecidesTheTables();
    void cleanup();
};

}  // namespace quillbox::test
