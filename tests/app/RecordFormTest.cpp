#include "RecordFormTest.h"

#include "AppTestSupport.h"
#include "editor/ItemForm.h"

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QTest>

#include <set>

namespace quillbox::test {

namespace {

// An item with routines of its own in every sample (medicine, balls, mail and the like share theirs).
constexpr int kPosition = 200;

// Where each control's field lies in the 44-byte record, as the games' item structure lays it out.
struct FieldPlace {
    const char* control;
    int offset;
    int width;
};
constexpr FieldPlace kFieldPlaces[] = {{"iname", 0, 14},   {"index", 14, 2},  {"price", 16, 2},  {"sp1", 18, 1},
                                       {"sp2", 19, 1},     {"Mys1", 24, 1},   {"Mys2", 25, 1},   {"pock", 26, 1},
                                       {"itemType", 27, 1}, {"FUCP", 28, 3},  {"Bu", 32, 1},     {"BUCP", 36, 3},
                                       {"secondaryId", 40, 1}};

Bytes Slice(const Bytes& bytes, std::int64_t at, int count)
{
    return Bytes(bytes.begin() + at, bytes.begin() + at + count);
}

Bytes LittleEndian(std::uint32_t value, int width)
{
    Bytes bytes;
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<Byte>(value >> (8 * i)));
    return bytes;
}

std::uint32_t ReadLittleEndian(const Bytes& bytes, std::int64_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[static_cast<std::size_t>(at + i)];
    return value;
}

QString Words(const WindowHarness& harness, const char* control)
{
    return harness.Find<QLabel>(QString::fromLatin1(control) + QStringLiteral("Words"))->text();
}

}  // namespace

void RecordFormTest::everyFieldRoundTripsThroughItsControl_data()
{
    // Every field a save reads from a control of its own has its place in the table above.
    std::set<std::string> placed;
    for (const FieldPlace& place : kFieldPlaces) placed.insert(place.control);
    std::set<std::string> read;
    for (const FormControl& control : FormControls()) {
        if (control.field != nullptr) read.insert(std::string(control.control));
    }
    QCOMPARE(read, placed);

    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("width");
    for (const char* game : {"BPRE", "AXVE"}) {
        for (const FieldPlace& place : kFieldPlaces) {
            QTest::addRow("%s %s", game, place.control)
                << QByteArray(game) << QString::fromLatin1(place.control) << place.offset << place.width;
        }
    }
}

// A value changed in the control and saved lands in the field's bytes and nowhere else; the
// value shown before, put back and saved, gives back the file as it was.
void RecordFormTest::everyFieldRoundTripsThroughItsControl()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(QString, control);
    QFETCH(int, offset);
    QFETCH(int, width);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kPosition);
    const Bytes original = rom.All();
    const std::int64_t at = rom.Entry(kPosition) + offset;

    QWidget* widget = harness.Widget(control);
    QVERIFY2(widget->isEnabled(), qPrintable(control));
    Bytes changed;
    std::function<void()> putBack;
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        const int shown = list->currentIndex();
        QCOMPARE(shown, int(original[static_cast<std::size_t>(at)]));
        const int other = shown == 1 ? 2 : 1;  // listed by every coded byte, pocket and battle usage too
        list->setCurrentIndex(other);
        changed = {static_cast<Byte>(other)};
        putBack = [list, shown] { list->setCurrentIndex(shown); };
    } else {
        QLineEdit* line = harness.Line(control);
        const QString shown = line->text();
        if (control == QStringLiteral("iname")) {
            harness.Retype(line, QStringLiteral("Zap Qx"));
            changed = Encoded(U"Zap Qx");
            changed.resize(14, 0xFF);
        } else if (width == 2) {
            const std::uint32_t other = ReadLittleEndian(original, at, 2) ^ 0x0101;
            QCOMPARE(shown, QString::number(ReadLittleEndian(original, at, 2)));
            harness.Retype(line, QString::number(other));
            changed = LittleEndian(other, 2);
        } else {
            // Another routine: the Thumb bit kept, the offset inside the file.
            const std::uint32_t other = ReadLittleEndian(original, at, 3) ^ 0x010202;
            QCOMPARE(shown.toUInt(nullptr, 16), ReadLittleEndian(original, at, 3));
            harness.Retype(line, QStringLiteral("%1").arg(other, 6, 16, QLatin1Char('0')).toUpper());
            changed = LittleEndian(other, 3);
        }
        putBack = [&harness, line, shown] { harness.Retype(line, shown); };
    }
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.MessageLog(), QStringLiteral("Quillbox: Item Changed"));
    const Bytes saved = rom.All();
    QCOMPARE(Slice(saved, at, width), changed);
    for (std::int64_t differing : DifferingOffsets(original, saved)) {
        QVERIFY2(differing >= at && differing < at + width, qPrintable(QString::number(differing, 16)));
    }

    putBack();
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 2);
    QCOMPARE(DifferingOffsets(original, rom.All()), std::vector<std::int64_t>{});
}

void RecordFormTest::wordsSayWhatTheValueMeans_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("offset");
    QTest::addColumn<Bytes>("written");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("words");
    // Hold effects and pockets as the games' constants number them.
    QTest::newRow("hold effect 43") << QByteArray("BPRE") << 18 << Bytes{43} << QStringLiteral("sp1")
                                    << QStringLiteral("Leftovers");
    QTest::newRow("hold effect 2") << QByteArray("AXVE") << 18 << Bytes{2} << QStringLiteral("sp1")
                                   << QStringLiteral("Cures paralysis");
    QTest::newRow("parameter of a healing berry") << QByteArray("BPEE") << 18 << Bytes{1, 10} << QStringLiteral("sp2")
                                                  << QStringLiteral("Restores HP at half HP or less: 10 HP");
    QTest::newRow("FireRed pocket 3") << QByteArray("BPRE") << 26 << Bytes{3} << QStringLiteral("pock")
                                      << QStringLiteral("Poke Balls");
    QTest::newRow("Ruby pocket 3") << QByteArray("AXVE") << 26 << Bytes{3} << QStringLiteral("pock")
                                   << QStringLiteral("TM/HM's");
    QTest::newRow("important") << QByteArray("BPRE") << 24 << Bytes{1} << QStringLiteral("Mys1")
                               << QStringLiteral("Important");
    QTest::newRow("mail") << QByteArray("BPRE") << 27 << Bytes{0} << QStringLiteral("itemType") << QStringLiteral("Mail");
    QTest::newRow("no routine") << QByteArray("BPRE") << 28 << Bytes{0, 0, 0, 0} << QStringLiteral("FUCP")
                                << QStringLiteral("no routine");
    // Thumb code starts at odd addresses.
    QTest::newRow("even pointer") << QByteArray("BPRE") << 36 << Bytes{0x00, 0x01, 0x00, 0x08}
                                  << QStringLiteral("BUCP") << QStringLiteral("not a routine in this ROM");
    QTest::newRow("own routine") << QByteArray("BPRE") << 28 << Bytes{} << QStringLiteral("FUCP")
                                 << QStringLiteral("no other item uses this routine");
}

void RecordFormTest::wordsSayWhatTheValueMeans()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, offset);
    QFETCH(Bytes, written);
    QFETCH(QString, control);
    QFETCH(QString, words);
    SampleRom rom(headerCode.toStdString());
    rom.Write(rom.Entry(kPosition) + offset, written);
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kPosition);
    QCOMPARE(Words(harness, control.toLatin1().constData()), words);
    QVERIFY(!harness.Widget(control)->toolTip().isEmpty());
}

void RecordFormTest::wordsFollowTheEntryPicked()
{
    SampleRom rom("BPRE");
    // Three items share one field routine: the line names them in item order.
    const Bytes routine = rom.Read(rom.Entry(kPosition + 2) + 28, 4);
    rom.Write(rom.Entry(kPosition) + 28, routine);
    rom.Write(rom.Entry(kPosition + 5) + 28, routine);
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(kPosition);
    auto name = [&](int position) { return harness.Items()->item(position)->text(); };
    QCOMPARE(Words(harness, "FUCP"), QStringLiteral("used by 3 items: %1, %2, %3")
                                         .arg(name(kPosition), name(kPosition + 2), name(kPosition + 5)));
    // Picked, not saved: the words follow the control.
    QComboBox* holdEffect = harness.Combo(QStringLiteral("sp1"));
    QCOMPARE(holdEffect->itemText(43), QStringLiteral("43 Leftovers"));
    holdEffect->setCurrentIndex(43);
    QCOMPARE(Words(harness, "sp1"), QStringLiteral("Leftovers"));
    holdEffect->setCurrentIndex(1);
    harness.Combo(QStringLiteral("sp2"))->setCurrentIndex(25);
    QCOMPARE(Words(harness, "sp2"), QStringLiteral("Restores HP at half HP or less: 25 HP"));
    harness.Retype(harness.Line(QStringLiteral("FUCP")), QString());
    QCOMPARE(Words(harness, "FUCP"), QStringLiteral("no routine"));
    // Byte 40 is named as the item's pocket and type make the game read it.
    QComboBox* secondary = harness.Combo(QStringLiteral("secondaryId"));
    QCOMPARE(secondary->itemText(1), QStringLiteral("1"));
    harness.Combo(QStringLiteral("pock"))->setCurrentIndex(3);  // FireRed's Poké Balls pocket
    QCOMPARE(secondary->itemText(1), QStringLiteral("1 Ultra Ball"));
    secondary->setCurrentIndex(1);
    QCOMPARE(Words(harness, "secondaryId"), QStringLiteral("Ultra Ball"));
    harness.Combo(QStringLiteral("pock"))->setCurrentIndex(1);
    harness.Combo(QStringLiteral("itemType"))->setCurrentIndex(0);
    QCOMPARE(secondary->itemText(1), QStringLiteral("1 Harbor Mail"));
    QCOMPARE(secondary->currentIndex(), 1);
    QCOMPARE(Words(harness, "secondaryId"), QStringLiteral("Harbor Mail"));
    // Another item shows its own words; nothing was written.
    harness.Select(kPosition + 1);
    QCOMPARE(Words(harness, "FUCP"), QStringLiteral("no other item uses this routine"));
    QVERIFY(harness.messages.empty());
}

void RecordFormTest::useLikeCopiesTheModelsRoutines_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::newRow("FireRed, field row") << QByteArray("BPRE") << 220 << 240 << QStringLiteral("fieldUseLike");
    QTest::newRow("Ruby, battle row") << QByteArray("AXVE") << 225 << 60 << QStringLiteral("battleUseLike");
    QTest::newRow("Emerald, a later item") << QByteArray("BPEE") << 300 << 187 << QStringLiteral("fieldUseLike");
}

// The item takes the model's two routines and the type and secondary id they read, nothing else;
// Edit > Undo names the change and gives back the file byte for byte.
void RecordFormTest::useLikeCopiesTheModelsRoutines()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, position);
    QFETCH(int, model);
    QFETCH(QString, button);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(position);
    const Bytes before = rom.All();
    const Bytes record = Slice(before, rom.Entry(position), 44);
    const Bytes modelRecord = Slice(before, rom.Entry(model), 44);
    // Type (27), field routine (28-31), battle usage (32), battle routine (36-39) and secondary
    // id (40): the pointers whole.
    Bytes expected = record;
    for (int offset : {27, 28, 29, 30, 31, 32, 36, 37, 38, 39, 40}) expected[offset] = modelRecord[offset];
    QVERIFY(expected != record);

    harness.itemAnswer = model;
    harness.Button(button)->click();
    QCOMPARE(harness.offeredItems.size(), harness.Items()->count());
    QCOMPARE(harness.offeredItems.at(model), QString::number(model) + u' ' + harness.Items()->item(model)->text());
    const Bytes after = rom.All();
    QCOMPARE(Slice(after, rom.Entry(position), 44), expected);
    for (std::int64_t differing : DifferingOffsets(before, after)) {
        QVERIFY(differing >= rom.Entry(position) && differing < rom.Entry(position) + 44);
    }
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    // The item is shown again as the file now holds it.
    QCOMPARE(harness.Items()->currentRow(), position);
    for (const char* pointer : {"FUCP", "BUCP"}) {
        QCOMPARE(harness.Line(QString::fromLatin1(pointer))->text().toUInt(nullptr, 16),
                 ReadLittleEndian(modelRecord, pointer == std::string_view("FUCP") ? 28 : 36, 3));
    }
    QCOMPARE(harness.Combo(QStringLiteral("itemType"))->currentIndex(), int(modelRecord[27]));
    QCOMPARE(harness.Combo(QStringLiteral("secondaryId"))->currentIndex(), int(modelRecord[40]));
    QCOMPARE(Words(harness, "FUCP"), QStringLiteral("used by 2 items: %1, %2")
                                         .arg(harness.Items()->item(std::min(position, model))->text(),
                                              harness.Items()->item(std::max(position, model))->text()));

    QAction* undo = harness.Action(QStringLiteral("mnuEditUndo"));
    QCOMPARE(undo->text(), QStringLiteral("&Undo Use Like of ") + harness.Items()->item(position)->text());
    undo->trigger();
    QCOMPARE(DifferingOffsets(before, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(harness.Combo(QStringLiteral("secondaryId"))->currentIndex(), int(record[40]));
}

// The real question lists every item by number and name; cancelled, it writes nothing.
void RecordFormTest::cancelledUseLikeWritesNothing()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Window().SetItemChooser({});
    harness.Open(rom);
    harness.Select(kPosition);
    const Bytes before = rom.All();
    QStringList offered;
    ModalAnswer cancel([&](QWidget* modal) {
        auto* question = qobject_cast<QInputDialog*>(modal);
        QVERIFY(question != nullptr);
        offered = question->comboBoxItems();
        QVERIFY(question->labelText().contains(harness.Items()->item(kPosition)->text()));
        question->reject();
    });
    harness.Button(QStringLiteral("battleUseLike"))->click();
    QVERIFY(cancel.Answered());
    QCOMPARE(offered.size(), harness.Items()->count());
    QCOMPARE(offered.at(kPosition), QString::number(kPosition) + u' ' + harness.Items()->item(kPosition)->text());
    QCOMPARE(rom.All(), before);
    QVERIFY(harness.messages.empty());
    QVERIFY(!harness.Action(QStringLiteral("mnuEditUndo"))->isEnabled());
}

}  // namespace quillbox::test
