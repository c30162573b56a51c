#pragma once

#include <QObject>

namespace quillbox::test {

// The input rules of the editing fields, without a window.
class FieldRulesTest : public QObject {
    Q_OBJECT
private slots:
    void hexKeyRule_data();
    void hexKeyRule();
    void decimalKeyRule_data();
    void decimalKeyRule();
    void filterHexText_data();
    void filterHexText();
    void filterDecimalText_data();
    void filterDecimalText();
    void capSixteenBitText_data();
    void capSixteenBitText();
    void descriptionAcceptsKey_data();
    void descriptionAcceptsKey();
    void charactersOverLimit_data();
    void charactersOverLimit();
    void typedCharacter_data();
    void typedCharacter();
};

}  // namespace quillbox::test
