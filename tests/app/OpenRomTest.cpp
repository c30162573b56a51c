#include "OpenRomTest.h"

#include "AppTestSupport.h"
#include "rom/Profile.h"
#include "text/GameText.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <fstream>

namespace quillbox::test {

namespace {

QStringList Entries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    return entries;
}

QString Decoded(const Bytes& bytes) { return QString::fromStdU32String(RemoveAll(DecodeGameText(bytes), U"\\x")); }

const QStringList kOffAfterRefusal{QStringLiteral("Mys1"),     QStringLiteral("Mys2"),   QStringLiteral("Bu"),
                                   QStringLiteral("FUCP"),     QStringLiteral("BUCP"),   QStringLiteral("cboitem"),
                                   QStringLiteral("pock"),     QStringLiteral("iname"),  QStringLiteral("price"),
                                   QStringLiteral("sp1"),      QStringLiteral("sp2"),    QStringLiteral("save"),
                                   QStringLiteral("descp"),    QStringLiteral("Text3"),  QStringLiteral("index"),
                                   QStringLiteral("Command2"), QStringLiteral("Label3"), QStringLiteral("cboattack"),
                                   QStringLiteral("IMGOFF"),   QStringLiteral("PALOFF"), QStringLiteral("Command3"),
                                   // The record panel's own controls and the effect go with the rest.
                                   QStringLiteral("itemType"), QStringLiteral("secondaryId"), QStringLiteral("fieldUseLike"),
                                   QStringLiteral("battleUseLike"), QStringLiteral("effect_healHp"), QStringLiteral("effectSave")};

enum class Refusal { Cancelled, UnknownGame, ProfileWithoutTmData, NoProfile, TooShort, Vanished, NoHeader };

}  // namespace

void OpenRomTest::opensThroughTheRealOpenDialog()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Window().SetOpenFileChooser({});
    QString title;
    QStringList filters;
    bool existingOnly = false;
    ModalAnswer answer([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        QVERIFY(files != nullptr);
        title = files->windowTitle();
        filters = files->nameFilters();
        existingOnly = files->fileMode() == QFileDialog::ExistingFile;
        QCOMPARE(files->parentWidget(), &harness.Window());
        ChooseFile(files, rom.PathText());
    });
    harness.Button(QStringLiteral("Command1"))->click();
    QVERIFY(answer.Answered());
    QCOMPARE(title, QStringLiteral("Open..."));
    QCOMPARE(filters, QStringList{QStringLiteral("GameBoy Advance ROMs (*.gba, *.bin) (*.gba *.bin)")});
    QVERIFY(existingOnly);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QCOMPARE(harness.Items()->count(), 375);
    QCOMPARE(harness.Items()->currentRow(), 0);
    QCOMPARE(harness.Window().State().romPath, rom.Path());
    QCOMPARE(harness.Window().State().headerCode, std::string("BPRE"));
}

void OpenRomTest::listsEachFamily_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::addColumn<int>("items");
    QTest::addColumn<QStringList>("pockets");
    QTest::addColumn<QStringList>("importance");
    QTest::addColumn<QStringList>("battleUsages");
    QTest::addColumn<bool>("images");
    const QStringList kanto{QStringLiteral("???"),        QStringLiteral("Items"),   QStringLiteral("Key Items"),
                            QStringLiteral("Poke Balls"), QStringLiteral("TM Case"), QStringLiteral("Berry Pouch")};
    const QStringList hoenn{QStringLiteral("???"),     QStringLiteral("Items"),   QStringLiteral("Poke Balls"),
                            QStringLiteral("TM/HM's"), QStringLiteral("Berries"), QStringLiteral("Key Items")};
    // Ruby, Sapphire and Emerald keep an item of importance 2 out of the PC; FireRed and
    // LeafGreen read only whether it is 0; only they open the Berry Pouch in battle.
    const QStringList kantoImportance{QStringLiteral("0 Ordinary"), QStringLiteral("1 Important"),
                                      QStringLiteral("2 Important story item")};
    const QStringList hoennImportance{QStringLiteral("0 Ordinary"), QStringLiteral("1 Important"),
                                      QStringLiteral("2 Important, kept out of the PC")};
    const QStringList hoennUsages{QStringLiteral("0 Not in battle"), QStringLiteral("1 On a Pokemon"),
                                  QStringLiteral("2 From the bag")};
    const QStringList kantoUsages = hoennUsages + QStringList{QStringLiteral("3 Opens the Berry Pouch")};
    QTest::newRow("BPRE") << QByteArray("BPRE") << 375 << kanto << kantoImportance << kantoUsages << true;
    QTest::newRow("BPGE") << QByteArray("BPGE") << 375 << kanto << kantoImportance << kantoUsages << true;
    QTest::newRow("BPEE") << QByteArray("BPEE") << 377 << hoenn << hoennImportance << hoennUsages << true;
    QTest::newRow("AXVE") << QByteArray("AXVE") << 349 << hoenn << hoennImportance << hoennUsages << false;
    QTest::newRow("AXPE") << QByteArray("AXPE") << 349 << hoenn << hoennImportance << hoennUsages << false;
}

void OpenRomTest::listsEachFamily()
{
    QFETCH(QByteArray, headerCode);
    QFETCH(int, items);
    QFETCH(QStringList, pockets);
    QFETCH(QStringList, importance);
    QFETCH(QStringList, battleUsages);
    QFETCH(bool, images);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));

    QListWidget* list = harness.Items();
    QCOMPARE(list->count(), items);
    const Bytes file = rom.All();
    for (int i = 0; i < items; ++i) {
        const auto at = file.begin() + rom.Entry(i);
        QCOMPARE(list->item(i)->text(), Decoded(Bytes(at, at + 14)));
    }
    QComboBox* moves = harness.Combo(QStringLiteral("cboattack"));
    QCOMPARE(moves->count(), 354);
    for (int m = 0; m < 354; ++m) {
        const auto at = file.begin() + rom.Tables().attackNames + 13 * m;
        QCOMPARE(moves->itemText(m), Decoded(Bytes(at, at + 13)));
    }
    QCOMPARE(Entries(harness.Combo(QStringLiteral("pock"))), pockets);
    // Bytes the game reads only for a few values list every value a byte holds, the known ones named.
    const QStringList registrability{QStringLiteral("0 Not registrable"), QStringLiteral("1 Registrable")};
    for (const auto& [name, named] : {std::pair{"Mys1", importance}, std::pair{"Mys2", registrability}}) {
        const QStringList entries = Entries(harness.Combo(QString::fromLatin1(name)));
        QCOMPARE(entries.size(), 256);
        QCOMPARE(entries.mid(0, named.size()), named);
        QCOMPARE(entries.at(named.size()), QString::number(named.size()));
        QCOMPARE(entries.at(255), QStringLiteral("255"));
    }
    QCOMPARE(Entries(harness.Combo(QStringLiteral("Bu"))), battleUsages);
    for (const char* image : {"IMGOFF", "PALOFF", "Command3"}) {
        QCOMPARE(harness.Widget(QString::fromLatin1(image))->isEnabled(), images);
    }
    // Bracket tokens decode to several characters each, and the end marks after the name drop out.
    QCOMPARE(list->item(1)->text(), QStringLiteral("[PK][MN] Kit"));
}

void OpenRomTest::openingEnablesTheEditingControls_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    QTest::newRow("BPRE") << QByteArray("BPRE");
    QTest::newRow("AXPE") << QByteArray("AXPE");
}

void OpenRomTest::openingEnablesTheEditingControls()
{
    QFETCH(QByteArray, headerCode);
    SampleRom rom(headerCode.toStdString());
    WindowHarness harness;
    harness.Open(rom);
    for (const char* on : {"cboitem", "pock", "iname", "price", "sp1", "sp2", "save", "descp", "Text3", "Command2",
                           "Label3", "index", "Mys1", "Mys2", "Bu", "FUCP", "BUCP", "Command1"}) {
        QVERIFY2(harness.Widget(QString::fromLatin1(on))->isEnabled(), on);
    }
    QVERIFY(harness.Action(QStringLiteral("mnuFileSave"))->isEnabled());
    // Item 0 is selected and shown without a click; it teaches no move.
    QCOMPARE(harness.Items()->currentRow(), 0);
    QCOMPARE(harness.Line(QStringLiteral("iname"))->text(), QStringLiteral("????????"));
    QVERIFY(!harness.Line(QStringLiteral("Text2"))->text().isEmpty());
    QVERIFY(!harness.Combo(QStringLiteral("cboattack"))->isEnabled());
}

void OpenRomTest::refusalsLeaveNoRomOpen_data()
{
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString unsupported = QStringLiteral("Unsupported ROM or no ROM opened!");
    QTest::newRow("dialog cancelled") << int(Refusal::Cancelled) << QStringLiteral("Quillbox") << unsupported;
    QTest::newRow("another game") << int(Refusal::UnknownGame) << QStringLiteral("Quillbox") << unsupported;
    QTest::newRow("profile lacks TMData")
        << int(Refusal::ProfileWithoutTmData) << QStringLiteral("Quillbox") << unsupported;
    QTest::newRow("no profile file") << int(Refusal::NoProfile) << QStringLiteral("Quillbox") << unsupported;
    QTest::newRow("too short for its tables")
        << int(Refusal::TooShort) << QStringLiteral("Error: 9") << QStringLiteral("too short");
    QTest::newRow("file vanished") << int(Refusal::Vanished) << QStringLiteral("Error: 1")
                                   << QStringLiteral("could not be opened");
    QTest::newRow("shorter than its header")
        << int(Refusal::NoHeader) << QStringLiteral("Error: 9") << QStringLiteral("header");
}

void OpenRomTest::refusalsLeaveNoRomOpen()
{
    QFETCH(int, refusal);
    QFETCH(QString, title);
    QFETCH(QString, text);
    SampleRom first("BPRE");
    SampleRom refused("BPRE", QStringLiteral("refused.gba"));
    QTemporaryDir profiles;
    std::optional<std::filesystem::path> profile;
    QString answer = refused.PathText();
    switch (Refusal(refusal)) {
    case Refusal::Cancelled:
        answer.clear();
        break;
    case Refusal::UnknownGame:
        refused.Write(0xAC, {'A', 'X', 'X', 'E'});
        break;
    case Refusal::ProfileWithoutTmData: {
        // The refused game has item images like the first one, so the image controls would
        // otherwise still point into the new file at the first game's offsets.
        refused.Write(0xAC, {'B', 'P', 'G', 'E'});
        profile = std::filesystem::path(profiles.filePath(QStringLiteral("roms.ini")).toStdU16String());
        std::ofstream(*profile) << "[BPRE]\nItemData=&H3DB028\nAttackNames=&H2470A1\nTMData=&H45A80C\n"
                                   "IMGData=&H3D4294\n[BPGE]\nItemData=&H3DB028\nAttackNames=&H2470A1\n"
                                   "IMGData=&H3D4294\n";
        break;
    }
    case Refusal::NoProfile: {
        profile = std::filesystem::path(profiles.filePath(QStringLiteral("roms.ini")).toStdU16String());
        std::filesystem::copy_file(ProfilePathFor(ProgramFolder()), *profile);
        break;
    }
    case Refusal::TooShort:
        refused.Resize(0x300000);
        break;
    case Refusal::Vanished:
        answer = refused.Folder() + QStringLiteral("/gone.gba");
        break;
    case Refusal::NoHeader:
        refused.Resize(0x80);
        break;
    }
    const Bytes refusedBefore = QFile::exists(answer) ? refused.All() : Bytes{};

    WindowHarness harness(profile);
    harness.Open(first);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QVERIFY(harness.Widget(QStringLiteral("IMGOFF"))->isEnabled());
    QVERIFY(harness.Combo(QStringLiteral("cboattack"))->count() > 0);
    if (Refusal(refusal) == Refusal::NoProfile) {
        std::filesystem::remove(*profile);
    }

    // Where the ROM names tables of its own the window offers them; No keeps the refusal.
    ModalAnswer no([](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::No)->click();
    });
    harness.Open(answer);
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, title);
    QVERIFY2(harness.messages[0].text.contains(text), qPrintable(harness.messages[0].text));
    QCOMPARE(harness.Items()->count(), 0);
    for (const QString& name : kOffAfterRefusal) {
        QVERIFY2(!harness.Widget(name)->isEnabled(), qPrintable(name));
    }
    QVERIFY(!harness.Action(QStringLiteral("mnuFileSave"))->isEnabled());
    QVERIFY(harness.Button(QStringLiteral("Command1"))->isEnabled());
    QVERIFY(harness.Action(QStringLiteral("mnuFileOpen"))->isEnabled());
    QCOMPARE(harness.Window().State().romPath, std::filesystem::path(answer.toStdU16String()));
    // Nothing can write any more: Save and both Repoint buttons do nothing.
    harness.Button(QStringLiteral("save"))->click();
    harness.Button(QStringLiteral("Command2"))->click();
    harness.Button(QStringLiteral("Command3"))->click();
    harness.Action(QStringLiteral("mnuFileSave"))->trigger();
    QCOMPARE(harness.messages.size(), 1u);
    if (!refusedBefore.empty()) {
        QVERIFY(refused.All() == refusedBefore);
    }
}

void OpenRomTest::secondRomReplacesEveryList()
{
    SampleRom emerald("BPEE");
    SampleRom sapphire("AXPE");
    WindowHarness harness;
    harness.Open(emerald);
    QCOMPARE(harness.Items()->count(), 377);
    harness.Select(5);
    const QString imageOffset = harness.Line(QStringLiteral("IMGOFF"))->text();
    const QImage icon = harness.Find<QLabel>(QStringLiteral("picItem"))->pixmap().toImage();
    QVERIFY(!imageOffset.isEmpty());

    harness.Open(sapphire);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QCOMPARE(harness.Items()->count(), 349);
    QCOMPARE(harness.Combo(QStringLiteral("pock"))->count(), 6);
    QCOMPARE(harness.Combo(QStringLiteral("pock"))->itemText(2), QStringLiteral("Poke Balls"));
    QCOMPARE(harness.Combo(QStringLiteral("Bu"))->count(), 3);
    QCOMPARE(harness.Combo(QStringLiteral("Mys1"))->count(), 256);
    QCOMPARE(harness.Combo(QStringLiteral("Mys2"))->count(), 256);
    QCOMPARE(harness.Combo(QStringLiteral("cboattack"))->count(), 354);
    const Bytes file = sapphire.All();
    const auto at = file.begin() + sapphire.Entry(348);
    QCOMPARE(harness.Items()->item(348)->text(), Decoded(Bytes(at, at + 14)));
    // A game without images leaves the image controls as the previous game left them.
    for (const char* image : {"IMGOFF", "PALOFF", "Command3"}) {
        QVERIFY2(harness.Widget(QString::fromLatin1(image))->isEnabled(), image);
    }
    harness.Select(7);
    QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), imageOffset);
    QCOMPARE(harness.Find<QLabel>(QStringLiteral("picItem"))->pixmap().toImage(), icon);
}

void OpenRomTest::imageRepointAfterAGameWithoutImagesOnlyReports()
{
    SampleRom fireRed("BPRE");
    SampleRom ruby("AXVE");
    WindowHarness harness;
    harness.Open(fireRed);
    harness.Open(ruby);
    const Bytes before = ruby.All();
    const Bytes fireRedBefore = fireRed.All();
    harness.Retype(harness.Line(QStringLiteral("IMGOFF")), QStringLiteral("123456"));
    harness.Button(QStringLiteral("Command3"))->click();
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, QStringLiteral("Quillbox"));
    QCOMPARE(harness.messages[0].text, QStringLiteral("This shouldnt be enabled. Please report this"));
    QVERIFY(ruby.All() == before);
    QVERIFY(fireRed.All() == fireRedBefore);
}

}  // namespace quillbox::test
