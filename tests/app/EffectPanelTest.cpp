#include "EffectPanelTest.h"

#include "AppTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

namespace quillbox::test {

namespace {

// The sample's records as the released games hold them: item 22 restores 50 HP on its own, item
// 13 restores 20 HP and item 44 names the same record.
constexpr int kOwnRecord = 22;
constexpr int kSharedRecord = 13;
constexpr int kSharer = 44;
constexpr int kHealHpByte = 6;  // after the six flag bytes, the first argument: byte 4's 0x04

std::int64_t RecordOf(const SampleRom& rom, int position)
{
    const Bytes entry = rom.Read(rom.Tables().effectData + 4 * (position - 13), 4);
    return (entry[0] | entry[1] << 8 | entry[2] << 16 | std::int64_t{entry[3]} << 24) - 0x08000000;
}

QSpinBox* HealHp(const WindowHarness& harness) { return harness.Find<QSpinBox>(QStringLiteral("effect_healHp")); }
QString EffectWords(const WindowHarness& harness) { return harness.Find<QLabel>(QStringLiteral("effectWords"))->text(); }

QList<QWidget*> EffectControls(const WindowHarness& harness)
{
    QList<QWidget*> controls = harness.Widget(QStringLiteral("effectPanel"))
                                   ->findChildren<QWidget*>(QRegularExpression(QStringLiteral("^effect_[A-Za-z]+$")));
    controls.append(harness.Button(QStringLiteral("effectSave")));
    return controls;
}

}  // namespace

void EffectPanelTest::savesAnHpChangeInPlace_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    for (const char* game : {"BPRE", "BPEE", "AXVE"}) QTest::newRow(game) << QByteArray(game);
}

void EffectPanelTest::savesAnHpChangeInPlace()
{
    QFETCH(QByteArray, headerCode);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kOwnRecord);
    QCOMPARE(EffectWords(harness), QStringLiteral("Restores 50 HP"));
    QCOMPARE(HealHp(harness)->value(), 50);
    QCOMPARE(HealHp(harness)->text(), QStringLiteral("50"));
    QVERIFY(!harness.Find<QCheckBox>(QStringLiteral("effect_revive"))->isChecked());
    QCOMPARE(harness.Find<QSpinBox>(QStringLiteral("effect_restorePp"))->text(), QStringLiteral("off"));
    for (QWidget* control : EffectControls(harness)) QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    const Bytes before = rom.All();

    HealHp(harness)->setValue(60);
    harness.Button(QStringLiteral("effectSave"))->click();
    QCOMPARE(harness.MessageLog(), QStringLiteral("Quillbox: Item Changed"));
    const std::int64_t healAt = RecordOf(rom, kOwnRecord) + kHealHpByte;
    QCOMPARE(DifferingOffsets(before, rom.All()), std::vector<std::int64_t>{healAt});
    QCOMPARE(int(rom.Read(healAt, 1)[0]), 60);
    QCOMPARE(EffectWords(harness), QStringLiteral("Restores 60 HP"));

    QAction* undo = harness.Action(QStringLiteral("mnuEditUndo"));
    QCOMPARE(undo->text(), QStringLiteral("&Undo Change Effect of ") + harness.Items()->item(kOwnRecord)->text());
    undo->trigger();
    QCOMPARE(DifferingOffsets(before, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(HealHp(harness)->value(), 50);
}

// A record two items name is said to be shared; changing it for one leaves the other's as it was.
void EffectPanelTest::sharedRecordIsNamedAndLeftToItsOtherItem()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kSharedRecord);
    QCOMPARE(EffectWords(harness),
             QStringLiteral("Restores 20 HP\nShared with 1 item: ") + harness.Items()->item(kSharer)->text());
    const Bytes sharedRecord = rom.Read(RecordOf(rom, kSharedRecord), 7);
    HealHp(harness)->setValue(25);
    harness.Button(QStringLiteral("effectSave"))->click();
    QCOMPARE(harness.MessageLog(), QStringLiteral("Quillbox: Item Changed"));
    QCOMPARE(HealHp(harness)->value(), 25);
    QCOMPARE(EffectWords(harness), QStringLiteral("Restores 25 HP"));
    QCOMPARE(rom.Read(RecordOf(rom, kSharer), 7), sharedRecord);
    harness.Select(kSharer);
    QCOMPARE(HealHp(harness)->value(), 20);
    QCOMPARE(EffectWords(harness), QStringLiteral("Restores 20 HP"));
}

void EffectPanelTest::refusedWriteIsShownAndChangesNothing()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kOwnRecord);
    const Bytes before = rom.All();
    HealHp(harness)->setValue(70);
    {
        FailingWrites failing;
        harness.Button(QStringLiteral("effectSave"))->click();
        QVERIFY(failing.attempts > 0);
    }
    QCOMPARE(harness.messages.size(), 1u);
    QVERIFY2(harness.messages[0].title.startsWith(QStringLiteral("Error: ")), qPrintable(harness.MessageLog()));
    QCOMPARE(rom.All(), before);
    QVERIFY(!harness.Action(QStringLiteral("mnuEditUndo"))->isEnabled());
}

void EffectPanelTest::unavailableEffectIsOffWithTheReason_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("reason");
    // The shipped profile names no item-effect table for LeafGreen.
    QTest::newRow("table unknown") << QByteArray("BPGE") << kOwnRecord
                                   << QStringLiteral("This ROM's item-effect table is unknown, so effects are not shown or written");
    // The table's entries run from POTION (13) to ENIGMA BERRY (175).
    QTest::newRow("no entry") << QByteArray("BPRE") << 176 << QStringLiteral("Only items 13 to 175 have an effect entry");
}

void EffectPanelTest::unavailableEffectIsOffWithTheReason()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, position);
    QFETCH(QString, reason);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    // An item with an effect shown first leaves nothing of it behind.
    harness.Select(kOwnRecord - 1);
    harness.Select(position);
    QCOMPARE(EffectWords(harness), reason);
    for (QWidget* control : EffectControls(harness)) QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    QCOMPARE(HealHp(harness)->text(), QStringLiteral("off"));
    const Bytes before = rom.All();
    harness.Button(QStringLiteral("effectSave"))->click();
    QCOMPARE(rom.All(), before);
    QVERIFY(harness.messages.size() <= 1u);  // LeafGreen's open may say which tables were left out
}

}  // namespace quillbox::test
