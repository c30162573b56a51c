#include "ShellTest.h"

#include "AppTestSupport.h"
#include "app/AboutDialog.h"
#include "rom/Profile.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

namespace quillbox::test {

namespace {

QUrl ReadmeUrl()
{
    return QUrl::fromLocalFile(QString::fromStdU16String((ProgramFolder() / "Readme.txt").u16string()));
}

// Counts the key presses of one key that reach a control.
class KeyWitness : public QObject {
public:
    KeyWitness(QWidget* control, int key) : key_(key) { control->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_) ++seen;
        return false;
    }
    int seen = 0;

private:
    int key_;
};

}  // namespace

void ShellTest::startUpLeavesOnlyOpeningPossible()
{
    WindowHarness harness;
    QVERIFY(!harness.Button(QStringLiteral("save"))->isEnabled());
    QVERIFY(!harness.Action(QStringLiteral("mnuFileSave"))->isEnabled());
    QVERIFY(!harness.Button(QStringLiteral("Command2"))->isEnabled());
    QVERIFY(!harness.Button(QStringLiteral("Command3"))->isEnabled());
    for (const char* field : {"iname", "price", "Text3", "IMGOFF", "PALOFF", "index", "FUCP", "BUCP"}) {
        QVERIFY2(!harness.Line(QString::fromLatin1(field))->isEnabled(), field);
    }
    for (const char* list : {"pock", "sp1", "sp2", "Mys1", "Mys2", "Bu"}) {
        QVERIFY2(!harness.Combo(QString::fromLatin1(list))->isEnabled(), list);
    }
    QVERIFY(!harness.Description()->isEnabled());
    QVERIFY(!harness.Items()->isEnabled());
    QVERIFY(harness.Combo(QStringLiteral("cboattack"))->isEnabled());
    QVERIFY(harness.Button(QStringLiteral("Command1"))->isEnabled());
    QVERIFY(harness.Action(QStringLiteral("mnuFileOpen"))->isEnabled());
    QVERIFY(harness.messages.empty());
    QCOMPARE(harness.openRequests, 0);
    QVERIFY(harness.Window().State().romPath.empty());
}

void ShellTest::menuEntriesRunTheirButtonsHandlers()
{
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.openAnswer = rom.PathText();
    harness.Action(QStringLiteral("mnuFileOpen"))->trigger();
    QCOMPARE(harness.openRequests, 1);
    QCOMPARE(harness.Items()->count(), 375);
    QCOMPARE(harness.Items()->currentRow(), 0);

    harness.Select(10);
    const Bytes before = rom.All();
    harness.Retype(harness.Line(QStringLiteral("price")), QStringLiteral("4321"));
    harness.Action(QStringLiteral("mnuFileSave"))->trigger();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
    const Bytes after = rom.All();
    QCOMPARE(DifferingOffsets(before, after), (std::vector<std::int64_t>{rom.Entry(10) + 16, rom.Entry(10) + 17}));
    QCOMPARE(Le16(after, static_cast<std::size_t>(rom.Entry(10) + 16)), 4321);
    QCOMPARE(harness.Items()->currentRow(), 10);

    // A cancelled Open from the menu ends exactly like one from the button.
    harness.openAnswer.clear();
    harness.Action(QStringLiteral("mnuFileOpen"))->trigger();
    QCOMPARE(harness.openRequests, 2);
    QCOMPARE(harness.CountMessages(QStringLiteral("Unsupported ROM or no ROM opened!")), 1);
    QVERIFY(!harness.Action(QStringLiteral("mnuFileSave"))->isEnabled());
    harness.Action(QStringLiteral("mnuFileSave"))->trigger();
    QCOMPARE(harness.CountMessages(QStringLiteral("Item Changed")), 1);
}

void ShellTest::f1OpensTheReadmeFromAnyControl_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("descp") << QStringLiteral("descp") << 0;
    QTest::newRow("descp with Shift") << QStringLiteral("descp") << int(Qt::ShiftModifier);
    QTest::newRow("descp with Ctrl") << QStringLiteral("descp") << int(Qt::ControlModifier);
    QTest::newRow("iname with Alt") << QStringLiteral("iname") << int(Qt::AltModifier);
    QTest::newRow("IMGOFF") << QStringLiteral("IMGOFF") << 0;
    QTest::newRow("price") << QStringLiteral("price") << 0;
    QTest::newRow("cboitem") << QStringLiteral("cboitem") << 0;
    QTest::newRow("pock") << QStringLiteral("pock") << 0;
    QTest::newRow("Command1") << QStringLiteral("Command1") << 0;
}

void ShellTest::f1OpensTheReadmeFromAnyControl()
{
    QFETCH(QString, control);
    QFETCH(int, modifiers);
    SampleRom rom("BPRE");
    WindowHarness harness;
    harness.Open(rom);
    QWidget* focused = harness.Widget(control);
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
    focused->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), focused);
    const QString textBefore = harness.Description()->toPlainText();
    KeyWitness witness(focused, Qt::Key_F1);
    QTest::keyClick(focused, Qt::Key_F1, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(harness.viewedFiles.size(), 1u);
    QCOMPARE(harness.viewedFiles.front(), ReadmeUrl());
    QCOMPARE(witness.seen, 1);
    QCOMPARE(harness.Description()->toPlainText(), textBefore);
    // A second press opens it again; other keys do not.
    QTest::keyClick(focused, Qt::Key_F2);
    QTest::keyClick(focused, Qt::Key_F1);
    QCOMPARE(harness.viewedFiles.size(), 2u);
}

void ShellTest::readmeMenuOpensTheReadme()
{
    WindowHarness harness;
    harness.Action(QStringLiteral("mnuHelpmnuRead"))->trigger();
    QCOMPARE(harness.viewedFiles.size(), 1u);
    QCOMPARE(harness.viewedFiles.front(), ReadmeUrl());
    QVERIFY(harness.viewedFiles.front().isLocalFile());
    QVERIFY(harness.messages.empty());
}

void ShellTest::readmeThatCannotBeOpenedIsReported()
{
    WindowHarness harness;
    harness.viewerSucceeds = false;
    harness.Action(QStringLiteral("mnuHelpmnuRead"))->trigger();
    QCOMPARE(harness.messages.size(), 1u);
    QCOMPARE(harness.messages[0].title, QStringLiteral("Quillbox"));
    QVERIFY(harness.messages[0].text.contains(QStringLiteral("Readme.txt")));
    QVERIFY(harness.Button(QStringLiteral("Command1"))->isEnabled());
}

void ShellTest::readmeShipsBesideTheProgram()
{
    QFile readme(ReadmeUrl().toLocalFile());
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    for (const char* topic : {"Open", "Save", "Repoint", "roms.ini", "Item Changed"}) {
        QVERIFY2(text.contains(QString::fromLatin1(topic)), topic);
    }
}

void ShellTest::aboutIsModalAndCloses_data()
{
    QTest::addColumn<int>("closingKey");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("OK clicked") << 0;
}

void ShellTest::aboutIsModalAndCloses()
{
    QFETCH(int, closingKey);
    WindowHarness harness;
    QStringList textsSeen;
    for (int round = 0; round < 2; ++round) {
        QString title;
        QSize size;
        bool modal = false;
        QWidget* owner = nullptr;
        QStringList texts;
        ModalAnswer answer([&](QWidget* shown) {
            auto* about = qobject_cast<frmAbout*>(shown);
            QVERIFY(about != nullptr);
            title = about->windowTitle();
            size = about->size();
            modal = about->isModal() && QApplication::activeModalWidget() == about;
            owner = about->parentWidget();
            for (const char* name : {"lblTitle", "lblVersion", "lblDescription", "lblDisclaimer"}) {
                texts.append(about->findChild<QLabel*>(QString::fromLatin1(name))->text());
            }
            auto* ok = about->findChild<QPushButton*>(QStringLiteral("cmdOK"));
            texts.append(ok->text());
            QVERIFY(ok->isDefault());
            QCOMPARE(about->findChildren<QFrame*>(QStringLiteral("Line1")).size(), 2);
            if (closingKey == 0) {
                ok->click();
            } else {
                // Whichever control has the focus, Enter and Esc close the dialog.
                QTest::keyClick(about, Qt::Key(closingKey));
            }
        });
        harness.Action(QStringLiteral("mnuHelpAbout"))->trigger();
        QVERIFY(answer.Answered());
        QCOMPARE(title, QStringLiteral("About Quillbox"));
        QCOMPARE(size, QSize(393, 284));
        QVERIFY(modal);
        QCOMPARE(owner, &harness.Window());
        QCOMPARE(texts.value(0), QStringLiteral("Quillbox"));
        QCOMPARE(texts.value(1), QStringLiteral("Version: 1.0.0"));
        QVERIFY(texts.value(2).startsWith(QStringLiteral("Credits:")));
        QVERIFY(!texts.value(3).isEmpty());
        QCOMPARE(texts.value(4), QStringLiteral("OK"));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        if (round == 1) {
            QCOMPARE(texts, textsSeen);
        }
        textsSeen = texts;
    }
    QVERIFY(harness.Window().findChildren<frmAbout*>().isEmpty());
}

void ShellTest::exitClosesTheWindow()
{
    WindowHarness harness;
    QVERIFY(harness.Window().isVisible());
    harness.Action(QStringLiteral("mnuExit"))->trigger();
    QVERIFY(!harness.Window().isVisible());
    QVERIFY(harness.messages.empty());
}

void ShellTest::messagesUseRealMessageBoxes()
{
    WindowHarness harness;
    harness.Window().SetMessageHandler({});
    QString title;
    QString text;
    ModalAnswer answer([&](QWidget* shown) {
        auto* box = qobject_cast<QMessageBox*>(shown);
        QVERIFY(box != nullptr);
        title = box->windowTitle();
        text = box->text();
        QCOMPARE(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
    harness.Open(QString());
    QVERIFY(answer.Answered());
    QCOMPARE(title, QStringLiteral("Quillbox"));
    QCOMPARE(text, QStringLiteral("Unsupported ROM or no ROM opened!"));
}

}  // namespace quillbox::test
