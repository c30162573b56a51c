#include "ItemEditTest.h"

#include "AppTestSupport.h"
#include "text/GameText.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <map>

namespace quillbox::test {

namespace {

enum class Edit {
    Nothing,
    PriceToMaximum,
    IndexEmptied,
    FieldPointer,
    BattlePointer,
    SpecialValues,
    Pocket,
    MysteryValues,
    BattleUsage,
    TmMove,
    NonTmItemKeepsMoves,
    Name,
    DescriptionWithLineBreak,
    PastedPointer,
};

enum class Refusal { NameTooLong, DescriptionTooLong, WriteFails };

enum class Unshowable {
    UnlistedValues,
    LongName,
    NameWithoutEndMark,
    LettersAfterTheEndMark,
    UnreadableDescription,
    PointerBelowTheRom,
    PointerPastTheFile
};

void Apply(Bytes& bytes, std::int64_t offset, const Bytes& patch)
{
    std::copy(patch.begin(), patch.end(), bytes.begin() + offset);
}

void TypeInto(QPlainTextEdit* description, const QString& text)
{
    for (QChar c : text) {
        if (c == u'\n') {
            QTest::keyClick(description, Qt::Key_Return);
        } else {
            QTest::keyClicks(description, QString(c));
        }
    }
}

}  // namespace

void ItemEditTest::typingFollowsTheFieldRules_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("IMGOFF f f") << QStringLiteral("IMGOFF") << QStringLiteral("ff") << QStringLiteral("FF");
    QTest::newRow("IMGOFF foreign keys") << QStringLiteral("IMGOFF") << QStringLiteral("g -x") << QString();
    QTest::newRow("PALOFF mixed") << QStringLiteral("PALOFF") << QStringLiteral("zAbC9") << QStringLiteral("ABC9");
    QTest::newRow("FUCP limit 6") << QStringLiteral("FUCP") << QStringLiteral("0123456789") << QStringLiteral("012345");
    QTest::newRow("BUCP lower case") << QStringLiteral("BUCP") << QStringLiteral("a1b2c") << QStringLiteral("A1B2C");
    QTest::newRow("Text3 limit 7") << QStringLiteral("Text3") << QStringLiteral("abcdef123")
                                   << QStringLiteral("ABCDEF1");
    QTest::newRow("price 1 2 a") << QStringLiteral("price") << QStringLiteral("12a") << QStringLiteral("12");
    QTest::newRow("price minus") << QStringLiteral("price") << QStringLiteral("-5") << QStringLiteral("5");
    QTest::newRow("price limit 5") << QStringLiteral("price") << QStringLiteral("123456") << QStringLiteral("12345");
    QTest::newRow("index 65535 stays") << QStringLiteral("index") << QStringLiteral("65535") << QStringLiteral("65535");
    QTest::newRow("index 65536 capped") << QStringLiteral("index") << QStringLiteral("65536")
                                        << QStringLiteral("65535");
    QTest::newRow("iname limit 14") << QStringLiteral("iname") << QStringLiteral("Abcdefghijklmnopqrst")
                                    << QStringLiteral("Abcdefghijklmn");
    QTest::newRow("iname any character") << QStringLiteral("iname") << QStringLiteral("a-b c!")
                                         << QStringLiteral("a-b c!");
}

void ItemEditTest::typingFollowsTheFieldRules()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    QLineEdit* line = harness.Line(field);
    harness.Retype(line, typed);
    QCOMPARE(line->text(), shown);
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(line->text(), shown);
    QVERIFY(harness.messages.empty());
}

void ItemEditTest::sixteenBitFieldCapsAtTheFifthDigit()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    QLineEdit* index = harness.Line(QStringLiteral("index"));
    harness.Retype(index, QStringLiteral("7000"));
    QCOMPARE(index->text(), QStringLiteral("7000"));
    QTest::keyClick(index, Qt::Key_0);
    QCOMPARE(index->text(), QStringLiteral("65535"));
    // An emptied field counts as 0 and stays empty.
    harness.Retype(index, QString());
    QCOMPARE(index->text(), QString());
}

void ItemEditTest::controlKeysDoNothingInRuledFields_data()
{
    QTest::addColumn<QString>("field");
    for (const char* name : {"IMGOFF", "PALOFF", "FUCP", "BUCP", "Text3", "index", "price"}) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

void ItemEditTest::controlKeysDoNothingInRuledFields()
{
    QFETCH(QString, field);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    QLineEdit* line = harness.Line(field);
    harness.Retype(line, QStringLiteral("12"));
    QGuiApplication::clipboard()->setText(QStringLiteral("99"));
    QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(line->text(), QStringLiteral("12"));
    line->selectAll();
    QTest::keyClick(line, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(line->text(), QStringLiteral("12"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("99"));
    line->deselect();
    line->end(false);
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(line, Qt::Key_3);
    QCOMPARE(line->text(), QStringLiteral("123"));
}

void ItemEditTest::pastedTextIsHeldToTheFieldRules_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("shown");
    QTest::newRow("IMGOFF") << QStringLiteral("IMGOFF") << QString() << QStringLiteral("12-zz-ab")
                            << QStringLiteral("12AB");
    QTest::newRow("FUCP over its limit") << QStringLiteral("FUCP") << QString() << QStringLiteral("0x1F2E3D4C")
                                         << QStringLiteral("01F2E3");
    QTest::newRow("Text3") << QStringLiteral("Text3") << QString() << QStringLiteral("deadbeef")
                           << QStringLiteral("DEADBEE");
    QTest::newRow("BUCP nothing hex") << QStringLiteral("BUCP") << QStringLiteral("AB") << QStringLiteral("xyz")
                                      << QStringLiteral("AB");
    QTest::newRow("index nine and a letter")
        << QStringLiteral("index") << QString() << QStringLiteral("9a") << QStringLiteral("9");
    QTest::newRow("price spaced digits") << QStringLiteral("price") << QString() << QStringLiteral("1 2 3 4 5 6")
                                         << QStringLiteral("12345");
    QTest::newRow("index large") << QStringLiteral("index") << QString() << QStringLiteral("99999")
                                 << QStringLiteral("65535");
    QTest::newRow("price appended") << QStringLiteral("price") << QStringLiteral("12") << QStringLiteral("3x4")
                                    << QStringLiteral("1234");
    QTest::newRow("iname cut at its limit") << QStringLiteral("iname") << QStringLiteral("Potion")
                                            << QStringLiteral(" of the Sea Wind") << QStringLiteral("Potion of the ");
}

void ItemEditTest::pastedTextIsHeldToTheFieldRules()
{
    QFETCH(QString, field);
    QFETCH(QString, existing);
    QFETCH(QString, pasted);
    QFETCH(QString, shown);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    QLineEdit* line = harness.Line(field);
    harness.Retype(line, existing);
    QCOMPARE(line->text(), existing);
    QGuiApplication::clipboard()->setText(pasted);
    line->end(false);
    line->paste();
    QCOMPARE(line->text(), shown);
}

void ItemEditTest::programTextBeyondTheLimitMayShrinkButNotGrow()
{
    SampleRom rom("BPRE");
    Bytes name = Encoded(U"[Lv]");
    name.resize(13, name[0]);
    name.push_back(0xFF);
    rom.Write(rom.Entry(7), name);
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(7);
    QLineEdit* line = harness.Line(QStringLiteral("iname"));
    QCOMPARE(line->text().size(), 52);
    line->setFocus();
    line->end(false);
    QTest::keyClick(line, Qt::Key_X);
    QCOMPARE(line->text().size(), 52);
    QTest::keyClick(line, Qt::Key_Backspace);
    QCOMPARE(line->text().size(), 51);
    // Still beyond the limit, it takes no typing until it is back within it.
    QTest::keyClick(line, Qt::Key_X);
    QCOMPARE(line->text().size(), 51);
    line->setSelection(0, 40);
    QTest::keyClick(line, Qt::Key_Backspace);
    QCOMPARE(line->text().size(), 11);
    line->end(false);
    QTest::keyClicks(line, QStringLiteral("xyzw"));
    QCOMPARE(line->text().size(), 14);
    QVERIFY(line->text().endsWith(QStringLiteral("xyz")));
}

void ItemEditTest::descriptionTypingStopsAtItsRoom()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(9);
    QPlainTextEdit* description = harness.Description();
    QLineEdit* count = harness.Line(QStringLiteral("Text1"));
    QLineEdit* room = harness.Line(QStringLiteral("Text2"));
    const QString shown = description->toPlainText();
    const int full = room->text().toInt();
    QCOMPARE(count->text().toInt(), full);
    QVERIFY(full > 10);

    description->setFocus();
    description->moveCursor(QTextCursor::End);
    QTest::keyClicks(description, QStringLiteral("a"));
    QCOMPARE(description->toPlainText(), shown);
    QTest::keyClick(description, Qt::Key_Return);
    QCOMPARE(description->toPlainText(), shown);
    // Typing over a selection is refused at full length like any other key.
    description->selectAll();
    QTest::keyClicks(description, QStringLiteral("z"));
    QCOMPARE(description->toPlainText(), shown);

    description->moveCursor(QTextCursor::End);
    QTest::keyClick(description, Qt::Key_Backspace);
    QCOMPARE(count->text().toInt(), full - 1);
    QTest::keyClicks(description, QStringLiteral("q"));
    QCOMPARE(count->text().toInt(), full);
    QVERIFY(description->toPlainText().endsWith(u'q'));
    QTest::keyClicks(description, QStringLiteral("r"));
    QCOMPARE(count->text().toInt(), full);

    // One character short of the room, Enter goes in and counts two.
    QTest::keyClick(description, Qt::Key_Backspace);
    QTest::keyClick(description, Qt::Key_Return);
    QCOMPARE(count->text().toInt(), full + 1);
    QCOMPARE(description->document()->blockCount(), int(shown.count(u'\n')) + 2);
    QTest::keyClick(description, Qt::Key_Backspace);
    QCOMPARE(count->text().toInt(), full - 1);

    // Pasting is not held to the room.
    QGuiApplication::clipboard()->setText(QStringLiteral("0123456789"));
    description->paste();
    QCOMPARE(count->text().toInt(), full + 9);
    QCOMPARE(room->text().toInt(), full);
}

void ItemEditTest::saveWritesOnlyTheEditedBytes_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("headerCode");
    QTest::newRow("nothing") << int(Edit::Nothing) << 3 << QByteArray("BPRE");
    QTest::newRow("BPEE item 0") << int(Edit::PriceToMaximum) << 0 << QByteArray("BPEE");
    QTest::newRow("AXVE item 348") << int(Edit::PriceToMaximum) << 348 << QByteArray("AXVE");
    QTest::newRow("price 65535") << int(Edit::PriceToMaximum) << 4 << QByteArray("BPRE");
    QTest::newRow("index emptied") << int(Edit::IndexEmptied) << 5 << QByteArray("BPRE");
    QTest::newRow("field usage pointer A1B2D") << int(Edit::FieldPointer) << 6 << QByteArray("BPRE");
    QTest::newRow("battle usage pointer") << int(Edit::BattlePointer) << 7 << QByteArray("BPRE");
    QTest::newRow("special values") << int(Edit::SpecialValues) << 8 << QByteArray("BPRE");
    QTest::newRow("pocket") << int(Edit::Pocket) << 9 << QByteArray("BPRE");
    QTest::newRow("mystery values") << int(Edit::MysteryValues) << 10 << QByteArray("BPRE");
    QTest::newRow("battle usage") << int(Edit::BattleUsage) << 12 << QByteArray("BPRE");
    QTest::newRow("move of item 290") << int(Edit::TmMove) << 290 << QByteArray("BPRE");
    QTest::newRow("item 288 teaches nothing") << int(Edit::NonTmItemKeepsMoves) << 288 << QByteArray("BPRE");
    QTest::newRow("name") << int(Edit::Name) << 20 << QByteArray("BPRE");
    QTest::newRow("description with a line break") << int(Edit::DescriptionWithLineBreak) << 21 << QByteArray("BPRE");
    QTest::newRow("pasted pointer") << int(Edit::PastedPointer) << 22 << QByteArray("BPRE");
}

void ItemEditTest::saveWritesOnlyTheEditedBytes()
{
    QFETCH(int, edit);
    QFETCH(int, position);
    QFETCH(QByteArray, headerCode);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(position);
    const Bytes before = rom.All();
    Bytes expected = before;
    const std::int64_t entry = rom.Entry(position);
    const auto descriptionAt =
        static_cast<std::int64_t>((before[entry + 20] | before[entry + 21] << 8 | before[entry + 22] << 16));

    switch (Edit(edit)) {
    case Edit::Nothing:
        break;
    case Edit::PriceToMaximum:
        harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("65535"));
        Apply(expected, entry + 16, {0xFF, 0xFF});
        break;
    case Edit::IndexEmptied:
        harness.Retype(harness.Line(QStringLiteral("index")), QString());
        Apply(expected, entry + 14, {0x00, 0x00});
        break;
    case Edit::FieldPointer:
        // Written whole: a routine's top byte with the six digits.
        harness.Retype(harness.Line(QStringLiteral("FUCP")), QStringLiteral("A1B2D"));
        Apply(expected, entry + 28, {0x2D, 0x1B, 0x0A, 0x08});
        break;
    case Edit::BattlePointer:
        harness.Retype(harness.Line(QStringLiteral("BUCP")), QStringLiteral("fedcbb"));
        Apply(expected, entry + 36, {0xBB, 0xDC, 0xFE, 0x08});
        break;
    case Edit::SpecialValues:
        harness.Combo(QStringLiteral("sp1"))->setCurrentIndex(200);
        harness.Combo(QStringLiteral("sp2"))->setCurrentIndex(255);
        Apply(expected, entry + 18, {200, 255});
        break;
    case Edit::Pocket:
        harness.Combo(QStringLiteral("pock"))->setCurrentIndex(4);
        Apply(expected, entry + 26, {4});
        break;
    case Edit::MysteryValues:
        harness.Combo(QStringLiteral("Mys1"))->setCurrentIndex(2);
        harness.Combo(QStringLiteral("Mys2"))->setCurrentIndex(0);
        Apply(expected, entry + 24, {2, 0});
        break;
    case Edit::BattleUsage:
        harness.Combo(QStringLiteral("Bu"))->setCurrentIndex(3);
        Apply(expected, entry + 32, {3});
        break;
    case Edit::TmMove:
        harness.Combo(QStringLiteral("cboattack"))->setCurrentIndex(14);
        Apply(expected, rom.Tables().tmData + 2, {0x0F, 0x00});
        break;
    case Edit::NonTmItemKeepsMoves:
        harness.Combo(QStringLiteral("cboattack"))->setCurrentIndex(20);
        harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("7"));
        Apply(expected, entry + 16, {0x07, 0x00});
        break;
    case Edit::Name: {
        harness.Retype(harness.Line(QStringLiteral("iname")), QStringLiteral("Zap"));
        Bytes name = Encoded(U"Zap");
        name.resize(14, 0xFF);
        Apply(expected, entry, name);
        break;
    }
    case Edit::DescriptionWithLineBreak: {
        QPlainTextEdit* description = harness.Description();
        description->setFocus();
        description->selectAll();
        QTest::keyClick(description, Qt::Key_Backspace);
        TypeInto(description, QStringLiteral("A\nB"));
        QCOMPARE(harness.Line(QStringLiteral("Text1"))->text(), QStringLiteral("4"));
        Apply(expected, descriptionAt, {0xBB, 0xFE, 0xBC, 0xFF});
        break;
    }
    case Edit::PastedPointer: {
        QLineEdit* pointer = harness.Line(QStringLiteral("FUCP"));
        pointer->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("0x12-34_5z"));
        pointer->paste();
        QCOMPARE(pointer->text(), QStringLiteral("012345"));
        Apply(expected, entry + 28, {0x45, 0x23, 0x01, 0x08});
        break;
    }
    }

    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, QStringLiteral("Quillbox"));
    QCOMPARE(harness.messages[0].text, QStringLiteral("Item Changed"));
    const Bytes after = rom.All();
    QCOMPARE(DifferingOffsets(expected, after), std::vector<std::int64_t>{});
    QCOMPARE(after != before, Edit(edit) != Edit::Nothing);
    // The list is rebuilt and the item shown again as read back from the file.
    const std::map<QByteArray, int> listed{{"BPRE", 375}, {"BPEE", 377}, {"AXVE", 349}};
    QCOMPARE(harness.Items()->count(), listed.at(headerCode));
    QCOMPARE(harness.Items()->currentRow(), position);
    QCOMPARE(harness.Line(QStringLiteral("price"))->text(), QString::number(Le16(after, std::size_t(entry + 16))));
    QCOMPARE(harness.Line(QStringLiteral("Text1"))->text(), harness.Line(QStringLiteral("Text2"))->text());
    if (Edit(edit) == Edit::Name) {
        // The rest of the field holds end marks, which the list drops like every end mark.
        QCOMPARE(harness.Items()->item(position)->text(), QStringLiteral("Zap"));
        QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), QStringLiteral("Zap"));
    }
    if (Edit(edit) == Edit::DescriptionWithLineBreak) {
        QCOMPARE(harness.Description()->toPlainText(), QStringLiteral("A\nB"));
        QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), QStringLiteral("4"));
    }
}

void ItemEditTest::saveRefusalsWriteNothing_data()
{
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("title");
    QTest::newRow("name of 14 characters") << int(Refusal::NameTooLong) << QStringLiteral("Error: 10");
    // The save asks to move the text to free space; the harness declines, so nothing is written.
    QTest::newRow("description past its room") << int(Refusal::DescriptionTooLong) << QStringLiteral("Quillbox");
    QTest::newRow("write fails") << int(Refusal::WriteFails) << QStringLiteral("Error: 3");
}

void ItemEditTest::saveRefusalsWriteNothing()
{
    QFETCH(int, refusal);
    QFETCH(QString, title);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(30);
    const Bytes before = rom.All();
    harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("1234"));
    std::optional<FailingWrites> failing;
    switch (Refusal(refusal)) {
    case Refusal::NameTooLong:
        harness.Retype(harness.Line(QStringLiteral("iname")), QStringLiteral("ABCDEFGHIJKLMN"));
        QCOMPARE(harness.Line(QStringLiteral("iname"))->text().size(), 14);
        break;
    case Refusal::DescriptionTooLong: {
        // Line breaks replaced by letters need more bytes than the room, though the count fits.
        QPlainTextEdit* description = harness.Description();
        const QString longer = description->toPlainText().replace(u'\n', QStringLiteral("xy"));
        QGuiApplication::clipboard()->setText(longer + QStringLiteral("zz"));
        description->selectAll();
        description->paste();
        break;
    }
    case Refusal::WriteFails:
        failing.emplace();
        break;
    }
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, title);
    QVERIFY(!harness.messages[0].text.isEmpty());
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 0);
    failing.reset();
    QVERIFY(rom.All() == before);
    // The edits stay in the window for the user to correct.
    QCOMPARE(harness.Line(QStringLiteral("price"))->text(), QStringLiteral("1234"));
    QCOMPARE(harness.Items()->currentRow(), 30);
}

void ItemEditTest::unknownCharactersAskBeforeSaving_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes saves them as spaces") << true;
    QTest::newRow("No writes nothing") << false;
}

// The question is the real message box, found by its name and answered as a user would.
void ItemEditTest::unknownCharactersAskBeforeSaving()
{
    QFETCH(bool, yes);
    constexpr int kPosition = 20;
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Window().SetQuestionHandler({});
    harness.Open(rom);
    harness.Select(kPosition);
    const Bytes before = rom.All();
    const std::int64_t entry = rom.Entry(kPosition);
    const auto descriptionAt = static_cast<std::int64_t>(before[entry + 20] | before[entry + 21] << 8 | before[entry + 22] << 16);
    harness.Retype(harness.Line(QStringLiteral("iname")), QStringLiteral("Potion; x"));
    QGuiApplication::clipboard()->setText(QStringLiteral("A*B;"));
    harness.Description()->selectAll();
    harness.Description()->paste();

    QString title, text;
    QMessageBox::StandardButtons buttons;
    ModalAnswer answer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr || box->objectName() != QStringLiteral("unknownCharactersQuestion")) return;
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    harness.Button(QStringLiteral("save"))->click();

    QCOMPARE(title, QStringLiteral("Quillbox"));
    QCOMPARE(text, QStringLiteral("\";\" and \"*\" cannot be written in this game and would be saved as spaces. Save anyway?"));
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
    if (!yes) {
        QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
        QVERIFY(rom.All() == before);
        QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), QStringLiteral("Potion; x"));
        QCOMPARE(harness.Description()->toPlainText(), QStringLiteral("A*B;"));
        return;
    }
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].text, QStringLiteral("Item Changed"));
    Bytes expected = before;
    Bytes name = Encoded(U"Potion  x");
    name.resize(14, 0xFF);
    Apply(expected, entry, name);
    Apply(expected, descriptionAt, {0xBB, 0x00, 0xBC, 0x00, 0xFF});
    QCOMPARE(DifferingOffsets(expected, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), QStringLiteral("Potion  x"));
    QCOMPARE(harness.Description()->toPlainText(), QStringLiteral("A B "));
}

void ItemEditTest::storedValuesTheWindowCannotShowSurviveASave_data()
{
    QTest::addColumn<int>("case_");
    QTest::newRow("values without a list entry") << int(Unshowable::UnlistedValues);
    QTest::newRow("name decoding to 52 characters") << int(Unshowable::LongName);
    QTest::newRow("name filling 14 bytes without an end mark") << int(Unshowable::NameWithoutEndMark);
    QTest::newRow("name with letters after its end mark") << int(Unshowable::LettersAfterTheEndMark);
    QTest::newRow("description without an end mark") << int(Unshowable::UnreadableDescription);
    QTest::newRow("description pointer below the ROM") << int(Unshowable::PointerBelowTheRom);
    QTest::newRow("description pointer past the file") << int(Unshowable::PointerPastTheFile);
}

void ItemEditTest::storedValuesTheWindowCannotShowSurviveASave()
{
    QFETCH(int, case_);
    SampleRom rom("BPRE");
    const int position = 300;
    const std::int64_t entry = rom.Entry(position);
    switch (Unshowable(case_)) {
    case Unshowable::UnlistedValues:
        rom.Write(entry + 24, {3, 2, 6});
        rom.Write(entry + 32, {9});
        rom.Write(rom.Tables().tmData + 2 * (position - 289), {0x90, 0x01});
        break;
    case Unshowable::LongName: {
        Bytes name = Encoded(U"[Lv]");
        name.resize(13, name[0]);
        name.push_back(0xFF);
        rom.Write(entry, name);
        break;
    }
    case Unshowable::NameWithoutEndMark:
        rom.Write(entry, Encoded(U"Abcdefghijklmn"));
        break;
    case Unshowable::LettersAfterTheEndMark: {
        Bytes name = Encoded(U"Ab  ");
        name.push_back(0xFF);
        const Bytes rest = Encoded(U"Old Name ");
        name.insert(name.end(), rest.begin(), rest.end());
        rom.Write(entry, name);
        break;
    }
    case Unshowable::UnreadableDescription:
        rom.Write(0xC00000, Bytes(300, 0xBB));
        rom.Write(entry + 20, {0x00, 0x00, 0xC0, 0x08});
        break;
    case Unshowable::PointerBelowTheRom:
        rom.Write(entry + 20, {0x00, 0x10, 0x00, 0x00});
        break;
    case Unshowable::PointerPastTheFile:
        rom.Write(entry + 20, {0x00, 0x00, 0x00, 0x0A});
        break;
    }
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(position);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    const Bytes before = rom.All();
    harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("77"));
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    const Bytes after = rom.All();
    std::vector<std::int64_t> priceOnly;
    for (std::int64_t offset : {entry + 16, entry + 17}) {
        if (before[offset] != after[offset]) priceOnly.push_back(offset);
    }
    QCOMPARE(DifferingOffsets(before, after), priceOnly);
    QCOMPARE(Le16(after, std::size_t(entry + 16)), 77);
}

void ItemEditTest::descriptionRepoint_data()
{
    QTest::addColumn<QByteArray>("place");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("room");
    QTest::newRow("text with a line break") << QByteArray("\xBB\xFE\xBC\xFF", 4) << QStringLiteral("A\nB") << 4;
    QTest::newRow("thirty free bytes") << (QByteArray(30, '\xFF') + QByteArray("\x01", 1)) << QString() << 30;
    QTest::newRow("two hundred free bytes") << QByteArray(200, '\xFF') << QString() << 110;
}

void ItemEditTest::descriptionRepoint()
{
    QFETCH(QByteArray, place);
    QFETCH(QString, shown);
    QFETCH(int, room);
    SampleRom rom("BPRE");
    const std::int64_t at = 0xC23456;
    rom.Write(at - 1, {0x01});
    rom.Write(at, Bytes(place.begin(), place.end()));
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(5);
    const Bytes before = rom.All();
    const QString priceBefore = harness.Line(QStringLiteral("price"))->text();
    harness.Retype(harness.Line(QStringLiteral("Text3")), QStringLiteral("c23456"));
    harness.Button(QStringLiteral("Command2"))->click();
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    Bytes expected = before;
    Apply(expected, rom.Entry(5) + 20, {0x56, 0x34, 0xC2, 0x08});
    QCOMPARE(DifferingOffsets(expected, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(harness.Description()->toPlainText(), shown);
    QCOMPARE(harness.Line(QStringLiteral("Text1"))->text(), QString::number(shown.size() + shown.count(u'\n')));
    QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), QString::number(room));
    QCOMPARE(harness.Line(QStringLiteral("Text3"))->text(), QStringLiteral("C23456"));
    QCOMPARE(harness.Line(QStringLiteral("price"))->text(), priceBefore);

    // The room binds typing, and a save writes the text at the new place.
    QPlainTextEdit* description = harness.Description();
    description->setFocus();
    description->moveCursor(QTextCursor::End);
    if (shown.isEmpty()) {
        QTest::keyClicks(description, QStringLiteral("Hi"));
        QCOMPARE(description->toPlainText(), QStringLiteral("Hi"));
    } else {
        QTest::keyClicks(description, QStringLiteral("Z"));
        QCOMPARE(description->toPlainText(), shown);
        description->selectAll();
        QTest::keyClick(description, Qt::Key_Backspace);
        QTest::keyClicks(description, QStringLiteral("Hi"));
    }
    const Bytes beforeSave = rom.All();
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    Bytes saved = beforeSave;
    Bytes text = Encoded(U"Hi");
    text.push_back(0xFF);
    Apply(saved, at, text);
    QCOMPARE(DifferingOffsets(saved, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(harness.Description()->toPlainText(), QStringLiteral("Hi"));
}

void ItemEditTest::descriptionRepointRefusals_data()
{
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("title");
    QTest::newRow("at the end of the file") << QStringLiteral("1000000") << QStringLiteral("Error: 4");
    QTest::newRow("past the end of the file") << QStringLiteral("7FFFFFF") << QStringLiteral("Error: 4");
}

void ItemEditTest::descriptionRepointRefusals()
{
    QFETCH(QString, offset);
    QFETCH(QString, title);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(5);
    const Bytes before = rom.All();
    const QString shown = harness.Description()->toPlainText();
    const QString room = harness.Line(QStringLiteral("Text2"))->text();
    harness.Retype(harness.Line(QStringLiteral("Text3")), offset);
    harness.Button(QStringLiteral("Command2"))->click();
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, title);
    QVERIFY(rom.All() == before);
    QCOMPARE(harness.Description()->toPlainText(), shown);
    QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), room);
    // A save afterwards still writes the description where it was.
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    QVERIFY(rom.All() == before);
}

void ItemEditTest::descriptionRepointWithoutAnEndMarkWithinReach()
{
    SampleRom rom("BPRE");
    rom.Write(0xC00000, Bytes(200, 0xBB));
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(5);
    const Bytes before = rom.All();
    harness.Retype(harness.Line(QStringLiteral("Text3")), QStringLiteral("C00000"));
    harness.Button(QStringLiteral("Command2"))->click();
    // The pointer is written; the text there has no end within reach, so it shows empty with no room.
    Bytes expected = before;
    Apply(expected, rom.Entry(5) + 20, {0x00, 0x00, 0xC0, 0x08});
    QCOMPARE(DifferingOffsets(expected, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, QStringLiteral("Quillbox"));
    QVERIFY(harness.messages[0].text.contains(QStringLiteral("C00000")));
    QCOMPARE(harness.Description()->toPlainText(), QString());
    QCOMPARE(harness.Line(QStringLiteral("Text1"))->text(), QStringLiteral("0"));
    QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), QStringLiteral("0"));
    QTest::keyClicks(harness.Description(), QStringLiteral("a"));
    QCOMPARE(harness.Description()->toPlainText(), QString());
    // A save that leaves the description untouched writes nothing over the text found there.
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    QCOMPARE(DifferingOffsets(expected, rom.All()), std::vector<std::int64_t>{});
}

void ItemEditTest::imageRepoint_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("palette");
    QTest::addColumn<QByteArray>("imageBytes");
    QTest::addColumn<QByteArray>("paletteBytes");
    QTest::newRow("full offsets") << QStringLiteral("3D4000") << QStringLiteral("901000")
                                  << QByteArray("\x00\x40\x3D", 3) << QByteArray("\x00\x10\x90", 3);
    QTest::newRow("short palette offset") << QStringLiteral("900000") << QStringLiteral("ABC")
                                          << QByteArray("\x00\x00\x90", 3) << QByteArray("\xBC\x0A\x00", 3);
    QTest::newRow("emptied image offset")
        << QString() << QStringLiteral("900000") << QByteArray(3, '\0') << QByteArray("\x00\x00\x90", 3);
}

void ItemEditTest::imageRepoint()
{
    QFETCH(QString, image);
    QFETCH(QString, palette);
    QFETCH(QByteArray, imageBytes);
    QFETCH(QByteArray, paletteBytes);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(5);
    const Bytes before = rom.All();
    harness.Retype(harness.Line(QStringLiteral("IMGOFF")), image);
    harness.Retype(harness.Line(QStringLiteral("PALOFF")), palette);
    harness.Button(QStringLiteral("Command3"))->click();
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    Bytes expected = before;
    const std::int64_t entry = rom.Tables().imgData + 8 * 5;
    Apply(expected, entry, Bytes(imageBytes.begin(), imageBytes.end()));
    Apply(expected, entry + 4, Bytes(paletteBytes.begin(), paletteBytes.end()));
    QCOMPARE(DifferingOffsets(expected, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(rom.All()[std::size_t(entry + 3)], before[std::size_t(entry + 3)]);
    QCOMPARE(rom.All()[std::size_t(entry + 7)], before[std::size_t(entry + 7)]);
}

void ItemEditTest::imageRepointRedrawsTheIcon()
{
    SampleRom rom("BPEE");
    WindowHarness harness;
    harness.Open(rom);
    auto* picture = harness.Find<QLabel>(QStringLiteral("picItem"));
    harness.Select(4);
    const QString otherImage = harness.Line(QStringLiteral("IMGOFF"))->text();
    const QString otherPalette = harness.Line(QStringLiteral("PALOFF"))->text();
    const QImage otherIcon = picture->grab().toImage();
    harness.Select(3);
    const QImage ownIcon = picture->grab().toImage();
    QVERIFY(ownIcon != otherIcon);

    harness.Retype(harness.Line(QStringLiteral("IMGOFF")), otherImage);
    harness.Retype(harness.Line(QStringLiteral("PALOFF")), otherPalette);
    harness.Button(QStringLiteral("Command3"))->click();
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QCOMPARE(picture->grab().toImage(), otherIcon);

    // Shown again, the item has the new offsets and the same icon.
    harness.Select(0);
    harness.Select(3);
    QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), otherImage);
    QCOMPARE(harness.Line(QStringLiteral("PALOFF"))->text(), otherPalette);
    QCOMPARE(picture->grab().toImage(), otherIcon);
}

void ItemEditTest::imageRepointPastTheEndWritesNothing()
{
    SampleRom rom("BPRE");
    rom.Resize(0xA00000);
    WindowHarness harness;
    harness.Open(rom);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    harness.Select(6);
    auto* picture = harness.Find<QLabel>(QStringLiteral("picItem"));
    const QImage icon = picture->grab().toImage();
    const Bytes before = rom.All();
    harness.Retype(harness.Line(QStringLiteral("IMGOFF")), QStringLiteral("A00000"));
    harness.Button(QStringLiteral("Command3"))->click();
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, QStringLiteral("Error: 4"));
    QVERIFY(rom.All() == before);
    QCOMPARE(picture->grab().toImage(), icon);
}

}  // namespace quillbox::test
