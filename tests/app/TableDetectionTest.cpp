#include "TableDetectionTest.h"

#include "AppTestSupport.h"

#include "rom/Profile.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

namespace quillbox::test {

namespace {

constexpr int kPriceField = 16;

}  // namespace

void TableDetectionTest::cleanup() { std::filesystem::remove(UserProfilePath()); }

void TableDetectionTest::answerDecidesTheTables_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<bool>("hack");
    QTest::addColumn<QByteArray>("writtenCode");  // replaces the sample's header code
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("items");  // 0: nothing opened
    QTest::addColumn<QString>("message");

    const int hackItems = 375 + kSampleHackExtraItems;
    const QString moved = QStringLiteral("The ROM was opened with these warnings:\n- the game reads its item table at");
    QTest::newRow("hack, yes") << QByteArray("BPRE") << true << QByteArray() << true << hackItems << QString();
    QTest::newRow("hack, no") << QByteArray("BPRE") << true << QByteArray() << false << 375 << moved;
    QTest::newRow("ruby hack, yes") << QByteArray("AXVE") << true << QByteArray() << true << 349 + kSampleHackExtraItems
                                    << QString();
    QTest::newRow("no section, yes") << QByteArray("BPEE") << false << QByteArray("BPEX") << true << 377 << QString();
    QTest::newRow("no section, no") << QByteArray("BPEE") << false << QByteArray("BPEX") << false << 0
                                    << QStringLiteral("Unsupported ROM or no ROM opened!");
}

void TableDetectionTest::answerDecidesTheTables()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(bool, hack);
    QFETCH(QByteArray, writtenCode);
    QFETCH(bool, yes);
    QFETCH(int, items);
    QFETCH(QString, message);

    QTemporaryDir folder;
    const auto rom = std::filesystem::path(folder.filePath(QStringLiteral("rom.gba")).toStdU16String());
    SampleOptions options;
    options.hack = hack;
    QVERIFY(WriteSampleRom(rom, headerCode.toStdString(), options));
    const auto tables = SampleTablesFor(headerCode.toStdString(), options);
    QVERIFY(tables);
    if (!writtenCode.isEmpty()) {
        std::fstream file(rom, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(0xAC);
        file.write(writtenCode.constData(), 4);
        QVERIFY(file.good());
    }
    const auto userProfile = UserProfilePath();
    std::filesystem::remove(userProfile);

    WindowHarness harness;
    int asked = 0;
    ModalAnswer answer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) return;
        ++asked;
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    harness.Open(QString::fromStdU16String(rom.u16string()));
    QCOMPARE(asked, 1);
    QCOMPARE(harness.Items()->count(), items);
    if (message.isEmpty()) {
        QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    } else {
        QCOMPARE(harness.messages.size(), std::size_t{1});
        QVERIFY2(harness.messages.front().text.startsWith(message), qPrintable(harness.MessageLog()));
    }
    // Yes keeps the found tables beside the ROM, for it alone; the user's profile is left alone.
    const std::string code = writtenCode.isEmpty() ? headerCode.toStdString() : writtenCode.toStdString();
    QCOMPARE(ParseProfileNumber(ReadProfileValue(RomTablesPathOf(rom), code, "ItemData")), yes ? tables->itemData : 0);
    QVERIFY(!std::filesystem::exists(userProfile));
    if (items == 0) return;
    if (yes && hack) {
        // The game's plain ROM beside the hack opens as before, asking nothing.
        const auto plain = std::filesystem::path(folder.filePath(QStringLiteral("plain.gba")).toStdU16String());
        QVERIFY(WriteSampleRom(plain, headerCode.toStdString()));
        WindowHarness other;
        other.Open(QString::fromStdU16String(plain.u16string()));
        QCOMPARE(asked, 1);
        QVERIFY2(other.messages.empty(), qPrintable(other.MessageLog()));
        QCOMPARE(other.Items()->count(), FindGameFamily(GameCodeOf(code))->itemCount);
        QCOMPARE(other.Window().State().itemTableOffset, SampleTablesFor(code)->itemData);
    }

    // A save of the last item lands in the table the window lists.
    const int last = items - 1;
    harness.Select(last);
    harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("4321"));
    const Bytes before = *Snapshot(rom);
    harness.Button(QStringLiteral("save"))->click();
    const auto changed = DifferingOffsets(before, *Snapshot(rom));
    const std::int64_t listed = (yes ? tables->itemData : harness.Window().State().itemTableOffset) +
                                44 * std::int64_t{last} + kPriceField;
    QVERIFY(!changed.empty());
    for (const std::int64_t offset : changed) {
        QVERIFY2(offset == listed || offset == listed + 1, qPrintable(QString::number(offset, 16)));
    }
    if (yes) QCOMPARE(harness.Window().State().itemTableOffset, tables->itemData);
}

}  // namespace quillbox::test
