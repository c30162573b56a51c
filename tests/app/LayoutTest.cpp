#include "LayoutTest.h"

#include "AppTestSupport.h"
#include "app/WindowParts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTest>

#include <set>

namespace quillbox::test {

namespace {

QString CaptionOf(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) return text->toPlainText();
    return QString();
}

// The width a combo box leaves for the text of its selected entry.
int ComboTextWidth(QComboBox* list)
{
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    option.frame = list->hasFrame();
    option.rect = list->rect();
    return list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list).width();
}

// The width a line edit leaves for its text: its contents rectangle less Qt's two-pixel margins.
int LineTextWidth(QLineEdit* line)
{
    QStyleOptionFrame option;
    option.initFrom(line);
    option.rect = line->rect();
    option.lineWidth = line->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, line);
    const QRect contents = line->style()->subElementRect(QStyle::SE_LineEditContents, &option, line);
    const QMargins margins = line->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;
}

// A label of several lines needs the height its text takes at its width.
void CheckWrappedLabelsFit(QWidget& window)
{
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->wordWrap() || label->text().isEmpty()) continue;
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                 qPrintable(label->objectName() + QStringLiteral(": ") + label->text()));
    }
}

}  // namespace

void LayoutTest::windowFrameIsFixed()
{
    WindowHarness harness;
    Form1& window = harness.Window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Quillbox"));
    // The designed 614 by 446, grown to the right and below for the record's meanings and the effect.
    QCOMPARE(window.centralWidget()->size(), QSize(1014, 674));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QCOMPARE(window.size(), QSize(1014, 674 + window.menuBar()->height()));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window.findChild<QStatusBar*>() == nullptr);
}

void LayoutTest::controlsStandWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    const QString window = QStringLiteral("client");
    auto row = [](const char* name, const char* kind, const QString& container, QRect geometry, const char* caption) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind) << container << geometry
                            << QString::fromUtf8(caption);
    };
    row("Picture1", "QLabel", window, {0, 0, 617, 129}, "");
    row("cboitem", "QListWidget", window, {8, 144, 113, 251}, "");
    row("Frame5", "QGroupBox", window, {128, 136, 137, 41}, "Item Name");
    row("iname", "QLineEdit", QStringLiteral("Frame5"), {8, 16, 121, 19}, "");
    row("Frame2", "QGroupBox", window, {272, 136, 65, 41}, "Price");
    row("price", "QLineEdit", QStringLiteral("Frame2"), {8, 16, 49, 19}, "");
    row("Label3", "QLabel", window, {352, 136, 105, 17}, "Description Pointer:");
    row("Text3", "QLineEdit", window, {448, 136, 81, 19}, "");
    row("Command2", "QPushButton", window, {536, 136, 65, 17}, "Repoint");
    row("Frame7", "QGroupBox", window, {352, 160, 249, 89}, "Description");
    row("descp", "QPlainTextEdit", QStringLiteral("Frame7"), {8, 16, 233, 67}, "");
    row("Frame8", "QGroupBox", window, {128, 184, 217, 89}, "Item Image");
    row("picItemImageHold", "QWidget", QStringLiteral("Frame8"), {16, 16, 189, 65}, "");
    row("Label4", "QLabel", QStringLiteral("picItemImageHold"), {0, 0, 65, 17}, "Image Offset:");
    row("IMGOFF", "QLineEdit", QStringLiteral("picItemImageHold"), {72, 0, 81, 19}, "");
    row("Label5", "QLabel", QStringLiteral("picItemImageHold"), {0, 24, 73, 17}, "Pallete Offset:");
    row("PALOFF", "QLineEdit", QStringLiteral("picItemImageHold"), {72, 24, 81, 19}, "");
    row("Command3", "QPushButton", QStringLiteral("picItemImageHold"), {0, 40, 57, 23}, "Repoint");
    row("picItem", "QLabel", QStringLiteral("picItemImageHold"), {160, 8, 24, 24}, "");
    row("Frame3", "QGroupBox", window, {352, 256, 177, 41}, "Pocket");
    row("pock", "QComboBox", QStringLiteral("Frame3"), {8, 16, 161, 21}, "");
    row("Label2", "QLabel", window, {536, 256, 65, 17}, "Text Count:");
    row("Text1", "QLineEdit", window, {536, 280, 25, 19}, "");
    row("Label1", "QLabel", window, {560, 280, 17, 17}, "/");
    row("Text2", "QLineEdit", window, {576, 280, 25, 19}, "");
    row("Frame1", "QGroupBox", window, {128, 280, 65, 41}, "Index");
    row("index", "QLineEdit", QStringLiteral("Frame1"), {8, 16, 49, 19}, "");
    row("Frame6", "QGroupBox", window, {208, 280, 137, 41}, "Special Values");
    row("sp1", "QComboBox", QStringLiteral("Frame6"), {8, 16, 57, 21}, "");
    row("sp2", "QComboBox", QStringLiteral("Frame6"), {72, 16, 57, 21}, "");
    row("Label6", "QLabel", window, {352, 304, 81, 17}, "Mystery Values:");
    row("Mys1", "QComboBox", window, {432, 304, 33, 21}, "");
    row("Mys2", "QComboBox", window, {472, 304, 33, 21}, "");
    row("Command1", "QPushButton", window, {512, 304, 89, 49}, "Open");
    row("Label7", "QLabel", window, {352, 328, 65, 17}, "Battle Usage:");
    row("Bu", "QComboBox", window, {432, 328, 33, 21}, "");
    row("Frame4", "QGroupBox", window, {128, 344, 137, 49}, "Attack");
    row("cboattack", "QComboBox", QStringLiteral("Frame4"), {8, 16, 121, 21}, "");
    row("Label8", "QLabel", window, {272, 352, 129, 17}, "Field Usage Code Pointer:");
    row("FUCP", "QLineEdit", window, {408, 352, 81, 19}, "");
    row("save", "QPushButton", window, {512, 352, 89, 49}, "Save");
    row("Label9", "QLabel", window, {272, 376, 129, 17}, "Battle Usage Code Pointer:");
    row("BUCP", "QLineEdit", window, {408, 376, 81, 19}, "");
    row("Frame9", "QGroupBox", window, {8, 400, 601, 39}, "");
}

void LayoutTest::controlsStandWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    WindowHarness harness;
    QWidget* control = harness.Widget(name);
    QVERIFY2(control->inherits(kind.toLatin1().constData()), control->metaObject()->className());
    QCOMPARE(control->parentWidget()->objectName(), container);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(CaptionOf(control), caption);
    QVERIFY(control->isVisible());
}

void LayoutTest::startUpEnabledStates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    for (const char* off :
         {"cboitem", "iname", "price", "Label3", "Text3", "Command2", "descp", "IMGOFF", "PALOFF", "Command3",
          "pock",    "index", "sp1",   "sp2",    "Mys1",  "Mys2",     "Bu",    "FUCP",   "save",   "BUCP"}) {
        QTest::newRow(off) << QString::fromLatin1(off) << false;
    }
    for (const char* on :
         {"Picture1", "Frame5", "Frame2",    "Frame7", "Frame8", "picItemImageHold", "Label4", "Label5", "picItem",
          "Frame3",   "Label2", "Text1",     "Label1", "Text2",  "Frame1",           "Frame6", "Label6", "Command1",
          "Label7",   "Frame4", "cboattack", "Label8", "Label9", "Frame9",           "Label10"}) {
        QTest::newRow(on) << QString::fromLatin1(on) << true;
    }
}

void LayoutTest::startUpEnabledStates()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    WindowHarness harness;
    QCOMPARE(harness.Widget(name)->isEnabled(), enabled);
}

void LayoutTest::startUpListContents()
{
    WindowHarness harness;
    QListWidget* items = harness.Items();
    QCOMPARE(items->count(), 1);
    QCOMPARE(items->item(0)->text(), QStringLiteral("Item List"));
    QCOMPARE(harness.Combo(QStringLiteral("cboattack"))->count(), 0);
    for (const char* empty : {"Mys1", "Mys2", "Bu"}) {
        QCOMPARE(harness.Combo(QString::fromLatin1(empty))->count(), 0);
    }
    QComboBox* pocket = harness.Combo(QStringLiteral("pock"));
    QStringList pockets;
    for (int i = 0; i < pocket->count(); ++i)
        pockets.append(pocket->itemText(i));
    QCOMPARE(pockets,
             (QStringList{QStringLiteral("???"), QStringLiteral("General"), QStringLiteral("Key Items"),
                          QStringLiteral("Poke Balls"), QStringLiteral("TM Case"), QStringLiteral("Berry Pouch")}));
    for (const char* name : {"sp1", "sp2"}) {
        QComboBox* special = harness.Combo(QString::fromLatin1(name));
        QCOMPARE(special->count(), 256);
        QCOMPARE(special->itemText(0), QStringLiteral("00"));
        QCOMPARE(special->itemText(7), QStringLiteral("07"));
        QCOMPARE(special->itemText(99), QStringLiteral("99"));
        QCOMPARE(special->itemText(100), QStringLiteral("100"));
        QCOMPARE(special->itemText(255), QStringLiteral("255"));
        for (int position = 0; position < special->count(); ++position) {
            QCOMPARE(special->itemText(position).toInt(), position);
        }
        QVERIFY(!special->isEditable());
    }
    for (QComboBox* list : harness.Window().findChildren<QComboBox*>()) {
        QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));
    }
    for (const char* field :
         {"iname", "price", "Text3", "IMGOFF", "PALOFF", "index", "FUCP", "BUCP", "Text1", "Text2"}) {
        QCOMPARE(harness.Line(QString::fromLatin1(field))->text(), QString());
    }
    QVERIFY(harness.Line(QStringLiteral("Text1"))->isReadOnly());
    QVERIFY(harness.Line(QStringLiteral("Text2"))->isReadOnly());
    for (const char* centred : {"iname", "price", "index"}) {
        QVERIFY(harness.Line(QString::fromLatin1(centred))->alignment().testFlag(Qt::AlignHCenter));
    }
}

void LayoutTest::tabOrderFollowsTheDesign()
{
    WindowHarness harness;
    const QStringList expected{
        QStringLiteral("cboitem"),  QStringLiteral("pock"),     QStringLiteral("price"),
        QStringLiteral("index"),    QStringLiteral("save"),     QStringLiteral("Command1"),
        QStringLiteral("iname"),    QStringLiteral("descp"),    QStringLiteral("sp1"),
        QStringLiteral("sp2"),      QStringLiteral("Text1"),    QStringLiteral("Text2"),
        QStringLiteral("Text3"),    QStringLiteral("Command2"), QStringLiteral("picItemImageHold"),
        QStringLiteral("picItem"),  QStringLiteral("PALOFF"),   QStringLiteral("IMGOFF"),
        QStringLiteral("Command3"), QStringLiteral("Mys1"),     QStringLiteral("Mys2"),
        QStringLiteral("Bu"),       QStringLiteral("FUCP"),     QStringLiteral("BUCP"),
        QStringLiteral("Picture1"), QStringLiteral("cboattack")};
    const std::set<QString> designed(expected.begin(), expected.end());
    QStringList order;
    QWidget* start = harness.Items();
    QWidget* widget = start;
    do {
        if (designed.count(widget->objectName()) != 0 && (widget->focusPolicy() & Qt::TabFocus) != 0 &&
            !order.contains(widget->objectName())) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != start && order.size() < expected.size());
    QCOMPARE(order, expected);
    for (QLabel* label : harness.Window().findChildren<QLabel*>()) {
        if (designed.count(label->objectName()) == 0) {
            QVERIFY2(label->focusPolicy() == Qt::NoFocus, qPrintable(label->objectName()));
        }
    }
}

void LayoutTest::menusHaveTheirEntries()
{
    WindowHarness harness;
    QMenuBar* bar = harness.Window().menuBar();
    QCOMPARE(bar->actions().size(), 3);
    auto* file = harness.Find<QMenu>(QStringLiteral("mnuFile"));
    auto* edit = harness.Find<QMenu>(QStringLiteral("mnuEdit"));
    auto* help = harness.Find<QMenu>(QStringLiteral("mnuHelp"));
    QCOMPARE(bar->actions().at(0), file->menuAction());
    QCOMPARE(bar->actions().at(1), edit->menuAction());
    QCOMPARE(bar->actions().at(2), help->menuAction());
    QCOMPARE(file->title(), QStringLiteral("&File"));
    QCOMPARE(edit->title(), QStringLiteral("&Edit"));
    QCOMPARE(help->title(), QStringLiteral("&Help"));

    auto describe = [](QMenu* menu) {
        QStringList entries;
        for (QAction* action : menu->actions()) {
            entries.append(action->isSeparator() ? QStringLiteral("-")
                                                 : action->objectName() + u'=' + action->text() +
                                                       (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
            if (!action->shortcut().isEmpty()) {
                entries.append(QStringLiteral("shortcut ") + action->shortcut().toString());
            }
        }
        return entries;
    };
    QCOMPARE(describe(file), (QStringList{QStringLiteral("mnuFileOpen=&Open..."), QStringLiteral("-"),
                                          QStringLiteral("mnuFileSave=&Save (off)"), QStringLiteral("-"),
                                          QStringLiteral("mnuExit=&Exit")}));
    QCOMPARE(describe(edit), (QStringList{QStringLiteral("mnuEditUndo=&Undo (off)"), QStringLiteral("shortcut Ctrl+Z"),
                                          QStringLiteral("mnuEditRedo=&Redo (off)"), QStringLiteral("shortcut Ctrl+Shift+Z"),
                                          QStringLiteral("-"), QStringLiteral("mnuEditAddItem=&Add Item... (off)"),
                                          QStringLiteral("-"), QStringLiteral("mnuEditKeepHistory=&Keep History")}));
    QCOMPARE(describe(help), (QStringList{QStringLiteral("mnuHelpmnuRead=&ReadMe!"), QStringLiteral("-"),
                                          QStringLiteral("mnuHelpAbout=&About")}));
}

void LayoutTest::captionsFitTheirControls()
{
    WindowHarness harness;
    CheckWrappedLabelsFit(harness.Window());
    for (QLabel* label : harness.Window().findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->wordWrap()) continue;
        int room = label->contentsRect().width();
        // A control standing over the label's right end hides that part.
        for (QWidget* sibling : label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (sibling != label && sibling->geometry().intersects(label->geometry()) && sibling->x() > label->x()) {
                room = std::min(room, sibling->x() - label->x());
            }
        }
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(needed <= room, qPrintable(label->objectName() + QStringLiteral(" needs ") + QString::number(needed) +
                                            QStringLiteral(" of ") + QString::number(room)));
        QVERIFY2(label->fontMetrics().height() <= label->height(), qPrintable(label->objectName()));
    }
    for (QPushButton* button : harness.Window().findChildren<QPushButton*>()) {
        const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 8;
        QVERIFY2(needed <= button->width(), qPrintable(button->objectName()));
        QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(button->objectName()));
    }
    for (QGroupBox* frame : harness.Window().findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label =
            frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        QVERIFY2(label.right() < frame->width(), qPrintable(frame->objectName()));
        // The caption sits above the controls inside the frame.
        for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!frame->title().isEmpty()) {
                QVERIFY2(label.bottom() <= child->y() + 2,
                         qPrintable(frame->objectName() + u'/' + child->objectName()));
            }
        }
    }
}

void LayoutTest::valuesFitTheirControls_data()
{
    QTest::addColumn<QByteArray>("headerCode");
    for (const char* code : {"BPRE", "BPEE", "AXVE"}) {
        QTest::newRow(code) << QByteArray(code);
    }
}

void LayoutTest::valuesFitTheirControls()
{
    QFETCH(QByteArray, headerCode);
    SampleRom rom(headerCode.toStdString());
    // Ten items that have routines of their own in the sample share a field routine, so that its
    // line names more of them than fit.
    constexpr int kFirst = 200;
    constexpr int kSharing = 10;
    for (int position = kFirst; position < kFirst + kSharing; ++position) {
        rom.Write(rom.Entry(position) + 28, rom.Read(rom.Entry(kFirst) + 28, 4));
    }
    WindowHarness harness;
    harness.Open(rom);
    QCOMPARE(harness.messages.size(), 0u);
    harness.Select(kFirst + kSharing - 1);
    QVERIFY(harness.Find<QLabel>(QStringLiteral("FUCPWords"))->text().startsWith(QStringLiteral("used by 10 items: ")));
    CheckWrappedLabelsFit(harness.Window());
    for (QComboBox* list : harness.Window().findChildren<QComboBox*>()) {
        const int room = ComboTextWidth(list);
        auto* coded = qobject_cast<CodeList*>(list);
        for (int i = 0; i < list->count(); ++i) {
            // A list of coded values shows the number alone when the whole entry does not fit; its
            // drop-down shows every entry whole.
            const QString entry = list->itemText(i);
            const QString closed = coded != nullptr ? coded->ClosedText(entry) : entry;
            QVERIFY2(closed == entry || entry.startsWith(closed + u' '), qPrintable(entry));
            const int needed = list->fontMetrics().horizontalAdvance(closed);
            const int shownIn = coded != nullptr ? coded->TextRoom(closed) : room;
            QVERIFY2(needed <= shownIn && shownIn <= list->width(),
                     qPrintable(list->objectName() + u' ' + entry + QStringLiteral(" needs ") +
                                QString::number(needed) + QStringLiteral(" of ") + QString::number(shownIn)));
            QVERIFY2(list->fontMetrics().horizontalAdvance(entry) < list->view()->minimumWidth(),
                     qPrintable(list->objectName() + u' ' + entry));
        }
    }
    QListWidget* items = harness.Items();
    const int listRoom = items->viewport()->width();
    for (int i = 0; i < items->count(); ++i) {
        QVERIFY2(items->fontMetrics().horizontalAdvance(items->item(i)->text()) <= listRoom,
                 qPrintable(items->item(i)->text()));
    }
    // The widest values each text box holds.
    const std::pair<const char*, const char*> widest[] = {
        {"price", "65535"}, {"index", "65535"}, {"Text3", "1FFFFFF"}, {"IMGOFF", "FFFFFF"}, {"PALOFF", "DDDDDD"},
        {"FUCP", "FFFFFF"}, {"BUCP", "DDDDDD"}, {"Text1", "256"},     {"Text2", "110"},     {"iname", "Quartz Stone"}};
    for (const auto& [name, value] : widest) {
        QLineEdit* line = harness.Line(QString::fromLatin1(name));
        const int needed = line->fontMetrics().horizontalAdvance(QString::fromLatin1(value));
        QVERIFY2(needed <= LineTextWidth(line),
                 qPrintable(QString::fromLatin1(name) + QStringLiteral(" needs ") + QString::number(needed) +
                            QStringLiteral(" of ") + QString::number(LineTextWidth(line))));
    }
}

void LayoutTest::bannerIsCutOffByItsBox()
{
    WindowHarness harness;
    auto* banner = harness.Find<QLabel>(QStringLiteral("Picture1"));
    const QPixmap picture = banner->pixmap();
    QCOMPARE(picture.size(), QSize(661, 126));
    QVERIFY(banner->width() < picture.width());
    QCOMPARE(banner->frameShadow(), QFrame::Sunken);
    QVERIFY(banner->frameWidth() > 0);
    QVERIFY(!banner->hasScaledContents());
    QVERIFY(banner->alignment().testFlag(Qt::AlignLeft) && banner->alignment().testFlag(Qt::AlignTop));
    // A dark picture: its average brightness is low.
    const QImage image = picture.toImage();
    double brightness = 0;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            brightness += qGray(image.pixel(x, y));
        }
    }
    brightness /= (image.height() / 3 + 1) * (image.width() / 3 + 1);
    QVERIFY2(brightness < 80, qPrintable(QString::number(brightness)));
    // The picture is drawn from the box's top-left corner inside its border.
    const QImage shown = banner->grab().toImage();
    const int border = banner->frameWidth();
    QCOMPARE(shown.pixel(border + 5, border + 5), image.pixel(5, 5));
}

void LayoutTest::iconIsTwentyFourPixelsOfAPalette()
{
    WindowHarness harness;
    const QIcon icon = harness.Window().windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(24, 24)));
    const QImage image(QStringLiteral(":/images/icon.png"));
    QCOMPARE(image.size(), QSize(24, 24));
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QVERIFY(image.colorCount() <= 256);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void LayoutTest::descriptionBoxHasNoScrollBars()
{
    WindowHarness harness;
    QPlainTextEdit* description = harness.Description();
    QCOMPARE(description->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(description->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(description->tabChangesFocus());
}

void LayoutTest::frameCaptionsUseTheTitleBarColour()
{
    WindowHarness harness;
    const QPalette ordinary = QApplication::palette();
    const QColor titleBar = ordinary.color(QPalette::Active, QPalette::Highlight);
    QVERIFY(titleBar != ordinary.color(QPalette::Active, QPalette::WindowText));
    for (QGroupBox* frame : harness.Window().findChildren<QGroupBox*>()) {
        QCOMPARE(frame->palette().color(QPalette::Active, QPalette::WindowText), titleBar);
    }
    // Labels inside frames keep the ordinary text colour, and a disabled label still greys out.
    for (const char* name : {"Label4", "Label5", "Label10"}) {
        auto* label = harness.Find<QLabel>(QString::fromLatin1(name));
        QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText),
                 ordinary.color(QPalette::Active, QPalette::WindowText));
        QCOMPARE(label->palette().color(QPalette::Disabled, QPalette::WindowText),
                 ordinary.color(QPalette::Disabled, QPalette::WindowText));
    }
}

// The record's coded bytes and routines, in record order, each with its words beside it; the two
// bytes the design had no control for get their list here, the routines a "Use like…" button.
void LayoutTest::recordPanelHasARowPerCodedField()
{
    WindowHarness harness;
    auto* panel = harness.Find<QGroupBox>(QStringLiteral("recordPanel"));
    QCOMPARE(panel->title(), QStringLiteral("What the game does with it"));
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->geometry().left(), 622);  // beside the designed window, which stays as it was
    struct Row {
        const char* control;
        const char* label;
        const char* ownList;  // the list the panel holds for the field, or none
        const char* button;
    };
    const Row rows[] = {{"sp1", "Hold effect", nullptr, nullptr},
                        {"sp2", "Parameter", nullptr, nullptr},
                        {"Mys1", "Key item", nullptr, nullptr},
                        {"Mys2", "Registrable", nullptr, nullptr},
                        {"pock", "Pocket", nullptr, nullptr},
                        {"itemType", "Type", "itemType", nullptr},
                        {"FUCP", "Field routine", nullptr, "fieldUseLike"},
                        {"Bu", "Battle usage", nullptr, nullptr},
                        {"BUCP", "Battle routine", nullptr, "battleUseLike"},
                        {"secondaryId", "Secondary id", "secondaryId", nullptr}};
    int previousTop = -1;
    for (const Row& row : rows) {
        const QString control = QString::fromLatin1(row.control);
        auto* words = harness.Find<QLabel>(control + QStringLiteral("Words"));
        QVERIFY2(panel->isAncestorOf(words), row.control);
        QVERIFY2(words->wordWrap(), row.control);
        QCOMPARE(words->text(), QString());
        auto* label = harness.Find<QLabel>(control + QStringLiteral("Label"));
        QCOMPARE(label->text(), QString::fromUtf8(row.label));
        QVERIFY2(label->y() > previousTop, row.control);
        previousTop = label->y();
        QVERIFY2(label->geometry().right() < words->x(), row.control);
        if (row.ownList != nullptr) {
            QComboBox* list = harness.Combo(QString::fromLatin1(row.ownList));
            QVERIFY(panel->isAncestorOf(list));
            QVERIFY(!list->isEnabled());
            QCOMPARE(list->count(), 0);
            QVERIFY(!list->geometry().intersects(words->geometry()));
        } else {
            QVERIFY2(!panel->isAncestorOf(harness.Widget(control)), row.control);
        }
        if (row.button != nullptr) {
            QPushButton* button = harness.Button(QString::fromLatin1(row.button));
            QCOMPARE(button->text(), QStringLiteral("Use like\u2026"));
            QVERIFY(!button->isEnabled());
            QVERIFY(!button->geometry().intersects(words->geometry()));
        }
    }
    QCOMPARE(panel->findChildren<QLabel*>(QRegularExpression(QStringLiteral("Words$"))).size(), int(std::size(rows)));
}

// A check box for each flag, a number box for each count of stages, and for each amount a number
// box whose lowest step is "off" (the flag that takes the amount cleared).
void LayoutTest::effectPanelHasAControlPerMember()
{
    WindowHarness harness;
    auto* panel = harness.Find<QGroupBox>(QStringLiteral("effectPanel"));
    QCOMPARE(panel->title(), QStringLiteral("Effect when used"));
    QVERIFY(panel->geometry().top() >= 446);  // below the designed window
    QVERIFY(panel->isAncestorOf(harness.Find<QLabel>(QStringLiteral("effectWords"))));
    QCOMPARE(harness.Button(QStringLiteral("effectSave"))->text(), QStringLiteral("Save Effect"));
    QVERIFY(!harness.Button(QStringLiteral("effectSave"))->isEnabled());
    // One of each kind: a flag, stages, Dire Hit's two bits, an amount and a signed amount.
    auto* flag = harness.Find<QCheckBox>(QStringLiteral("effect_curesBurn"));
    QVERIFY(!flag->isEnabled() && !flag->isChecked());
    struct Number {
        const char* key;
        int lowest;
        int highest;
        const char* off;
    };
    const Number numbers[] = {{"attackStages", 0, 15, ""},
                              {"direHit", 0, 3, ""},
                              {"healHp", -1, 255, "off"},
                              {"friendshipLow", -129, 127, "off"}};
    for (const Number& number : numbers) {
        auto* spin = harness.Find<QSpinBox>(QStringLiteral("effect_") + QString::fromLatin1(number.key));
        QCOMPARE(spin->minimum(), number.lowest);
        QCOMPARE(spin->maximum(), number.highest);
        QCOMPARE(spin->specialValueText(), QString::fromLatin1(number.off));
        QCOMPARE(spin->value(), number.lowest);
        QVERIFY2(!spin->isEnabled(), number.key);
    }
    // Fifteen flags, six counts of stages and eleven amounts.
    const auto controls = panel->findChildren<QWidget*>(QRegularExpression(QStringLiteral("^effect_[A-Za-z]+$")));
    QCOMPARE(controls.size(), 15 + 6 + 11);
    QCOMPARE(panel->findChildren<QCheckBox*>().size(), 15);
    // Nothing in the panel stands over anything else.
    const auto parts = harness.Widget(QStringLiteral("effectControls"))->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* part : parts) {
        for (QWidget* other : parts) {
            QVERIFY2(part == other || !part->geometry().intersects(other->geometry()),
                     qPrintable(part->objectName() + u' ' + other->objectName()));
        }
    }
}

}  // namespace quillbox::test
