#include "EditMenuTest.h"

#include "AppTestSupport.h"

#include "rom/History.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace quillbox::test {

namespace {

constexpr int kPosition = 13;

QString Entry(const WindowHarness& harness, const QString& name)
{
    QAction* action = harness.Action(name);
    return action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
}

// Renames and reprices the item and saves it, answering "Item Changed".
void SaveAs(WindowHarness& harness, const QString& name, const QString& price)
{
    harness.Select(kPosition);
    harness.Retype(harness.Line(QStringLiteral("iname")), name);
    harness.Retype(harness.Line(QStringLiteral("price")), price);
    harness.Button(QStringLiteral("save"))->click();
}

}  // namespace

void EditMenuTest::undoAndRedoOfASave()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo (off)"));
    harness.Open(rom);
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo (off)"));
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditRedo")), QStringLiteral("&Redo (off)"));
    harness.Select(kPosition);
    const QStringList shownBefore = ShownItem(harness);
    const Bytes before = rom.All();

    SaveAs(harness, QStringLiteral("ELIXIR&CO"), QStringLiteral("4321"));
    const Bytes after = rom.All();
    QVERIFY(after != before);
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo Save of ELIXIR&&CO"));
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditRedo")), QStringLiteral("&Redo (off)"));
    const QStringList shownAfter = ShownItem(harness);

    // The shortcuts work from the item list as from the menu.
    harness.Select(0);
    harness.Items()->setFocus();
    QTest::keyClick(harness.Items(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY2(rom.All() == before, qPrintable(harness.MessageLog()));
    QCOMPARE(harness.Items()->currentRow(), kPosition);
    QCOMPARE(ShownItem(harness), shownBefore);
    QCOMPARE(harness.Items()->item(kPosition)->text(), shownBefore.first());
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo (off)"));
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditRedo")), QStringLiteral("&Redo Save of ELIXIR&&CO"));

    QTest::keyClick(harness.Items(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(rom.All(), after);
    QCOMPARE(ShownItem(harness), shownAfter);
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo Save of ELIXIR&&CO"));
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditRedo")), QStringLiteral("&Redo (off)"));
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    QCOMPARE(harness.messages.size(), std::size_t{1});
}

void EditMenuTest::undoOutlastsTheWindow()
{
    SampleRom rom("BPGE");
    const Bytes before = rom.All();
    {
        WindowHarness harness;
        harness.Open(rom);
        SaveAs(harness, QStringLiteral("TONIC"), QStringLiteral("77"));
    }
    QVERIFY(rom.All() != before);
    WindowHarness harness;
    harness.Open(rom);
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo Save of TONIC"));
    harness.Action(QStringLiteral("mnuEditUndo"))->trigger();
    QCOMPARE(rom.All(), before);
    QCOMPARE(harness.Line(QStringLiteral("price"))->text(), QString::number(Le16(before, static_cast<std::size_t>(rom.Entry(kPosition) + 16))));
}

void EditMenuTest::refusedUndoShowsWhyAndWritesNothing()
{
    SampleRom rom("BPEE");
    WindowHarness harness;
    harness.Open(rom);
    SaveAs(harness, QStringLiteral("TONIC"), QStringLiteral("77"));
    const std::int64_t price = rom.Entry(kPosition) + 16;
    rom.Write(price, {0x4E});  // another program writes there meanwhile
    const Bytes changed = rom.All();
    harness.messages.clear();
    harness.Action(QStringLiteral("mnuEditUndo"))->trigger();
    QCOMPARE(harness.messages.size(), std::size_t{1});
    QCOMPARE(harness.messages.front().title, QStringLiteral("Error: 24"));
    QVERIFY2(harness.messages.front().text.contains(QString::number(price, 16).toUpper()), qPrintable(harness.MessageLog()));
    QCOMPARE(rom.All(), changed);
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo Save of TONIC"));
}

void EditMenuTest::withoutHistoryNothingIsKept()
{
    SampleRom rom("AXVE");
    WindowHarness harness;
    QAction* keep = harness.Action(QStringLiteral("mnuEditKeepHistory"));
    QVERIFY(keep->isCheckable() && keep->isChecked());
    keep->trigger();
    // The choice holds for every ROM opened afterwards.
    harness.Open(rom);
    const Bytes before = rom.All();
    SaveAs(harness, QStringLiteral("TONIC"), QStringLiteral("77"));
    QVERIFY(rom.All() != before);
    QVERIFY(!std::filesystem::exists(HistoryPathOf(rom.Path())));
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo (off)"));
    keep->trigger();
    SaveAs(harness, QStringLiteral("ETHER"), QStringLiteral("78"));
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo Save of ETHER"));
}

// The dialog starts at the item shown; the new item lands in the first unused id that can heal,
// is shown and listed, and one undo takes it out again.
void EditMenuTest::addItemShowsTheNewItemAndUndoesWhole()
{
    SampleRom rom("BPEE");
    WindowHarness harness;
    QVERIFY(!harness.Action(QStringLiteral("mnuEditAddItem"))->isEnabled());
    harness.Open(rom);
    harness.Select(kPosition);
    const Bytes before = rom.All();
    const QString unused = harness.Items()->item(52)->text();
    int offered = -1;
    ModalAnswer answer([&](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        QVERIFY(dialog != nullptr);
        auto* like = dialog->findChild<QComboBox*>(QStringLiteral("cboAddItemLike"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("txtAddItemName"));
        QVERIFY(like != nullptr && name != nullptr);
        offered = like->currentIndex();
        name->setText(QStringLiteral("MEGA POTION"));
        dialog->accept();
    });
    harness.Action(QStringLiteral("mnuEditAddItem"))->trigger();
    QVERIFY(answer.Answered());
    QCOMPARE(offered, kPosition);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QCOMPARE(harness.Items()->currentRow(), 52);
    QCOMPARE(harness.Items()->item(52)->text(), QStringLiteral("MEGA POTION"));
    QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), QStringLiteral("MEGA POTION"));
    QVERIFY(rom.All() != before);
    QCOMPARE(Entry(harness, QStringLiteral("mnuEditUndo")), QStringLiteral("&Undo Add Item of MEGA POTION"));
    harness.Action(QStringLiteral("mnuEditUndo"))->trigger();
    QCOMPARE(rom.All(), before);
    QCOMPARE(harness.Items()->item(52)->text(), unused);
}

}  // namespace quillbox::test
