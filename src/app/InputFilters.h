#pragma once

#include "editor/FieldRules.h"
#include "text/GameText.h"

#include <QObject>
#include <QValidator>

#include <functional>
#include <optional>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace quillbox {

// The character code a key press types, as a field's key filter sees it: control chords give
// their control codes (Ctrl+V is 22), Backspace 8 and Enter 13. Keys that type no character
// (arrows, Tab, Delete, Escape, function keys) give nothing and are never filtered.
std::optional<char32_t> TypedCharacter(const QKeyEvent& event);

// Runs a field's key handler on every character typed into the field, before the field sees it.
// The handler may change the code, or set it to 0 to discard the key; a changed character is
// entered in place of the typed one.
class KeyPressFilter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(char32_t& key)>;

    KeyPressFilter(QWidget* field, Handler handler);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler handler_;
};

// Holds a line edit's text to the characters its rule accepts, so that text which arrives
// without being typed (pasted, dropped) obeys the same rule, and to the field's character limit
// for everything the user enters. Text the program puts in with SetProgramText is never cut.
class FieldValidator : public QValidator {
    Q_OBJECT
public:
    FieldValidator(QLineEdit* field, const TextFieldRule& rule);

    State validate(QString& input, int& position) const override;

    // Puts the program's text into a field whatever its length; a field without a
    // FieldValidator just takes the text.
    static void SetProgramText(QLineEdit* field, const QString& text);

private:
    TextFieldRule rule_;
    int lengthBefore_ = 0;
    bool programText_ = false;
};

}  // namespace quillbox
