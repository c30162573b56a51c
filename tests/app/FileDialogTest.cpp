#include "FileDialogTest.h"

#include "AppTestSupport.h"
#include "app/FileDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

namespace quillbox::test {

namespace {

const QString kRomFilter = QStringLiteral("GameBoy Advance ROMs (*.gba, *.bin)|*.gba;*.bin|");

QString MakeFile(const QTemporaryDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw std::runtime_error("cannot create a file to choose");
    }
    file.write("x");
    return path;
}

}  // namespace

void FileDialogTest::convertFilterText_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    const QStringList rom{QStringLiteral("GameBoy Advance ROMs (*.gba, *.bin) (*.gba *.bin)")};
    QTest::newRow("closing bar") << kRomFilter << rom;
    QTest::newRow("no closing bar") << QStringLiteral("GameBoy Advance ROMs (*.gba, *.bin)|*.gba;*.bin") << rom;
    QTest::newRow("two pairs") << QStringLiteral("Text|*.txt|Everything|*.*|")
                               << QStringList{QStringLiteral("Text (*.txt)"), QStringLiteral("Everything (*.*)")};
    QTest::newRow("empty pattern between semicolons")
        << QStringLiteral("Images|*.png;;*.bmp|") << QStringList{QStringLiteral("Images (*.png *.bmp)")};
    QTest::newRow("name without patterns") << QStringLiteral("Lonely") << QStringList();
    QTest::newRow("empty") << QString() << QStringList();
}

void FileDialogTest::convertFilterText()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(ConvertFilterText(filter), expected);
}

void FileDialogTest::showOpenListsTheFilterAndReturnsTheChosenPath()
{
    QTemporaryDir folder;
    const QString rom = MakeFile(folder, QStringLiteral("game.gba"));
    clsCommonDialog dialog;
    QCOMPARE(dialog.FilterIndex(), 0);
    QStringList shownFilters;
    QString shownTitle;
    ModalAnswer answer([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        QVERIFY(files != nullptr);
        shownFilters = files->nameFilters();
        shownTitle = files->windowTitle();
        ChooseFile(files, rom);
    });
    const QString chosen = dialog.ShowOpen(nullptr, QStringLiteral("Open..."), QString(), kRomFilter, 0x1804);
    QVERIFY(answer.Answered());
    QCOMPARE(shownTitle, QStringLiteral("Open..."));
    QCOMPARE(shownFilters, QStringList{QStringLiteral("GameBoy Advance ROMs (*.gba, *.bin) (*.gba *.bin)")});
    QCOMPARE(chosen, rom);
    QCOMPARE(dialog.FileName(), rom);
    QCOMPARE(dialog.FilterIndex(), 1);
}

void FileDialogTest::cancelledShowOpenKeepsTheEarlierChoice()
{
    QTemporaryDir folder;
    const QString rom = MakeFile(folder, QStringLiteral("first.gba"));
    clsCommonDialog dialog;
    {
        ModalAnswer cancel([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QCOMPARE(dialog.ShowOpen(nullptr, QStringLiteral("Open..."), QString(), kRomFilter, 0x1804), QString());
        QVERIFY(cancel.Answered());
    }
    QCOMPARE(dialog.FileName(), QString());
    QCOMPARE(dialog.FilterIndex(), 0);
    {
        ModalAnswer choose([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ChooseFile(files, rom);
        });
        QCOMPARE(dialog.ShowOpen(nullptr, QStringLiteral("Open..."), QString(), kRomFilter, 0x1804), rom);
    }
    QString startFolder;
    {
        ModalAnswer cancel([&](QWidget* modal) {
            // With no initial folder given, the dialog starts where the last chosen file lies.
            startFolder = qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QCOMPARE(dialog.ShowOpen(nullptr, QStringLiteral("Open..."), QString(), kRomFilter, 0x1804), QString());
    }
    QCOMPARE(startFolder, QDir(folder.path()).absolutePath());
    QCOMPARE(dialog.FileName(), rom);
    QCOMPARE(dialog.FilterIndex(), 1);
}

void FileDialogTest::openFlagsSetTheDialogUp_data()
{
    QTest::addColumn<uint>("flags");
    QTest::addColumn<int>("fileMode");
    QTest::newRow("file must exist") << 0x1804u << int(QFileDialog::ExistingFile);
    QTest::newRow("path must exist only") << 0x804u << int(QFileDialog::AnyFile);
    QTest::newRow("no flags") << 0u << int(QFileDialog::AnyFile);
}

void FileDialogTest::openFlagsSetTheDialogUp()
{
    QFETCH(uint, flags);
    QFETCH(int, fileMode);
    clsCommonDialog dialog;
    int shownMode = -1;
    bool acceptsOpen = false;
    bool native = true;
    ModalAnswer answer([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        shownMode = int(files->fileMode());
        acceptsOpen = files->acceptMode() == QFileDialog::AcceptOpen;
        native = !files->testOption(QFileDialog::DontUseNativeDialog);
        files->reject();
    });
    const quint32 passed = flags;
    QCOMPARE(dialog.ShowOpen(nullptr, QStringLiteral("Open..."), QString(), kRomFilter, passed), QString());
    QCOMPARE(passed, quint32(flags));
    QCOMPARE(shownMode, fileMode);
    QVERIFY(acceptsOpen);
    QVERIFY(!native);
}

void FileDialogTest::showSaveAppendsTheDefaultExtension()
{
    QTemporaryDir folder;
    clsCommonDialog dialog;
    QString suggested;
    bool confirmsOverwrite = true;
    ModalAnswer answer([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        QVERIFY(files->acceptMode() == QFileDialog::AcceptSave);
        suggested = files->selectedFiles().value(0);
        confirmsOverwrite = !files->testOption(QFileDialog::DontConfirmOverwrite);
        ChooseFile(files, folder.filePath(QStringLiteral("typed")));
    });
    const QString chosen = dialog.ShowSave(nullptr, QStringLiteral("Save..."), QStringLiteral("module.bas"),
                                           folder.path(), QStringLiteral("Basic|*.bas|"), 0);
    QVERIFY(answer.Answered());
    QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("module.bas"));
    QVERIFY(!confirmsOverwrite);
    QCOMPARE(chosen, folder.filePath(QStringLiteral("typed.bas")));
    QCOMPARE(dialog.FileName(), QString());
    QCOMPARE(dialog.FilterIndex(), 1);
}

void FileDialogTest::secondFilterIsRememberedByIndex()
{
    QTemporaryDir folder;
    const QString text = MakeFile(folder, QStringLiteral("notes.txt"));
    clsCommonDialog dialog;
    ModalAnswer answer([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        files->selectNameFilter(files->nameFilters().value(1));
        // The dialog applies a changed filter to its file list on its own time; choose after it.
        QTimer::singleShot(100, files, [files, text] { ChooseFile(files, text); });
    });
    QCOMPARE(dialog.ShowOpen(nullptr, QStringLiteral("Open..."), folder.path(),
                             QStringLiteral("ROMs|*.gba|Text|*.txt|"), 0x1804),
             text);
    QCOMPARE(dialog.FilterIndex(), 2);
}

}  // namespace quillbox::test
