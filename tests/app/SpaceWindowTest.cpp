#include "SpaceWindowTest.h"

#include "AppTestSupport.h"
#include "items/record/ItemOperations.h"
#include "text/GameText.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>

namespace quillbox::test {

namespace {

constexpr int kPosition = 30;
constexpr int kSharing = 31;  // made to share item 30's description

// Items 30 and 31 share item 30's description.
void ShareDescription(SampleRom& rom)
{
    rom.Write(rom.Entry(kSharing) + 20, rom.Read(rom.Entry(kPosition) + 20, 4));
}

std::int64_t DescriptionPointer(const Bytes& file, std::int64_t entry)
{
    return static_cast<std::int64_t>(Le16(file, std::size_t(entry + 20)) | Le16(file, std::size_t(entry + 22)) << 16) -
           0x08000000;
}

void Paste(WindowHarness& harness, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    harness.Description()->selectAll();
    harness.Description()->paste();
}

}  // namespace

void SpaceWindowTest::descriptionSavePastItsRoomOrShared_data()
{
    QTest::addColumn<bool>("shared");
    QTest::addColumn<bool>("longer");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<bool>("othersFollow");
    QTest::newRow("longer, moved") << false << true << int(QMessageBox::Yes) << true << false;
    QTest::newRow("longer, declined") << false << true << int(QMessageBox::No) << false << false;
    QTest::newRow("shared, changed for all in place") << true << false << int(QMessageBox::Yes) << false << true;
    QTest::newRow("shared, own copy") << true << false << int(QMessageBox::No) << true << false;
    QTest::newRow("shared and longer, moved for all") << true << true << int(QMessageBox::Yes) << true << true;
    QTest::newRow("shared, cancelled") << true << true << int(QMessageBox::Cancel) << false << false;
}

// The question names where the text would go; the file then differs from before by exactly the
// text and the pointers that were promised, and the item shows the text as stored.
void SpaceWindowTest::descriptionSavePastItsRoomOrShared()
{
    QFETCH(bool, shared);
    QFETCH(bool, longer);
    QFETCH(int, answer);
    QFETCH(bool, moves);
    QFETCH(bool, othersFollow);
    SampleRom rom("BPRE");
    if (shared) ShareDescription(rom);
    WindowHarness harness;
    harness.questionAnswer = QMessageBox::StandardButton(answer);
    harness.Open(rom);
    harness.Select(kPosition);
    const QString old = harness.Description()->toPlainText();
    const QString text = longer ? old + old + old : QStringLiteral("Short");
    Paste(harness, text);
    const Bytes before = rom.All();
    const std::int64_t oldPlace = DescriptionPointer(before, rom.Entry(kPosition));
    harness.Button(QStringLiteral("save"))->click();

    const bool saved = answer != int(QMessageBox::Cancel) && (shared || answer == int(QMessageBox::Yes));
    QVERIFY2(!harness.messages.empty(), "the save asks first");
    QCOMPARE(harness.messages[0].title, QStringLiteral("Quillbox"));
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), saved ? 1 : 0);
    if (!saved) {
        QVERIFY(rom.All() == before);
        QCOMPARE(harness.Description()->toPlainText(), text);
        return;
    }
    const Bytes after = rom.All();
    const std::int64_t place = DescriptionPointer(after, rom.Entry(kPosition));
    QCOMPARE(place != oldPlace, moves);
    if (moves) {
        QVERIFY2(harness.messages[0].text.contains(QString::number(place, 16).toUpper()), qPrintable(harness.messages[0].text));
    }
    Bytes expected = before;
    Bytes encoded = Encoded(ReplaceAll(text.toStdU32String(), U"\n", U"\\n"));
    encoded.push_back(0xFF);
    std::copy(encoded.begin(), encoded.end(), expected.begin() + place);
    std::copy(after.begin() + rom.Entry(kPosition) + 20, after.begin() + rom.Entry(kPosition) + 24,
              expected.begin() + rom.Entry(kPosition) + 20);
    if (shared && othersFollow) {
        std::copy(after.begin() + rom.Entry(kPosition) + 20, after.begin() + rom.Entry(kPosition) + 24,
                  expected.begin() + rom.Entry(kSharing) + 20);
    }
    QCOMPARE(DifferingOffsets(expected, after), std::vector<std::int64_t>{});
    QCOMPARE(harness.Description()->toPlainText(), text);
    QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), harness.Line(QStringLiteral("Text1"))->text());
    if (shared) {
        harness.Select(kSharing);
        QCOMPARE(harness.Description()->toPlainText() == text, othersFollow);
    }
}

void SpaceWindowTest::typingPastTheRoomWhenAllowed()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kPosition);
    QPlainTextEdit* description = harness.Description();
    const QString full = description->toPlainText();
    description->setFocus();
    description->moveCursor(QTextCursor::End);
    QTest::keyClicks(description, QStringLiteral("Z"));
    QCOMPARE(description->toPlainText(), full);
    harness.Window().findChild<QAction*>(QStringLiteral("mnuAllowLongerDescription"))->setChecked(true);
    QTest::keyClicks(description, QStringLiteral("More"));
    QCOMPARE(description->toPlainText(), full + QStringLiteral("More"));
}

void SpaceWindowTest::iconExportedAndImportedElsewhere()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(3);
    const QString png = rom.Folder() + QStringLiteral("/three.png");
    harness.imageFileAnswer = png;
    harness.Window().findChild<QAction*>(QStringLiteral("mnuExportIcon"))->trigger();
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    const QImage three = harness.Find<QLabel>(QStringLiteral("picItem"))->pixmap().toImage();

    harness.Select(4);
    const QString priceTyped = QStringLiteral("4321");
    harness.Retype(harness.Line(QStringLiteral("price")), priceTyped);
    harness.Window().findChild<QAction*>(QStringLiteral("mnuImportIcon"))->trigger();
    QCOMPARE(harness.messages.size(), 1u);
    QVERIFY2(harness.messages[0].text.contains(QStringLiteral("imported")), qPrintable(harness.messages[0].text));
    QCOMPARE(harness.Find<QLabel>(QStringLiteral("picItem"))->pixmap().toImage(), three);
    const auto* undo = harness.Window().findChild<QAction*>(QStringLiteral("mnuEditUndo"));
    QVERIFY2(undo->isEnabled() && undo->text().startsWith(QStringLiteral("&Undo Import Icon of ")), qPrintable(undo->text()));
    // The import leaves the other edits of the item alone.
    QCOMPARE(harness.Line(QStringLiteral("price"))->text(), priceTyped);
    harness.Select(5);
    harness.Select(4);
    QCOMPARE(harness.Find<QLabel>(QStringLiteral("picItem"))->pixmap().toImage(), three);
}

void SpaceWindowTest::sharingTipsAndRepointNotices()
{
    SampleRom rom("BPRE");
    ShareDescription(rom);
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kPosition);
    QVERIFY2(harness.Window().SharingTip(harness.Description()).contains(QStringLiteral("shared with 1 other item (31)")),
             qPrintable(harness.Window().SharingTip(harness.Description())));
    const QString iconTip = harness.Window().SharingTip(harness.Find<QLabel>(QStringLiteral("picItem")));
    QVERIFY2(iconTip.contains(QStringLiteral("Image shared with")), qPrintable(iconTip));
    harness.Select(40);
    QVERIFY(harness.Window().SharingTip(harness.Description()).contains(QStringLiteral("used by this item only")));

    const QString sharedText = QString::number(DescriptionPointer(rom.All(), rom.Entry(kPosition)), 16);
    struct Place {
        QString offset;
        QString says;
    };
    for (const Place& place : {Place{QStringLiteral("F00000"), QStringLiteral("was free space")},
                               Place{sharedText, QStringLiteral("held text used by 2 other items")},
                               Place{QStringLiteral("100"), QStringLiteral("held data no item uses")}}) {
        harness.Retype(harness.Line(QStringLiteral("Text3")), place.offset);
        harness.Button(QStringLiteral("Command2"))->click();
        QVERIFY2(harness.Window().LastNotice().contains(place.says), qPrintable(harness.Window().LastNotice()));
    }
    harness.Retype(harness.Line(QStringLiteral("IMGOFF")), QStringLiteral("F00000"));
    harness.Button(QStringLiteral("Command3"))->click();
    QVERIFY2(harness.Window().LastNotice().startsWith(QStringLiteral("The new image place was free space.")),
             qPrintable(harness.Window().LastNotice()));
    QVERIFY2(harness.Window().LastNotice().contains(QStringLiteral("palette place held data used by")),
             qPrintable(harness.Window().LastNotice()));
}

}  // namespace quillbox::test
