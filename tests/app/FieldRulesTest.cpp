#include "FieldRulesTest.h"

#include "app/InputFilters.h"
#include "editor/FieldRules.h"

#include <QKeyEvent>
#include <QTest>

namespace quillbox::test {

namespace {

QString Show(const Text& text) { return QString::fromStdU32String(text); }

}  // namespace

void FieldRulesTest::hexKeyRule_data()
{
    QTest::addColumn<uint>("key");
    QTest::addColumn<uint>("expected");
    QTest::newRow("backspace") << 8u << 8u;
    QTest::newRow("0") << uint('0') << uint('0');
    QTest::newRow("9") << uint('9') << uint('9');
    QTest::newRow("A") << uint('A') << uint('A');
    QTest::newRow("F") << uint('F') << uint('F');
    QTest::newRow("a becomes A") << uint('a') << uint('A');
    QTest::newRow("f becomes F") << uint('f') << uint('F');
    QTest::newRow("c becomes C") << uint('c') << uint('C');
    QTest::newRow("slash before 0") << uint('/') << 0u;
    QTest::newRow("colon after 9") << uint(':') << 0u;
    QTest::newRow("at before A") << uint('@') << 0u;
    QTest::newRow("G after F") << uint('G') << 0u;
    QTest::newRow("backquote before a") << uint('`') << 0u;
    QTest::newRow("g after f") << uint('g') << 0u;
    QTest::newRow("x") << uint('x') << 0u;
    QTest::newRow("space") << uint(' ') << 0u;
    QTest::newRow("minus") << uint('-') << 0u;
    QTest::newRow("Enter") << 13u << 0u;
    QTest::newRow("Ctrl+A") << 1u << 0u;
    QTest::newRow("Ctrl+C") << 3u << 0u;
    QTest::newRow("Ctrl+V") << 22u << 0u;
    QTest::newRow("Ctrl+X") << 24u << 0u;
    QTest::newRow("accented e") << uint(U'é') << 0u;
    QTest::newRow("fullwidth A") << uint(U'Ａ') << 0u;
}

void FieldRulesTest::hexKeyRule()
{
    QFETCH(uint, key);
    QFETCH(uint, expected);
    QCOMPARE(uint(HexKeyRule(char32_t(key))), expected);
}

void FieldRulesTest::decimalKeyRule_data()
{
    QTest::addColumn<uint>("key");
    QTest::addColumn<uint>("expected");
    QTest::newRow("backspace") << 8u << 8u;
    QTest::newRow("0") << uint('0') << uint('0');
    QTest::newRow("5") << uint('5') << uint('5');
    QTest::newRow("9") << uint('9') << uint('9');
    QTest::newRow("slash") << uint('/') << 0u;
    QTest::newRow("colon") << uint(':') << 0u;
    QTest::newRow("a") << uint('a') << 0u;
    QTest::newRow("A") << uint('A') << 0u;
    QTest::newRow("minus") << uint('-') << 0u;
    QTest::newRow("point") << uint('.') << 0u;
    QTest::newRow("Enter") << 13u << 0u;
    QTest::newRow("Ctrl+V") << 22u << 0u;
    QTest::newRow("arabic three") << uint(U'٣') << 0u;
}

void FieldRulesTest::decimalKeyRule()
{
    QFETCH(uint, key);
    QFETCH(uint, expected);
    QCOMPARE(uint(DecimalKeyRule(char32_t(key))), expected);
}

void FieldRulesTest::filterHexText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("already hex") << QStringLiteral("3D4000") << QStringLiteral("3D4000");
    QTest::newRow("lower case") << QStringLiteral("abcdef") << QStringLiteral("ABCDEF");
    QTest::newRow("separators dropped") << QStringLiteral("a1-b2 c3") << QStringLiteral("A1B2C3");
    QTest::newRow("prefix letters dropped") << QStringLiteral("0x1F") << QStringLiteral("01F");
    QTest::newRow("nothing hex") << QStringLiteral("xyz!") << QString();
    QTest::newRow("line break and tab") << QStringLiteral("12\n\t34") << QStringLiteral("1234");
    QTest::newRow("non-ascii letters") << QStringLiteral("Äbé9") << QStringLiteral("B9");
}

void FieldRulesTest::filterHexText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Show(FilterHexText(text.toStdU32String())), expected);
}

void FieldRulesTest::filterDecimalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("digits") << QStringLiteral("65535") << QStringLiteral("65535");
    QTest::newRow("nine and a letter") << QStringLiteral("9a") << QStringLiteral("9");
    QTest::newRow("grouped") << QStringLiteral("12 345") << QStringLiteral("12345");
    QTest::newRow("negative") << QStringLiteral("-5") << QStringLiteral("5");
    QTest::newRow("hex letters") << QStringLiteral("1F") << QStringLiteral("1");
    QTest::newRow("other scripts' digits") << QStringLiteral("٣٤") << QString();
}

void FieldRulesTest::filterDecimalText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Show(FilterDecimalText(text.toStdU32String())), expected);
}

void FieldRulesTest::capSixteenBitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("empty stays") << QString() << false;
    QTest::newRow("zero stays") << QStringLiteral("0") << false;
    QTest::newRow("65535 stays") << QStringLiteral("65535") << false;
    QTest::newRow("65536 capped") << QStringLiteral("65536") << true;
    QTest::newRow("70000 capped") << QStringLiteral("70000") << true;
    QTest::newRow("leading zeros") << QStringLiteral("0065536") << true;
    QTest::newRow("leading zeros below") << QStringLiteral("0065535") << false;
    QTest::newRow("nine and a letter stays") << QStringLiteral("9x") << false;
    QTest::newRow("large then letter") << QStringLiteral("99999x") << true;
    QTest::newRow("letter first stays") << QStringLiteral("x99999") << false;
    QTest::newRow("thirty digits") << QStringLiteral("123456789012345678901234567890") << true;
}

void FieldRulesTest::capSixteenBitText()
{
    QFETCH(QString, text);
    QFETCH(bool, replaced);
    const auto capped = CapSixteenBitText(text.toStdU32String());
    QCOMPARE(capped.has_value(), replaced);
    if (replaced) {
        QCOMPARE(Show(*capped), QStringLiteral("65535"));
        QVERIFY(!CapSixteenBitText(*capped).has_value());
    }
}

void FieldRulesTest::descriptionAcceptsKey_data()
{
    QTest::addColumn<uint>("key");
    QTest::addColumn<int>("room");
    QTest::addColumn<int>("characters");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("letter at full room") << uint('a') << 20 << 20 << false;
    QTest::newRow("backspace at full room") << 8u << 20 << 20 << true;
    QTest::newRow("letter one short") << uint('a') << 20 << 19 << true;
    QTest::newRow("Enter one short") << 13u << 20 << 19 << true;
    QTest::newRow("Enter at full room") << 13u << 20 << 20 << false;
    QTest::newRow("letter past the room") << uint('a') << 20 << 23 << false;
    QTest::newRow("no room") << uint('a') << 0 << 0 << false;
    QTest::newRow("backspace with no room") << 8u << 0 << 0 << true;
}

void FieldRulesTest::descriptionAcceptsKey()
{
    QFETCH(uint, key);
    QFETCH(int, room);
    QFETCH(int, characters);
    QFETCH(bool, accepted);
    QCOMPARE(DescriptionAcceptsKey(char32_t(key), room, characters), accepted);
}

void FieldRulesTest::charactersOverLimit_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("over");
    QTest::newRow("typing up to the limit") << 4 << 5 << 5 << 0;
    QTest::newRow("typing past the limit") << 5 << 6 << 5 << 1;
    QTest::newRow("long paste") << 0 << 12 << 5 << 7;
    QTest::newRow("paste into a part-filled field") << 3 << 8 << 5 << 3;
    QTest::newRow("program text may shrink") << 20 << 19 << 14 << 0;
    QTest::newRow("program text may not grow") << 20 << 21 << 14 << 1;
    QTest::newRow("deleting") << 5 << 0 << 5 << 0;
}

void FieldRulesTest::charactersOverLimit()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, limit);
    QFETCH(int, over);
    QCOMPARE(CharactersOverLimit(before, after, limit), over);
}

void FieldRulesTest::typedCharacter_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");  // -1: no character
    QTest::newRow("letter") << int(Qt::Key_F) << 0 << QStringLiteral("f") << int('f');
    QTest::newRow("shifted letter") << int(Qt::Key_F) << int(Qt::ShiftModifier) << QStringLiteral("F") << int('F');
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << QStringLiteral("\b") << 8;
    QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << QStringLiteral("\r") << 13;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QStringLiteral("\r") << 13;
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier) << QStringLiteral("v") << 22;
    QTest::newRow("Ctrl+A without text") << int(Qt::Key_A) << int(Qt::ControlModifier) << QString() << 1;
    QTest::newRow("AltGr chord types its character")
        << int(Qt::Key_At) << int(Qt::ControlModifier | Qt::AltModifier) << QStringLiteral("@") << int('@');
    QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << QStringLiteral("\t") << -1;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << QStringLiteral("\x7f") << -1;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << QStringLiteral("\x1b") << -1;
    QTest::newRow("F1") << int(Qt::Key_F1) << 0 << QString() << -1;
    QTest::newRow("arrow") << int(Qt::Key_Left) << 0 << QString() << -1;
    QTest::newRow("accented letter") << int(Qt::Key_Eacute) << 0 << QStringLiteral("é") << int(U'é');
}

void FieldRulesTest::typedCharacter()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(int, expected);
    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    const std::optional<char32_t> typed = TypedCharacter(event);
    QCOMPARE(typed.has_value(), expected >= 0);
    if (typed) {
        QCOMPARE(int(*typed), expected);
    }
}

}  // namespace quillbox::test
