#include "BadInputWindowTest.h"

#include "AppTestSupport.h"
#include "rom/Profile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <fstream>
#include <functional>
#include <stdexcept>

namespace quillbox::test {

namespace {

// The item every row works on, and the one shown after it.
constexpr int kItem = 5;
constexpr int kOtherItem = 9;

const QStringList kOffWithoutRom{QStringLiteral("Mys1"),     QStringLiteral("Mys2"),   QStringLiteral("Bu"),
                                 QStringLiteral("FUCP"),     QStringLiteral("BUCP"),   QStringLiteral("cboitem"),
                                 QStringLiteral("pock"),     QStringLiteral("iname"),  QStringLiteral("price"),
                                 QStringLiteral("sp1"),      QStringLiteral("sp2"),    QStringLiteral("save"),
                                 QStringLiteral("descp"),    QStringLiteral("Text3"),  QStringLiteral("index"),
                                 QStringLiteral("Command2"), QStringLiteral("Label3"), QStringLiteral("cboattack"),
                                 QStringLiteral("IMGOFF"),   QStringLiteral("PALOFF"), QStringLiteral("Command3"),
                                 // The record panel's own controls and the effect go with the rest.
                                 QStringLiteral("itemType"), QStringLiteral("secondaryId"), QStringLiteral("fieldUseLike"),
                                 QStringLiteral("battleUseLike"), QStringLiteral("effect_healHp"), QStringLiteral("effectSave")};

// The files of a row: its ROM, the profile the window reads, and what the Open step chooses.
struct Scene {
    SampleRom& rom;
    std::filesystem::path profile;
    QString chosen;
};

enum class Step { Open, Save, RepointDescription, RepointImage, ShowOtherItem };
enum class Outcome { OpenRefused, Refused, Works };

struct Row {
    const char* name;
    Step step;
    Outcome outcome;
    QString title;
    QString fragment;
    // Before the window opens the ROM, and after it has opened it and shown kItem.
    std::function<void(Scene&)> beforeOpening = {};
    std::function<void(Scene&)> afterOpening = {};
    // What the user types before the step.
    std::function<void(WindowHarness&)> edit = {};
    // For a row that works: what the step writes, applied to the file as it was before the step,
    // and what the window shows afterwards.
    std::function<void(const SampleRom&, Bytes&)> writes = {};
    std::function<void(WindowHarness&)> shows = {};
    // The ROM goes away after opening and comes back later.
    bool romGoesAway = false;
    QString fileName = QStringLiteral("sample.gba");
};

void Put(Bytes& bytes, std::int64_t offset, const Bytes& patch)
{
    std::copy(patch.begin(), patch.end(), bytes.begin() + offset);
}

Bytes Pointer(std::int64_t offset)
{
    const auto value = static_cast<std::uint32_t>(offset + 0x08000000);
    return {static_cast<Byte>(value), static_cast<Byte>(value >> 8), static_cast<Byte>(value >> 16),
            static_cast<Byte>(value >> 24)};
}

void WriteFile(const std::filesystem::path& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) {
        throw std::runtime_error("could not write " + path.string());
    }
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The shipped section of BPRE with another item table offset.
std::string ProfileWithItemData(std::string_view itemData)
{
    return "[BPRE]\nItemData=" + std::string(itemData) + "\nAttackNames=&H2470A1\nTMData=&H45A80C\nIMGData=&H3D4294\n";
}

Row ItemDataRow(const char* name, std::string itemData, const char* title, const char* fragment)
{
    return {.name = name,
            .step = Step::Open,
            .outcome = Outcome::OpenRefused,
            .title = QString::fromLatin1(title),
            .fragment = QString::fromLatin1(fragment),
            .afterOpening = [itemData](Scene& scene) { WriteFile(scene.profile, ProfileWithItemData(itemData)); }};
}

void TypePrice(WindowHarness& harness) { harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("1234")); }

void MakeReadOnly(Scene& scene)
{
    using std::filesystem::perms;
    std::filesystem::permissions(scene.rom.Path(), perms::owner_read | perms::group_read | perms::others_read);
}

void Paste(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QGuiApplication::clipboard()->setText(text);
    field->paste();
}

std::vector<Row> Rows()
{
    const QString unsupported = QStringLiteral("Unsupported ROM or no ROM opened!");
    const QString quillbox = QStringLiteral("Quillbox");
    std::vector<Row> rows;

    rows.push_back({.name = "read-only ROM, Save",
                    .step = Step::Save,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 3"),
                    .fragment = QStringLiteral("read-only"),
                    .beforeOpening = MakeReadOnly,
                    .edit = TypePrice});
    rows.push_back({.name = "read-only ROM, description Repoint",
                    .step = Step::RepointDescription,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 3"),
                    .fragment = QStringLiteral("read-only"),
                    .beforeOpening = MakeReadOnly,
                    .edit = [](WindowHarness& harness) {
                        harness.Retype(harness.Line(QStringLiteral("Text3")), QStringLiteral("F00000"));
                    }});
    rows.push_back({.name = "read-only ROM, image Repoint",
                    .step = Step::RepointImage,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 3"),
                    .fragment = QStringLiteral("read-only"),
                    .beforeOpening = MakeReadOnly,
                    .edit = [](WindowHarness& harness) {
                        harness.Retype(harness.Line(QStringLiteral("IMGOFF")), QStringLiteral("900000"));
                    }});
    rows.push_back({.name = "ROM deleted after opening",
                    .step = Step::Save,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 1"),
                    .fragment = QStringLiteral("could not be opened"),
                    .afterOpening = [](Scene& scene) { std::filesystem::remove(scene.rom.Path()); },
                    .edit = TypePrice,
                    .romGoesAway = true});
    rows.push_back({.name = "ROM shortened after opening",
                    .step = Step::Save,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 15"),
                    .fragment = QStringLiteral("changed on disk"),
                    .afterOpening = [](Scene& scene) { scene.rom.Resize(0x800000); },
                    .edit = TypePrice,
                    .romGoesAway = true});
    rows.push_back({.name = "ROM replaced by another game after opening",
                    .step = Step::Save,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 15"),
                    .fragment = QStringLiteral("changed on disk"),
                    .afterOpening =
                        [](Scene& scene) {
                            // Another game of the very same size: only its header tells them apart.
                            SampleRom other("AXVE");
                            std::filesystem::copy_file(other.Path(), scene.rom.Path(),
                                                       std::filesystem::copy_options::overwrite_existing);
                        },
                    .edit = TypePrice,
                    .romGoesAway = true});

    rows.push_back({.name = "roms.ini missing",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = quillbox,
                    .fragment = unsupported,
                    .afterOpening = [](Scene& scene) { std::filesystem::remove(scene.profile); }});
    rows.push_back({.name = "roms.ini empty",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = quillbox,
                    .fragment = unsupported,
                    .afterOpening = [](Scene& scene) { std::filesystem::resize_file(scene.profile, 0); }});
    rows.push_back({.name = "roms.ini binary garbage",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = quillbox,
                    .fragment = unsupported,
                    .afterOpening = [](Scene& scene) {
                        std::string garbage;
                        for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919 + 13) % 256));
                        WriteFile(scene.profile, garbage);
                    }});
    rows.push_back({.name = "roms.ini huge and sparse",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = quillbox,
                    .fragment = unsupported,
                    .afterOpening = [](Scene& scene) {
                        // The real sections stay at its start: a file this large is not read at all.
                        std::filesystem::resize_file(scene.profile, 64ull * 1024 * 1024);
                    }});
    rows.push_back(ItemDataRow("ItemData past the end of the file", "&HFFF000", "Error: 9", "too short"));
    rows.push_back(ItemDataRow("ItemData negative", "-4096", "Error: 5", "negative"));
    rows.push_back(ItemDataRow("ItemData beyond the signed range", "&H80000000", "Error: 5", "does not fit"));
    rows.push_back(ItemDataRow("ItemData beyond 32 bits", "&H100001000", "Quillbox", "Unsupported ROM"));
    rows.push_back(ItemDataRow("ItemData as 0x", "0x1000", "Quillbox", "Unsupported ROM"));
    rows.push_back({.name = "section for an unknown code",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = quillbox,
                    .fragment = unsupported,
                    .afterOpening = [](Scene& scene) {
                        scene.rom.Write(0xAC, {'Z', 'Z', 'Z', 'E'});
                        std::string profile = ProfileWithItemData("&H3DB028");
                        profile.replace(1, 4, "ZZZE");
                        WriteFile(scene.profile, profile);
                    }});

    rows.push_back({.name = "name over its room",
                    .step = Step::Save,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 10"),
                    .fragment = QStringLiteral("14-byte"),
                    .edit = [](WindowHarness& harness) {
                        TypePrice(harness);
                        harness.Retype(harness.Line(QStringLiteral("iname")), QStringLiteral("ABCDEFGHIJKLMN"));
                    }});
    rows.push_back({.name = "description over its room",
                    .step = Step::Save,
                    .outcome = Outcome::Refused,
                    // The save asks to move the text to free space; declined, nothing is written.
                    .title = quillbox,
                    .fragment = QStringLiteral("Move it to free space"),
                    .edit = [](WindowHarness& harness) {
                        TypePrice(harness);
                        // Line breaks replaced by letters need more bytes, though the count fits.
                        QPlainTextEdit* description = harness.Description();
                        const QString longer = description->toPlainText().replace(u'\n', QStringLiteral("xy"));
                        QGuiApplication::clipboard()->setText(longer + QStringLiteral("zz"));
                        description->selectAll();
                        description->paste();
                    }});
    rows.push_back({.name = "non-hex text pasted into FUCP",
                    .step = Step::Save,
                    .outcome = Outcome::Works,
                    .title = quillbox,
                    .fragment = QStringLiteral("Item Changed"),
                    .edit = [](WindowHarness& harness) {
                        Paste(harness.Line(QStringLiteral("FUCP")), QStringLiteral("zz-1\t3 GH!\u00E9"));
                    },
                    .writes = [](const SampleRom& rom, Bytes& file) { Put(file, rom.Entry(kItem) + 28, {0x13, 0x00, 0x00, 0x08}); },
                    .shows = [](WindowHarness& harness) {
                        QCOMPARE(harness.Line(QStringLiteral("FUCP"))->text(), QStringLiteral("000013"));
                    }});
    rows.push_back({.name = "non-hex text from an input method into BUCP",
                    .step = Step::Save,
                    .outcome = Outcome::Works,
                    .title = quillbox,
                    .fragment = QStringLiteral("Item Changed"),
                    .edit = [](WindowHarness& harness) {
                        QLineEdit* field = harness.Line(QStringLiteral("BUCP"));
                        harness.Retype(field, QString());
                        QInputMethodEvent event;
                        event.setCommitString(QStringLiteral("x7y-B\u00DF"));
                        QApplication::sendEvent(field, &event);
                    },
                    .writes = [](const SampleRom& rom, Bytes& file) { Put(file, rom.Entry(kItem) + 36, {0x7B, 0x00, 0x00, 0x08}); },
                    .shows = [](WindowHarness& harness) {
                        QCOMPARE(harness.Line(QStringLiteral("BUCP"))->text(), QStringLiteral("00007B"));
                    }});
    rows.push_back({.name = "description Repoint past the end of the file",
                    .step = Step::RepointDescription,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 4"),
                    .fragment = QStringLiteral("past the end"),
                    .edit = [](WindowHarness& harness) {
                        harness.Retype(harness.Line(QStringLiteral("Text3")), QStringLiteral("1000000"));
                    }});
    rows.push_back({.name = "image Repoint past the end of the file",
                    .step = Step::RepointImage,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 4"),
                    .fragment = QStringLiteral("past the end"),
                    .beforeOpening = [](Scene& scene) { scene.rom.Resize(0xA00000); },
                    .edit = [](WindowHarness& harness) {
                        harness.Retype(harness.Line(QStringLiteral("IMGOFF")), QStringLiteral("A00000"));
                    }});
    rows.push_back({.name = "palette Repoint past the end of the file",
                    .step = Step::RepointImage,
                    .outcome = Outcome::Refused,
                    .title = QStringLiteral("Error: 4"),
                    .fragment = QStringLiteral("past the end"),
                    .beforeOpening = [](Scene& scene) { scene.rom.Resize(0xA00000); },
                    .edit = [](WindowHarness& harness) {
                        harness.Retype(harness.Line(QStringLiteral("PALOFF")), QStringLiteral("FFFFFF"));
                    }});
    rows.push_back({.name = "icon pointers into garbage",
                    .step = Step::ShowOtherItem,
                    .outcome = Outcome::Works,
                    .title = {},
                    .fragment = {},
                    .beforeOpening =
                        [](Scene& scene) {
                            Bytes garbage;
                            for (std::uint32_t i = 0; i < 4096; ++i) {
                                garbage.push_back(static_cast<Byte>((i * i * 2654435761u) >> 24));
                            }
                            scene.rom.Write(0xE00000, garbage);
                            const std::int64_t images = scene.rom.Tables().imgData + 8 * kOtherItem;
                            scene.rom.Write(images, Pointer(0xE00001));
                            scene.rom.Write(images + 4, Pointer(0xE00333));
                        },
                    .writes = [](const SampleRom&, Bytes&) {},
                    .shows = [](WindowHarness& harness) {
                        QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), QStringLiteral("E00001"));
                        QCOMPARE(harness.Line(QStringLiteral("PALOFF"))->text(), QStringLiteral("E00333"));
                    }});
    rows.push_back({.name = "icon pointers into the last bytes of the file",
                    .step = Step::ShowOtherItem,
                    .outcome = Outcome::Works,
                    .title = {},
                    .fragment = {},
                    .beforeOpening =
                        [](Scene& scene) {
                            const std::int64_t images = scene.rom.Tables().imgData + 8 * kOtherItem;
                            scene.rom.Write(images, Pointer(kSampleRomSize - 3));
                            scene.rom.Write(images + 4, Pointer(kSampleRomSize - 1));
                        },
                    .writes = [](const SampleRom&, Bytes&) {},
                    .shows = [](WindowHarness& harness) {
                        QCOMPARE(harness.Line(QStringLiteral("IMGOFF"))->text(), QStringLiteral("FFFFFD"));
                        QCOMPARE(harness.Line(QStringLiteral("PALOFF"))->text(), QStringLiteral("FFFFFF"));
                    }});
    rows.push_back({.name = "0-byte file",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = QStringLiteral("Error: 9"),
                    .fragment = QStringLiteral("too short"),
                    .afterOpening = [](Scene& scene) {
                        scene.chosen = scene.rom.Folder() + QStringLiteral("/empty.gba");
                        WriteFile(std::filesystem::path(scene.chosen.toStdU16String()), std::string_view());
                    }});
    rows.push_back({.name = "directory chosen as the ROM",
                    .step = Step::Open,
                    .outcome = Outcome::OpenRefused,
                    .title = QStringLiteral("Error: 1"),
                    .fragment = QStringLiteral("folder"),
                    .afterOpening = [](Scene& scene) {
                        scene.chosen = scene.rom.Folder() + QStringLiteral("/a folder.gba");
                        std::filesystem::create_directory(std::filesystem::path(scene.chosen.toStdU16String()));
                    }});
    rows.push_back({.name = "path with spaces and non-ASCII characters",
                    .step = Step::Save,
                    .outcome = Outcome::Works,
                    .title = quillbox,
                    .fragment = QStringLiteral("Item Changed"),
                    .edit = [](WindowHarness& harness) {
                        harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("7"));
                    },
                    .writes = [](const SampleRom& rom, Bytes& file) { Put(file, rom.Entry(kItem) + 16, {0x07, 0x00}); },
                    .shows = [](WindowHarness& harness) {
                        QCOMPARE(harness.Line(QStringLiteral("price"))->text(), QStringLiteral("7"));
                    },
                    .fileName = QStringLiteral("R\u00E4ume und W\u00F6rter \u00F1 \u00DF 1.gba")});
    return rows;
}

const std::vector<Row>& AllRows()
{
    static const std::vector<Row> rows = Rows();
    return rows;
}

QImage ShownIcon(const WindowHarness& harness) { return harness.Find<QLabel>(QStringLiteral("picItem"))->pixmap().toImage(); }

void RunStep(WindowHarness& harness, Step step, const QString& chosen)
{
    switch (step) {
    case Step::Open: {
        // Where the ROM names tables of its own the window offers them; No keeps the refusal.
        ModalAnswer no([](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::No)->click();
        });
        harness.Open(chosen);
        break;
    }
    case Step::Save: harness.Button(QStringLiteral("save"))->click(); break;
    case Step::RepointDescription: harness.Button(QStringLiteral("Command2"))->click(); break;
    case Step::RepointImage: harness.Button(QStringLiteral("Command3"))->click(); break;
    case Step::ShowOtherItem: harness.Select(kOtherItem); break;
    }
}

}  // namespace

void BadInputWindowTest::badInput_data()
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < AllRows().size(); ++i) {
        QTest::newRow(AllRows()[i].name) << static_cast<int>(i);
    }
}

void BadInputWindowTest::badInput()
{
    QFETCH(int, row);
    const Row& bad = AllRows()[static_cast<std::size_t>(row)];
    SampleRom rom("BPRE", bad.fileName);
    Scene scene{rom, rom.Path().parent_path() / "roms.ini", rom.PathText()};
    std::filesystem::copy_file(ProfilePathFor(ProgramFolder()), scene.profile);
    if (bad.beforeOpening) bad.beforeOpening(scene);

    WindowHarness harness(scene.profile);
    harness.Open(rom);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    QVERIFY(harness.Widget(QStringLiteral("IMGOFF"))->isEnabled());
    harness.Select(kItem);
    QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
    const Bytes opened = rom.All();
    if (bad.afterOpening) bad.afterOpening(scene);
    if (bad.edit) bad.edit(harness);

    const std::filesystem::path chosen(scene.chosen.toStdU16String());
    const std::optional<Bytes> romBefore = Snapshot(rom.Path());
    const std::optional<Bytes> chosenBefore = Snapshot(chosen);
    const QStringList shownBefore = ShownItem(harness);
    const QImage iconBefore = ShownIcon(harness);
    RunStep(harness, bad.step, scene.chosen);

    if (bad.outcome == Outcome::Works) {
        if (bad.step == Step::Save) {
            QCOMPARE(harness.messages.size(), 1u);
            QCOMPARE(harness.messages[0].title, bad.title);
            QCOMPARE(harness.messages[0].text, bad.fragment);
        } else {
            QVERIFY2(harness.messages.empty(), qPrintable(harness.MessageLog()));
        }
        QVERIFY(romBefore.has_value());
        Bytes expected = *romBefore;
        bad.writes(rom, expected);
        const Bytes after = rom.All();
        QCOMPARE(DifferingOffsets(expected, after), std::vector<std::int64_t>{});
        bad.shows(harness);
        if (QTest::currentTestFailed()) {
            return;
        }
        // The window stays usable: a save without an edit is accepted and changes nothing.
        harness.messages.clear();
        harness.Button(QStringLiteral("save"))->click();
        QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
        QVERIFY(rom.All() == after);
        return;
    }

    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, bad.title);
    QVERIFY2(harness.messages[0].text.contains(bad.fragment), qPrintable(harness.messages[0].text));
    QVERIFY(Snapshot(rom.Path()) == romBefore);
    QVERIFY(Snapshot(chosen) == chosenBefore);

    if (bad.outcome == Outcome::OpenRefused) {
        QCOMPARE(harness.Items()->count(), 0);
        for (const QString& name : kOffWithoutRom) {
            QVERIFY2(!harness.Widget(name)->isEnabled(), qPrintable(name));
        }
        QVERIFY(!harness.Action(QStringLiteral("mnuFileSave"))->isEnabled());
        QVERIFY(harness.Button(QStringLiteral("Command1"))->isEnabled());
        // Nothing can write any more.
        harness.Button(QStringLiteral("save"))->click();
        harness.Button(QStringLiteral("Command2"))->click();
        harness.Button(QStringLiteral("Command3"))->click();
        harness.Action(QStringLiteral("mnuFileSave"))->trigger();
        QCOMPARE(harness.messages.size(), 1u);
        QVERIFY(Snapshot(rom.Path()) == romBefore);
        QVERIFY(Snapshot(chosen) == chosenBefore);
        return;
    }

    // A refused step leaves the ROM open and the edits in the window for the user to correct.
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 0);
    QCOMPARE(ShownItem(harness), shownBefore);
    QCOMPARE(ShownIcon(harness), iconBefore);
    QCOMPARE(harness.Items()->currentRow(), kItem);
    QVERIFY(harness.Button(QStringLiteral("save"))->isEnabled());
    if (!bad.romGoesAway) {
        return;
    }

    // Showing another item is refused for the same reason.
    harness.Select(kOtherItem);
    QCOMPARE(harness.messages.size(), 2u);
    QCOMPARE(harness.messages[1].title, bad.title);
    QVERIFY2(harness.messages[1].text.contains(bad.fragment), qPrintable(harness.messages[1].text));
    QVERIFY(Snapshot(rom.Path()) == romBefore);
    // The selection stays with the item the controls hold.
    QCOMPARE(harness.Items()->currentRow(), kItem);
    QCOMPARE(ShownItem(harness), shownBefore);

    // Once the ROM is back as it was, the edit is saved to the item it was made on, and the item
    // that could not be shown keeps every byte.
    WriteFile(rom.Path(), opened);
    harness.messages.clear();
    harness.Button(QStringLiteral("save"))->click();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    Bytes expected = opened;
    Put(expected, rom.Entry(kItem) + 16, {0xD2, 0x04});
    QCOMPARE(DifferingOffsets(expected, rom.All()), std::vector<std::int64_t>{});
    QCOMPARE(harness.Items()->currentRow(), kItem);
}

}  // namespace quillbox::test
