#pragma once

#include <QObject>

namespace quillbox::test {

// The bad-input table seen through the window: each row is a bad input, the message the window
// must show for it, the state the window must be left in, and the proof that the ROM file is
// unchanged. Odd inputs that are fine must work and change only what was asked.
class BadInputWindowTest : public QObject {
    Q_OBJECT
private slots:
    void badInput_data();
    void badInput();
};

}  // namespace quillbox::test
