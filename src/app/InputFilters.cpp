#include "app/InputFilters.h"

#include "editor/FieldRules.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace quillbox {

std::optional<char32_t> TypedCharacter(const QKeyEvent& event)
{
    const int key = event.key();
    switch (key) {
    case Qt::Key_Backspace:
        return kBackspaceKey;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnterKey;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
    case Qt::Key_Escape:
        return std::nullopt;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    // Ctrl together with Alt is AltGr on some keyboards, which types ordinary characters.
    const bool controlChord = modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier);
    if (controlChord && key >= Qt::Key_At && key <= Qt::Key_Underscore) {
        return static_cast<char32_t>(key - Qt::Key_At);
    }
    const std::u32string typed = event.text().toStdU32String();
    if (typed.empty() || typed.front() == 0x7F) {
        return std::nullopt;
    }
    return typed.front();
}

KeyPressFilter::KeyPressFilter(QWidget* field, Handler handler) : QObject(field), handler_(std::move(handler))
{
    field->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event)
{
    // A field that takes no typing (disabled or read-only) lets the key fall through unfiltered.
    auto* field = static_cast<QWidget*>(watched);
    const auto* line = qobject_cast<QLineEdit*>(watched);
    const auto* text = qobject_cast<QPlainTextEdit*>(watched);
    if (event->type() != QEvent::KeyPress || !field->isEnabled() || (line != nullptr && line->isReadOnly()) ||
        (text != nullptr && text->isReadOnly())) {
        return false;
    }
    const std::optional<char32_t> typed = TypedCharacter(*static_cast<QKeyEvent*>(event));
    if (!typed) {
        return false;
    }
    char32_t key = *typed;
    handler_(key);
    if (key == *typed) {
        return false;
    }
    if (key != 0) {
        const QString replacement = QString::fromUcs4(&key, 1);
        if (auto* lineEdit = qobject_cast<QLineEdit*>(watched)) {
            lineEdit->insert(replacement);
        } else if (auto* textEdit = qobject_cast<QPlainTextEdit*>(watched)) {
            textEdit->insertPlainText(replacement);
        }
    }
    return true;
}

FieldValidator::FieldValidator(QLineEdit* field, const TextFieldRule& rule) : QValidator(field), rule_(rule)
{
    lengthBefore_ = static_cast<int>(field->text().toStdU32String().size());
    connect(field, &QLineEdit::textChanged, this,
            [this](const QString& text) { lengthBefore_ = static_cast<int>(text.toStdU32String().size()); });
    field->setValidator(this);
}

QValidator::State FieldValidator::validate(QString& input, int& position) const
{
    // The rule counts characters, the line edit UTF-16 units: the cursor goes over as a character count.
    const int cursor = static_cast<int>(input.left(position).toStdU32String().size());
    const FieldText kept = KeepFieldRule(rule_, lengthBefore_, input.toStdU32String(), cursor, !programText_);
    input = QString::fromStdU32String(kept.text);
    position = static_cast<int>(QString::fromStdU32String(kept.text.substr(0, static_cast<std::size_t>(kept.cursor))).size());
    return Acceptable;
}

void FieldValidator::SetProgramText(QLineEdit* field, const QString& text)
{
    auto* validator = field->findChild<FieldValidator*>(QString(), Qt::FindDirectChildrenOnly);
    if (validator != nullptr) {
        validator->programText_ = true;
    }
    field->setText(text);
    if (validator != nullptr) {
        validator->programText_ = false;
    }
}

}  // namespace quillbox
