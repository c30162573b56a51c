#include "ItemDisplayTest.h"

#include "AppTestSupport.h"
#include "items/record/ItemOperations.h"
#include "text/GameText.h"

#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace quillbox::test {

namespace {

QString Hex3(const Bytes& bytes, std::size_t at)
{
    return QStringLiteral("%1%2%3")
        .arg(bytes[at + 2], 2, 16, QLatin1Char('0'))
        .arg(bytes[at + 1], 2, 16, QLatin1Char('0'))
        .arg(bytes[at], 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::int64_t Pointer(const Bytes& bytes, std::size_t at)
{
    const std::uint32_t value =
        bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t{bytes[at + 3]} << 24;
    return std::int64_t{value} - 0x08000000;
}

// The description as the window shows it: decoded up to the end mark, "\n" as a line break.
QString ExpectedDescription(const Bytes& file, std::int64_t offset)
{
    const Text decoded = DecodeGameText(std::span(file).subspan(static_cast<std::size_t>(offset), 256)).substr(0, 256);
    const std::size_t end = decoded.find(U"\\x");
    if (end == Text::npos) return QString();
    return QString::fromStdU32String(ReplaceAll(decoded.substr(0, end), U"\\n", U"\n"));
}

int CountedCharacters(const QString& shown) { return static_cast<int>(shown.size() + shown.count(u'\n')); }

}  // namespace

void ItemDisplayTest::everyFieldShowsTheFileBytes_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("position");
    for (int position : {0, 1, 2, 3, 150, 289, 346, 374}) {
        QTest::addRow("BPRE %d", position) << QByteArray("BPRE") << position;
    }
    for (int position : {4, 376}) {
        QTest::addRow("BPEE %d", position) << QByteArray("BPEE") << position;
    }
    for (int position : {5, 348}) {
        QTest::addRow("AXVE %d", position) << QByteArray("AXVE") << position;
    }
}

void ItemDisplayTest::everyFieldShowsTheFileBytes()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, position);
    SampleRom rom(headerCode.toStdString());
    const Bytes file = rom.All();
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(position);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QCOMPARE(harness.Window().ShownPosition(), position);

    const auto entry = static_cast<std::size_t>(rom.Entry(position));
    Text name = RemoveAll(DecodeGameText(std::span(file).subspan(entry, 14)), U"\\x");
    while (!name.empty() && name.back() == U' ')
        name.pop_back();
    QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), QString::fromStdU32String(name));
    QCOMPARE(harness.Line(QStringLiteral("index"))->text(), QString::number(Le16(file, entry + 14)));
    QCOMPARE(harness.Line(QStringLiteral("price"))->text(), QString::number(Le16(file, entry + 16)));
    QCOMPARE(harness.Combo(QStringLiteral("sp1"))->currentIndex(), int(file[entry + 18]));
    QCOMPARE(harness.Combo(QStringLiteral("sp2"))->currentIndex(), int(file[entry + 19]));
    QCOMPARE(harness.Combo(QStringLiteral("Mys1"))->currentIndex(), int(file[entry + 24]));
    QCOMPARE(harness.Combo(QStringLiteral("Mys2"))->currentIndex(), int(file[entry + 25]));
    QCOMPARE(harness.Combo(QStringLiteral("pock"))->currentIndex(), int(file[entry + 26]));
    QCOMPARE(harness.Combo(QStringLiteral("Bu"))->currentIndex(), int(file[entry + 32]));
    QCOMPARE(harness.Line(QStringLiteral("FUCP"))->text(), Hex3(file, entry + 28));
    QCOMPARE(harness.Line(QStringLiteral("BUCP"))->text(), Hex3(file, entry + 36));
    const std::int64_t description = Pointer(file, entry + 20);
    QCOMPARE(harness.Line(QStringLiteral("Text3"))->text(), QString::number(description, 16).toUpper());
    const QString shown = ExpectedDescription(file, description);
    QVERIFY(!shown.isEmpty());
    QCOMPARE(harness.Description()->toPlainText(), shown);
    QCOMPARE(harness.Line(QStringLiteral("Text1"))->text(), QString::number(CountedCharacters(shown)));
    QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), QString::number(CountedCharacters(shown)));
    if (headerCode != "AXVE") {
        const auto image = static_cast<std::size_t>(rom.Tables().imgData + 8 * position);
        QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), Hex3(file, image));
        QCOMPARE(harness.Line(QStringLiteral("PALOFF"))->text(), Hex3(file, image + 4));
    } else {
        QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), QString());
    }
    for (const char* list : {"sp1", "sp2", "Mys1", "Mys2", "pock", "Bu"}) {
        QCOMPARE(harness.Combo(QString::fromLatin1(list))->placeholderText(), QString());
    }
}

void ItemDisplayTest::moveListFollowsTheTmItems_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("teaches");
    QTest::newRow("288") << 288 << false;
    QTest::newRow("289") << 289 << true;
    QTest::newRow("300") << 300 << true;
    QTest::newRow("346") << 346 << true;
    QTest::newRow("347") << 347 << false;
}

void ItemDisplayTest::moveListFollowsTheTmItems()
{
    QFETCH(int, position);
    QFETCH(bool, teaches);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(300);
    const int earlier = harness.Combo(QStringLiteral("cboattack"))->currentIndex();
    QVERIFY(earlier >= 0);
    harness.Select(position);
    QComboBox* moves = harness.Combo(QStringLiteral("cboattack"));
    QCOMPARE(moves->isEnabled(), teaches);
    if (teaches) {
        const Bytes move = rom.Read(rom.Tables().tmData + 2 * (position - 289), 2);
        QCOMPARE(moves->currentIndex(), Le16(move, 0) - 1);
    } else {
        QCOMPARE(moves->currentIndex(), earlier);
    }
}

// A TM/HM list that is not one (none of its moves the list's own) is unknown: no move is shown for a TM, and a
// save of the TM's other fields leaves the list's bytes alone.
void ItemDisplayTest::unknownTmListShowsNoMove()
{
    SampleRom rom("BPRE");
    rom.Write(rom.Tables().tmData, Bytes(116, 0x01));
    const Bytes list = rom.Read(rom.Tables().tmData, 116);
    WindowHarness harness;
    harness.Open(rom);
    QVERIFY2(harness.MessageLog().contains(QStringLiteral("TM/HM moves are not shown or written")), qPrintable(harness.MessageLog()));
    harness.Select(300);
    QComboBox* moves = harness.Combo(QStringLiteral("cboattack"));
    QVERIFY(!moves->isEnabled());
    QCOMPARE(moves->currentIndex(), -1);
    QCOMPARE(moves->placeholderText(), QStringLiteral("unavailable"));
    harness.messages.clear();
    harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("1234"));
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.MessageLog(), QStringLiteral("Quillbox: Item Changed"));
    QCOMPARE(rom.Read(rom.Tables().tmData, 116), list);
    QCOMPARE(Le16(rom.Read(rom.Entry(300) + 16, 2), 0), 1234);
}

void ItemDisplayTest::unlistedValuesShowTheirNumbers()
{
    SampleRom rom("BPRE");
    const std::int64_t entry = rom.Entry(290);
    rom.Write(entry + 24, {3, 2, 6});                  // Mystery1 3, Mystery2 2, Pocket 6
    rom.Write(entry + 32, {4});                        // the fourth battle usage is the last one listed
    rom.Write(rom.Tables().tmData + 2, {0x90, 0x01});  // move 400
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(290);
    const std::pair<const char*, const char*> unlisted[] = {{"pock", "6"}, {"Bu", "4"}, {"cboattack", "400"}};
    for (const auto& [list, number] : unlisted) {
        QComboBox* combo = harness.Combo(QString::fromLatin1(list));
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->placeholderText(), QString::fromLatin1(number));
    }
    // The bytes the game names only some values of list every value, named or not.
    QCOMPARE(harness.Combo(QStringLiteral("Mys1"))->currentIndex(), 3);
    QCOMPARE(harness.Combo(QStringLiteral("Mys2"))->currentIndex(), 2);
    // The next item shows its listed values again, with no stale number left behind.
    harness.Select(291);
    for (const auto& [list, number] : unlisted) {
        QComboBox* combo = harness.Combo(QString::fromLatin1(list));
        QVERIFY2(combo->currentIndex() >= 0, list);
        QCOMPARE(combo->placeholderText(), QString());
    }
    // Move 0 selects nothing and shows nothing.
    rom.Write(rom.Tables().tmData + 2 * (292 - 289), {0, 0});
    harness.Select(292);
    QCOMPARE(harness.Combo(QStringLiteral("cboattack"))->currentIndex(), -1);
    QCOMPARE(harness.Combo(QStringLiteral("cboattack"))->placeholderText(), QString());
}

void ItemDisplayTest::longDecodedNameIsShownWhole()
{
    SampleRom rom("BPRE");
    Bytes name = Encoded(U"[Lv]");
    QCOMPARE(name.size(), 1u);
    name.resize(13, name[0]);
    name.push_back(0xFF);
    rom.Write(rom.Entry(7), name);
    WindowHarness harness;
    harness.Open(rom);
    QString expected;
    for (int i = 0; i < 13; ++i)
        expected += QStringLiteral("[Lv]");
    QCOMPARE(harness.Items()->item(7)->text(), expected);
    harness.Select(7);
    QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), expected);
    QCOMPARE(harness.Line(QStringLiteral("iname"))->text().size(), 52);
}

void ItemDisplayTest::descriptionShapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("counted");
    QTest::newRow("line break") << QByteArray("\xBB\xFE\xBC\xFF", 4) << QStringLiteral("A\nB") << 4;
    QTest::newRow("starts with its end mark") << QByteArray("\xFF\xBB", 2) << QString() << 0;
    QTest::newRow("control code") << QByteArray("\xBB\xFA\xBC\xFF", 4) << QStringLiteral("A\\lB") << 4;
    QTest::newRow("two line breaks") << QByteArray("\xBB\xFE\xFE\xBC\xFF", 5) << QStringLiteral("A\n\nB") << 6;
    QTest::newRow("no end mark within reach") << QByteArray(300, '\xBB') << QString() << 0;
}

void ItemDisplayTest::descriptionShapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(int, counted);
    SampleRom rom("BPRE");
    const std::int64_t place = 0xC00000;
    rom.Write(place, Bytes(bytes.begin(), bytes.end()));
    rom.Write(rom.Entry(12) + 20, {0x00, 0x00, 0xC0, 0x08});
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(12);
    QCOMPARE(harness.Description()->toPlainText(), shown);
    QCOMPARE(harness.Description()->document()->blockCount(), int(shown.count(u'\n')) + 1);
    QCOMPARE(harness.Line(QStringLiteral("Text1"))->text(), QString::number(counted));
    QCOMPARE(harness.Line(QStringLiteral("Text2"))->text(), QString::number(counted));
    QCOMPARE(harness.Line(QStringLiteral("Text3"))->text(), QStringLiteral("C00000"));
    QVERIFY(harness.messages.empty());
}

void ItemDisplayTest::iconIsDrawnOverTheButtonFace_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("position");
    QTest::newRow("BPRE 3") << QByteArray("BPRE") << 3;
    QTest::newRow("BPGE 30") << QByteArray("BPGE") << 30;
    QTest::newRow("BPEE 200") << QByteArray("BPEE") << 200;
}

void ItemDisplayTest::iconIsDrawnOverTheButtonFace()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, position);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    harness.Select(position);
    auto* picture = harness.Find<QLabel>(QStringLiteral("picItem"));
    const QImage drawn = picture->grab().toImage();
    QCOMPARE(drawn.size(), QSize(24, 24));
    const Bytes entry = rom.Read(rom.Tables().imgData + 8 * position, 8);
    const auto icon =
        ReadItemIcon(rom.Path(), entry[0] | entry[1] << 8 | entry[2] << 16, entry[4] | entry[5] << 8 | entry[6] << 16);
    QVERIFY(icon.has_value());
    const QRgb face = picture->palette().color(QPalette::Button).rgb();
    int coloured = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const std::uint32_t argb = icon->At(x, y);
            const QRgb expected = (argb >> 24) == 0 ? face : QRgb(argb | 0xFF000000u);
            coloured += (argb >> 24) != 0;
            QCOMPARE(drawn.pixel(x, y), expected);
        }
    }
    QVERIFY(coloured > 50);
    QVERIFY(coloured < 24 * 24);
}

}  // namespace quillbox::test
