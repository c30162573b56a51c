#include "NoLossTest.h"

#include "AppTestSupport.h"

#include <QTest>

#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <tuple>

namespace quillbox::test {

namespace {

constexpr std::int64_t kPointerBase = 0x08000000;
// The last item before the TM/HM list, its first and last item, and the first item after it.
constexpr int kTmBoundaries[] = {288, 289, 346, 347};
constexpr int kFirstTm = 289;
constexpr int kLastTm = 346;

// Fixed-seed numbers that are the same with every standard library: the C++ standard fixes the
// engine's output, and the reduction to a range is done here rather than by a distribution.
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    int Below(int bound) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(bound)); }
    bool OneIn(int n) { return Below(n) == 0; }

private:
    std::mt19937 engine_;
};

// The characters random names and descriptions are made of, with their game bytes written out
// here rather than taken from the codec, so that a codec fault shows as a difference.
const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,!?-\u00E9");

Byte GameByte(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'A' && u <= u'Z') return static_cast<Byte>(0xBB + (u - u'A'));
    if (u >= u'a' && u <= u'z') return static_cast<Byte>(0xD5 + (u - u'a'));
    if (u >= u'0' && u <= u'9') return static_cast<Byte>(0xA1 + (u - u'0'));
    switch (u) {
    case u' ': return 0x00;
    case u'!': return 0xAB;
    case u'?': return 0xAC;
    case u'.': return 0xAD;
    case u'-': return 0xAE;
    case u',': return 0xB8;
    case u'\u00E9': return 0x1B;
    default: throw std::logic_error("a character outside the test alphabet");
    }
}

QString RandomText(Random& random, int length)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        text.append(kAlphabet.at(random.Below(static_cast<int>(kAlphabet.size()))));
    }
    return text;
}

void Put(Bytes& bytes, std::int64_t offset, const Bytes& patch)
{
    std::copy(patch.begin(), patch.end(), bytes.begin() + offset);
}

Bytes LittleEndian(std::uint32_t value, int count)
{
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<Byte>(value >> (8 * i)));
    }
    return bytes;
}

std::int64_t DescriptionOffset(const Bytes& file, std::int64_t entry)
{
    std::uint32_t pointer = 0;
    for (int i = 3; i >= 0; --i) {
        pointer = pointer << 8 | file[static_cast<std::size_t>(entry + 20 + i)];
    }
    return static_cast<std::int64_t>(pointer) - kPointerBase;
}

// The bytes of the stored text at `offset` before its 0xFF end mark; the byte after 0xFC or 0xFD
// is that code's argument and ends nothing.
int BytesBeforeEndMark(const Bytes& file, std::int64_t offset)
{
    for (std::size_t i = static_cast<std::size_t>(offset); i < file.size(); ++i) {
        if (file[i] == 0xFF) return static_cast<int>(i - static_cast<std::size_t>(offset));
        if (file[i] == 0xFC || file[i] == 0xFD) ++i;
    }
    throw std::logic_error("a sample description without an end mark");
}

QString Hex(std::int64_t value) { return QString::number(value, 16).toUpper(); }

// Where two copies of the file differ, for a failure message.
QString Differences(const Bytes& expected, const Bytes& actual)
{
    const std::vector<std::int64_t> offsets = DifferingOffsets(expected, actual);
    QStringList shown;
    for (std::size_t i = 0; i < std::min<std::size_t>(offsets.size(), 12); ++i) {
        const auto at = static_cast<std::size_t>(offsets[i]);
        shown.append(Hex(offsets[i]) + QStringLiteral(": expected ") +
                     (at < expected.size() ? Hex(expected[at]) : QStringLiteral("none")) + QStringLiteral(", found ") +
                     (at < actual.size() ? Hex(actual[at]) : QStringLiteral("none")));
    }
    return QString::number(offsets.size()) + QStringLiteral(" bytes differ; ") + shown.join(QStringLiteral("; "));
}

// A hex text of `value` as a user might type it: any number of leading zeros up to `width`
// digits, letters in either case (the key rule makes them upper case).
QString TypedHex(Random& random, std::uint32_t value, int width)
{
    QString digits = QString::number(value, 16);
    const auto needed = static_cast<int>(digits.size());
    digits = digits.rightJustified(needed + random.Below(width - needed + 1), u'0');
    for (QChar& c : digits) {
        if (random.OneIn(2)) c = c.toUpper();
    }
    return digits;
}

// Picks a list entry with the keyboard, as a user without a mouse would.
void ChooseEntry(QComboBox* list, int position)
{
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < position; ++i) {
        QTest::keyClick(list, Qt::Key_Down);
    }
}

// Types text key by key; a line break is the Return key. QTest types ASCII only, so a Latin-1
// letter beyond it is sent as the key press a keyboard with that key makes.
void TypeKeys(QWidget* control, const QString& text)
{
    for (QChar c : text) {
        if (c == u'\n') {
            QTest::keyClick(control, Qt::Key_Return);
        } else if (c.unicode() < 0x80) {
            QTest::keyClick(control, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, control, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
        }
    }
}

// Replaces a control's text the way a user would: select all, delete, type.
void Retype(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    TypeKeys(field, text);
}

void Retype(QPlainTextEdit* description, const QString& text)
{
    description->setFocus();
    description->selectAll();
    QTest::keyClick(description, Qt::Key_Backspace);
    TypeKeys(description, text);
}

// The samples hold 0x08 in the top byte of every code and icon pointer, the very byte a
// careless four-byte write would put there; other values make such a write show.
void MarkTopPointerBytes(SampleRom& rom, int items)
{
    Bytes file = rom.All();
    for (int position = 0; position < items; ++position) {
        const auto entry = static_cast<std::size_t>(rom.Entry(position));
        file[entry + 31] = static_cast<Byte>(0x40 + position % 61);
        file[entry + 39] = static_cast<Byte>(0x80 + position % 53);
        if (rom.Tables().imgData != 0) {
            const auto images = static_cast<std::size_t>(rom.Tables().imgData + 8 * std::int64_t{position});
            file[images + 3] = static_cast<Byte>(0x20 + position % 31);
            file[images + 7] = static_cast<Byte>(0xC0 + position % 29);
        }
    }
    rom.Write(0, file);
}

// Records messages as the harness does, and copies the ROM file at the moment a save reports
// success: what the file holds then is what the user is told was saved.
void CopyFileOnSuccess(WindowHarness& harness, const SampleRom& rom, std::optional<Bytes>& copy)
{
    harness.Window().SetMessageHandler([&harness, &rom, &copy](const QString& title, const QString& text) {
        harness.messages.push_back({title, text});
        if (text == QStringLiteral("Item Changed")) {
            copy = rom.All();
        }
    });
}

enum Field { Name, Index, Price, Special1, Special2, Mystery1, Mystery2, Pocket, FieldPointer, BattleUsage,
             BattlePointer, Description, TmMove, FieldCount };

// Types a random valid edit of the selected item into the controls and applies to `expected`
// what a save of it must write; `log` lists the edit for failure messages.
void TypeRandomEdit(WindowHarness& harness, Random& random, const SampleRom& rom, int position, Bytes& expected,
                    QStringList& log)
{
    const std::int64_t entry = rom.Entry(position);
    const bool tmItem = position >= kFirstTm && position <= kLastTm;
    const int editable = tmItem ? FieldCount : TmMove;
    int fields = 0;
    while (fields == 0) {
        fields = random.Below(1 << editable);
    }
    // Every TM/HM item also gets a new move, so that the move list is written in every family.
    if (tmItem) {
        fields |= 1 << TmMove;
    }
    auto edits = [fields](Field field) { return (fields >> field & 1) != 0; };

    if (edits(Name)) {
        const QString name = RandomText(random, random.Below(14));
        Retype(harness.Line(QStringLiteral("iname")), name);
        QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), name);
        Bytes bytes;
        for (QChar c : name) bytes.push_back(GameByte(c));
        bytes.resize(14, 0xFF);
        Put(expected, entry, bytes);
        log.append(QStringLiteral("name \"%1\"").arg(name));
    }
    for (auto [field, control, at] : {std::tuple{Index, "index", 14}, std::tuple{Price, "price", 16}}) {
        if (!edits(field)) continue;
        const int value = random.Below(65536);
        Retype(harness.Line(QString::fromLatin1(control)), QString::number(value));
        QCOMPARE(harness.Line(QString::fromLatin1(control))->text(), QString::number(value));
        Put(expected, entry + at, LittleEndian(static_cast<std::uint32_t>(value), 2));
        log.append(QStringLiteral("%1 %2").arg(QString::fromLatin1(control)).arg(value));
    }
    for (auto [field, control, at] : {std::tuple{Special1, "sp1", 18}, std::tuple{Special2, "sp2", 19},
                                      std::tuple{Mystery1, "Mys1", 24}, std::tuple{Mystery2, "Mys2", 25},
                                      std::tuple{Pocket, "pock", 26}, std::tuple{BattleUsage, "Bu", 32}}) {
        if (!edits(field)) continue;
        QComboBox* list = harness.Combo(QString::fromLatin1(control));
        const int choice = random.Below(list->count());
        ChooseEntry(list, choice);
        QCOMPARE(list->currentIndex(), choice);
        expected[static_cast<std::size_t>(entry + at)] = static_cast<Byte>(choice);
        log.append(QStringLiteral("%1 %2").arg(QString::fromLatin1(control)).arg(choice));
    }
    for (auto [field, control, at] : {std::tuple{FieldPointer, "FUCP", 28}, std::tuple{BattlePointer, "BUCP", 36}}) {
        if (!edits(field)) continue;
        // A routine: Thumb code, at an odd offset, written whole under the ROM's top byte.
        const auto value = static_cast<std::uint32_t>(random.Below(1 << 24)) | 1;
        const QString typed = TypedHex(random, value, 6);
        Retype(harness.Line(QString::fromLatin1(control)), typed);
        QCOMPARE(harness.Line(QString::fromLatin1(control))->text(), typed.toUpper());
        Put(expected, entry + at, LittleEndian(0x08000000 | value, 4));
        log.append(QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(control), typed));
    }
    if (edits(Description)) {
        const std::int64_t at = DescriptionOffset(expected, entry);
        const int room = harness.Line(QStringLiteral("Text2"))->text().toInt();
        // Each character is one byte and a line break counts two, so the count bounds the bytes.
        const int budget = std::min(room, BytesBeforeEndMark(expected, at));
        const int target = random.Below(budget + 1);
        QString text;
        Bytes bytes;
        for (int count = 0; count < target;) {
            if (count + 2 <= target && random.OneIn(8)) {
                text.append(u'\n');
                bytes.push_back(0xFE);
                count += 2;
            } else {
                const QChar c = kAlphabet.at(random.Below(static_cast<int>(kAlphabet.size())));
                text.append(c);
                bytes.push_back(GameByte(c));
                count += 1;
            }
        }
        bytes.push_back(0xFF);
        Retype(harness.Description(), text);
        QCOMPARE(harness.Description()->toPlainText(), text);
        Put(expected, at, bytes);
        log.append(QStringLiteral("description \"%1\" at %2").arg(QString(text).replace(u'\n', QStringLiteral("\\n")), Hex(at)));
    }
    if (tmItem && edits(TmMove)) {
        QComboBox* moves = harness.Combo(QStringLiteral("cboattack"));
        const int choice = random.Below(moves->count());
        ChooseEntry(moves, choice);
        QCOMPARE(moves->currentIndex(), choice);
        Put(expected, rom.Tables().tmData + 2 * (position - kFirstTm),
            LittleEndian(static_cast<std::uint32_t>(choice + 1), 2));
        log.append(QStringLiteral("move %1").arg(choice + 1));
    }
}

int ItemCount(const QByteArray& headerCode)
{
    return headerCode == "BPEE" ? 377 : headerCode.startsWith("AX") ? 349 : 375;
}

void AddSampleRows()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<uint>("seed");
    uint seed = 1201;
    for (const char* code : {"BPRE", "BPGE", "BPEE", "AXVE", "AXPE"}) {
        QTest::newRow(code) << QByteArray(code) << seed++;
    }
}

}  // namespace

void NoLossTest::savingWithoutAnEditChangesNothing_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("step");
    QTest::newRow("BPRE every item") << QByteArray("BPRE") << 1;
    QTest::newRow("BPEE every item") << QByteArray("BPEE") << 1;
    QTest::newRow("AXVE every item") << QByteArray("AXVE") << 1;
    QTest::newRow("BPGE every 7th item") << QByteArray("BPGE") << 7;
    QTest::newRow("AXPE every 7th item") << QByteArray("AXPE") << 7;
}

void NoLossTest::savingWithoutAnEditChangesNothing()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, step);
    SampleRom rom(headerCode.toStdString());
    MarkTopPointerBytes(rom, ItemCount(headerCode));
    WindowHarness harness;
    harness.Open(rom);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    const Bytes before = rom.All();
    const int items = harness.Items()->count();
    std::set<int> positions(std::begin(kTmBoundaries), std::end(kTmBoundaries));
    for (int position = 0; position < items; position += step) {
        positions.insert(position);
    }
    positions.insert(items - 1);

    bool throughTheMenu = false;
    for (int position : positions) {
        harness.Select(position);
        QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
        const QStringList shown = ShownItem(harness);
        // The menu entry runs the same handler as the button; both take turns.
        if (throughTheMenu) {
            harness.Action(QStringLiteral("mnuFileSave"))->trigger();
        } else {
            harness.Button(QStringLiteral("save"))->click();
        }
        throughTheMenu = !throughTheMenu;
        QCOMPARE(harness.messages.size(), 1u);
        QCOMPARE(harness.messages[0].text, QStringLiteral("Item Changed"));
        harness.messages.clear();
        QCOMPARE(harness.Items()->count(), items);
        QCOMPARE(harness.Items()->currentRow(), position);
        // Shown again from the file, the item looks exactly as before the save.
        QCOMPARE(ShownItem(harness), shown);
    }
    const Bytes after = rom.All();
    QVERIFY2(after == before, qPrintable(Differences(before, after)));
}

void NoLossTest::randomEditsChangeExactlyTheirFields_data() { AddSampleRows(); }

void NoLossTest::randomEditsChangeExactlyTheirFields()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(uint, seed);
    SampleRom rom(headerCode.toStdString());
    MarkTopPointerBytes(rom, ItemCount(headerCode));
    WindowHarness harness;
    std::optional<Bytes> atSuccess;
    CopyFileOnSuccess(harness, rom, atSuccess);
    harness.Open(rom);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    Random random(seed);
    Bytes expected = rom.All();
    const int items = harness.Items()->count();
    std::set<int> positions(std::begin(kTmBoundaries), std::end(kTmBoundaries));
    while (positions.size() < 16) {
        positions.insert(random.Below(items));
    }

    for (int position : positions) {
        harness.Select(position);
        QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
        QStringList log{QStringLiteral("item %1:").arg(position)};
        TypeRandomEdit(harness, random, rom, position, expected, log);
        if (QTest::currentTestFailed()) {
            qWarning("%s", qPrintable(log.join(u' ')));
            return;
        }
        atSuccess.reset();
        harness.Button(QStringLiteral("save"))->click();
        QVERIFY2(harness.messages.size() == 1 && harness.messages[0].text == QStringLiteral("Item Changed"),
                 qPrintable(log.join(u' ') + QStringLiteral(" | ") + harness.MessageLog()));
        harness.messages.clear();
        QVERIFY(atSuccess.has_value());
        QVERIFY2(*atSuccess == expected, qPrintable(log.join(u' ') + QStringLiteral(" | ") +
                                                    Differences(expected, *atSuccess)));
        QCOMPARE(harness.Items()->currentRow(), position);
    }
}

void NoLossTest::descriptionRepointChangesExactlyThePointer_data() { AddSampleRows(); }

void NoLossTest::descriptionRepointChangesExactlyThePointer()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(uint, seed);
    SampleRom rom(headerCode.toStdString());
    MarkTopPointerBytes(rom, ItemCount(headerCode));
    WindowHarness harness;
    std::optional<Bytes> atSuccess;
    CopyFileOnSuccess(harness, rom, atSuccess);
    harness.Open(rom);
    Random random(seed);
    Bytes expected = rom.All();
    const int items = harness.Items()->count();
    const auto fileSize = static_cast<std::int64_t>(expected.size());

    for (int round = 0; round < 8; ++round) {
        const int position = random.Below(items);
        std::int64_t offset = 0;
        switch (round) {
        case 0: offset = fileSize - 1; break;
        case 1: offset = 0; break;
        case 2: offset = DescriptionOffset(expected, rom.Entry((position + 1) % items)); break;
        default: offset = random.Below(static_cast<int>(fileSize)); break;
        }
        harness.Select(position);
        QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
        const QString typed = TypedHex(random, static_cast<std::uint32_t>(offset), 7);
        Retype(harness.Line(QStringLiteral("Text3")), typed);
        harness.Button(QStringLiteral("Command2"))->click();
        // Read afresh the moment the handler has returned.
        const Bytes after = rom.All();
        const QString what = QStringLiteral("item %1 to \"%2\"").arg(position).arg(typed);
        Put(expected, rom.Entry(position) + 20, LittleEndian(static_cast<std::uint32_t>(offset + kPointerBase), 4));
        QVERIFY2(after == expected, qPrintable(what + QStringLiteral(" | ") + Differences(expected, after)));
        // Only the note that no description ends within reach may come; never an error.
        for (const Message& message : harness.messages) {
            QVERIFY2(message.title == QStringLiteral("Quillbox"), qPrintable(what + QStringLiteral(" | ") + harness.MessageLog()));
        }
        harness.messages.clear();

        // A save without an edit after the repoint leaves the file as the repoint left it.
        atSuccess.reset();
        harness.Button(QStringLiteral("save"))->click();
        QVERIFY2(harness.CountMessages(QStringLiteral("Item Changed")) == 1, qPrintable(what + QStringLiteral(" | ") + harness.MessageLog()));
        harness.messages.clear();
        QVERIFY(atSuccess.has_value());
        QVERIFY2(*atSuccess == expected, qPrintable(what + QStringLiteral(" then saved | ") + Differences(expected, *atSuccess)));
        QCOMPARE(harness.Line(QStringLiteral("Text3"))->text(), Hex(offset));
    }
}

void NoLossTest::imageRepointChangesExactlyTheLowBytes_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<uint>("seed");
    QTest::newRow("BPRE") << QByteArray("BPRE") << 3301u;
    QTest::newRow("BPGE") << QByteArray("BPGE") << 3302u;
    QTest::newRow("BPEE") << QByteArray("BPEE") << 3303u;
}

void NoLossTest::imageRepointChangesExactlyTheLowBytes()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(uint, seed);
    SampleRom rom(headerCode.toStdString());
    MarkTopPointerBytes(rom, ItemCount(headerCode));
    WindowHarness harness;
    harness.Open(rom);
    Random random(seed);
    Bytes expected = rom.All();
    const int items = harness.Items()->count();
    const auto fileSize = static_cast<int>(expected.size());

    for (int round = 0; round < 8; ++round) {
        const int position = random.Below(items);
        std::uint32_t image = 0;
        std::uint32_t palette = 0;
        QString imageText;
        QString paletteText;
        switch (round) {
        case 0:
            // The last bytes of the file: the streams run past its end.
            image = static_cast<std::uint32_t>(fileSize - 3);
            palette = static_cast<std::uint32_t>(fileSize - 1);
            imageText = Hex(image);
            paletteText = Hex(palette);
            break;
        case 1:
            // Emptied boxes stand for offset 0.
            break;
        default:
            image = static_cast<std::uint32_t>(random.Below(fileSize));
            palette = static_cast<std::uint32_t>(random.Below(fileSize));
            imageText = TypedHex(random, image, 6);
            paletteText = TypedHex(random, palette, 6);
            break;
        }
        harness.Select(position);
        QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
        Retype(harness.Line(QStringLiteral("IMGOFF")), imageText);
        Retype(harness.Line(QStringLiteral("PALOFF")), paletteText);
        harness.Button(QStringLiteral("Command3"))->click();
        const Bytes after = rom.All();
        const QString what = QStringLiteral("item %1 to \"%2\" \"%3\"").arg(position).arg(imageText, paletteText);
        QVERIFY2(harness.messages.empty(), qPrintable(what + QStringLiteral(" | ") + harness.MessageLog()));
        const std::int64_t entry = rom.Tables().imgData + 8 * std::int64_t{position};
        Put(expected, entry, LittleEndian(image, 3));
        Put(expected, entry + 4, LittleEndian(palette, 3));
        QVERIFY2(after == expected, qPrintable(what + QStringLiteral(" | ") + Differences(expected, after)));

        // Shown again, the item has the new offsets.
        harness.Select((position + 1) % items);
        harness.Select(position);
        QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), Hex(image).rightJustified(6, u'0'));
        QCOMPARE(harness.Line(QStringLiteral("PALOFF"))->text(), Hex(palette).rightJustified(6, u'0'));
        QVERIFY2(harness.messages.empty(), qPrintable(what + QStringLiteral(" | ") + harness.MessageLog()));
    }
}

}  // namespace quillbox::test
