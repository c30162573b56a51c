#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/EditMenu.h"
#include "app/EffectPanel.h"
#include "app/FileDialog.h"
#include "app/InputFilters.h"
#include "app/QtText.h"
#include "app/RecordPanel.h"
#include "app/TableDetectionPrompt.h"
#include "app/WindowParts.h"
#include "app/WindowFont.h"
#include "image/ItemIcon.h"
#include "editor/FieldRules.h"
#include "editor/UserTexts.h"
#include "rom/GameFamily.h"
#include "base/HexText.h"
#include "rom/InstallPaths.h"
#include "rom/Profile.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextDocument>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

// Resources of a static library are registered by hand, from outside any namespace.
static void RegisterWindowImages() { Q_INIT_RESOURCE(images); }

namespace quillbox {

namespace {

const QString kTitle = ProgramTitle();
const QString kRomFilter = u"GameBoy Advance ROMs (*.gba, *.bin)|*.gba;*.bin|"_s;
constexpr quint32 kOpenFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

QString FromText(TextView text) { return QString::fromStdU32String(Text(text)); }
Text ToText(const QString& text) { return text.toStdU32String(); }
QString FromPath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }
std::filesystem::path ToPath(const QString& path) { return std::filesystem::path(path.toStdU16String()); }

QStringList ToQStrings(std::span<const std::string_view> entries)
{
    QStringList list;
    for (std::string_view entry : entries) {
        list.append(Utf8ToQString(entry));
    }
    return list;
}

QStringList ToQStrings(const std::vector<std::string>& entries)
{
    QStringList list;
    for (const std::string& entry : entries) {
        list.append(Utf8ToQString(entry));
    }
    return list;
}

QAction* Named(QAction* action, const QString& name)
{
    action->setObjectName(name);
    return action;
}

// A text box takes its limit and its characters from the field rule of its name.
QLineEdit* MakeTextBox(QWidget* container, const QString& name, const QRect& geometry, bool centred = false)
{
    auto* box = Place(new QLineEdit(container), name, geometry);
    if (centred) {
        box->setAlignment(Qt::AlignCenter);
    }
    new FieldValidator(box, *FindTextFieldRule(name.toStdString()));
    return box;
}

template <typename List = QComboBox>
QComboBox* MakeList(QWidget* container, const QString& name, const QRect& geometry, const QStringList& entries)
{
    auto* list = Place(new List(container), name, geometry);
    list->setEditable(false);
    list->addItems(entries);
    list->setCurrentIndex(-1);
    return list;
}

}  // namespace

Form1::Form1(QWidget* parent) : Form1(ShippedProfilePath(ProgramFolder()), parent) {}

Form1::Form1(std::filesystem::path profilePath, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      profilePath_(std::move(profilePath))
{
    RegisterWindowImages();
    setObjectName(u"Form1"_s);
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(u":/images/icon.png"_s));
    BuildMenus();
    BuildControls();
    BuildRecordPanels();
    SetTabOrder();
    ConnectHandlers();
    BuildSpaceActions();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Key preview: the window sees each key before the control that has the focus.
    qApp->installEventFilter(this);
}

Form1::~Form1() { qApp->removeEventFilter(this); }

void Form1::SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
void Form1::SetOpenFileChooser(OpenFileChooser chooser) { openFileChooser_ = std::move(chooser); }
void Form1::SetFileViewer(FileViewer viewer) { fileViewer_ = std::move(viewer); }
void Form1::SetQuestionHandler(QuestionHandler handler) { questionHandler_ = std::move(handler); }
void Form1::SetImageFileChooser(ImageFileChooser chooser) { imageFileChooser_ = std::move(chooser); }

void Form1::BuildMenus()
{
    mnuFile = menuBar()->addMenu(u"&File"_s);
    mnuFile->setObjectName(u"mnuFile"_s);
    mnuFileOpen = Named(mnuFile->addAction(u"&Open..."_s), u"mnuFileOpen"_s);
    Named(mnuFile->addSeparator(), u"mnuFileBar0"_s);
    mnuFileSave = Named(mnuFile->addAction(u"&Save"_s), u"mnuFileSave"_s);
    mnuFileSave->setEnabled(false);
    Named(mnuFile->addSeparator(), u"mnuFileBar1"_s);
    mnuExit = Named(mnuFile->addAction(u"&Exit"_s), u"mnuExit"_s);

    editMenu_ = new EditMenu(
        menuBar(), [this] { return session_.History(); },
        [this](bool undo) {
            // Undo and redo refused: the menu's names still follow the history as it stands.
            if (!ShowWritten(undo ? session_.Undo() : session_.Redo())) editMenu_->Refresh();
        });
    connect(editMenu_, &EditMenu::keepHistoryChanged, this, [this](bool keep) { session_.SetKeepHistory(keep); });
    connect(editMenu_, &EditMenu::addItemClicked, this, &Form1::mnuEditAddItem_Click);

    mnuHelp = menuBar()->addMenu(u"&Help"_s);
    mnuHelp->setObjectName(u"mnuHelp"_s);
    mnuHelpmnuRead = Named(mnuHelp->addAction(u"&ReadMe!"_s), u"mnuHelpmnuRead"_s);
    Named(mnuHelp->addSeparator(), u"mnuHelpBar0"_s);
    mnuHelpAbout = Named(mnuHelp->addAction(u"&About"_s), u"mnuHelpAbout"_s);
}

void Form1::BuildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(u"client"_s);
    // The designed window, with the record's meanings to its right and the effect below both.
    client->setFixedSize(1014, 674);
    client->setFont(WindowFont());
    setCentralWidget(client);

    Picture1 = Place(new QLabel(client), u"Picture1"_s, {0, 0, 617, 129});
    Picture1->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(QPixmap(u":/images/banner.png"_s));

    cboitem = Place(new QListWidget(client), u"cboitem"_s, {8, 144, 113, 251});
    cboitem->setSelectionMode(QAbstractItemView::SingleSelection);
    cboitem->addItem(u"Item List"_s);

    Frame5 = MakeFrame(client, u"Frame5"_s, {128, 136, 137, 41}, u"Item Name"_s);
    iname = MakeTextBox(Frame5, u"iname"_s, {8, 16, 121, 19}, true);
    Frame2 = MakeFrame(client, u"Frame2"_s, {272, 136, 65, 41}, u"Price"_s);
    price = MakeTextBox(Frame2, u"price"_s, {8, 16, 49, 19}, true);
    Label3 = MakeLabel(client, u"Label3"_s, {352, 136, 105, 17}, u"Description Pointer:"_s);
    Text3 = MakeTextBox(client, u"Text3"_s, {448, 136, 81, 19});
    Command2 = MakeButton(client, u"Command2"_s, {536, 136, 65, 17}, u"Repoint"_s);

    Frame7 = MakeFrame(client, u"Frame7"_s, {352, 160, 249, 89}, u"Description"_s);
    descp = Place(new QPlainTextEdit(Frame7), u"descp"_s, {8, 16, 233, 67});
    descp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    descp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    descp->setTabChangesFocus(true);

    Frame8 = MakeFrame(client, u"Frame8"_s, {128, 184, 217, 89}, u"Item Image"_s);
    picItemImageHold = Place(new QWidget(Frame8), u"picItemImageHold"_s, {16, 16, 189, 65});
    KeepOrdinaryTextColour(picItemImageHold);
    Label4 = MakeLabel(picItemImageHold, u"Label4"_s, {0, 0, 65, 17}, u"Image Offset:"_s);
    IMGOFF = MakeTextBox(picItemImageHold, u"IMGOFF"_s, {72, 0, 81, 19});
    Label5 = MakeLabel(picItemImageHold, u"Label5"_s, {0, 24, 73, 17}, u"Pallete Offset:"_s);
    PALOFF = MakeTextBox(picItemImageHold, u"PALOFF"_s, {72, 24, 81, 19});
    Command3 = MakeButton(picItemImageHold, u"Command3"_s, {0, 40, 57, 23}, u"Repoint"_s);
    picItem = Place(new QLabel(picItemImageHold), u"picItem"_s, {160, 8, 24, 24});
    picItem->setBackgroundRole(QPalette::Button);
    picItem->setAutoFillBackground(true);
    picItem->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Frame3 = MakeFrame(client, u"Frame3"_s, {352, 256, 177, 41}, u"Pocket"_s);
    pock = MakeList(Frame3, u"pock"_s, {8, 16, 161, 21}, ToQStrings(kStartupPocketEntries));
    Label2 = MakeLabel(client, u"Label2"_s, {536, 256, 65, 17}, u"Text Count:"_s, Qt::AlignHCenter);
    Text1 = MakeTextBox(client, u"Text1"_s, {536, 280, 25, 19});
    Text1->setReadOnly(true);
    Label1 = MakeLabel(client, u"Label1"_s, {560, 280, 17, 17}, u"/"_s, Qt::AlignHCenter);
    Text2 = MakeTextBox(client, u"Text2"_s, {576, 280, 25, 19});
    Text2->setReadOnly(true);

    Frame1 = MakeFrame(client, u"Frame1"_s, {128, 280, 65, 41}, u"Index"_s);
    index = MakeTextBox(Frame1, u"index"_s, {8, 16, 49, 19}, true);
    Frame6 = MakeFrame(client, u"Frame6"_s, {208, 280, 137, 41}, u"Special Values"_s);
    sp1 = MakeList<CodeList>(Frame6, u"sp1"_s, {8, 16, 57, 21}, ToQStrings(SpecialValueEntries()));
    sp2 = MakeList<CodeList>(Frame6, u"sp2"_s, {72, 16, 57, 21}, ToQStrings(SpecialValueEntries()));
    Label6 = MakeLabel(client, u"Label6"_s, {352, 304, 81, 17}, u"Mystery Values:"_s);
    Mys1 = MakeList<CodeList>(client, u"Mys1"_s, {432, 304, 33, 21}, {});
    Mys2 = MakeList<CodeList>(client, u"Mys2"_s, {472, 304, 33, 21}, {});
    Command1 = MakeButton(client, u"Command1"_s, {512, 304, 89, 49}, u"Open"_s);
    Label7 = MakeLabel(client, u"Label7"_s, {352, 328, 65, 17}, u"Battle Usage:"_s);
    Bu = MakeList<CodeList>(client, u"Bu"_s, {432, 328, 33, 21}, {});
    Frame4 = MakeFrame(client, u"Frame4"_s, {128, 344, 137, 49}, u"Attack"_s);
    cboattack = MakeList(Frame4, u"cboattack"_s, {8, 16, 121, 21}, {});
    Label8 = MakeLabel(client, u"Label8"_s, {272, 352, 129, 17}, u"Field Usage Code Pointer:"_s);
    FUCP = MakeTextBox(client, u"FUCP"_s, {408, 352, 81, 19});
    save = MakeButton(client, u"save"_s, {512, 352, 89, 49}, u"Save"_s);
    Label9 = MakeLabel(client, u"Label9"_s, {272, 376, 129, 17}, u"Battle Usage Code Pointer:"_s);
    BUCP = MakeTextBox(client, u"BUCP"_s, {408, 376, 81, 19});
    Frame9 = MakeFrame(client, u"Frame9"_s, {8, 400, 601, 39}, QString());
    Label10 = MakeLabel(Frame9, u"Label10"_s, {192, 16, 233, 17}, Utf8ToQString(kAuthorshipLine),
                        Qt::AlignHCenter);
    KeepOrdinaryTextColour(Label10);

    for (QWidget* control : std::initializer_list<QWidget*>{cboitem, iname,  price,    Label3, Text3, Command2, descp,
                                                            IMGOFF,  PALOFF, Command3, pock,   index, sp1,      sp2,
                                                            Mys1,    Mys2,   Bu,       FUCP,   save,  BUCP}) {
        control->setEnabled(false);
    }
}

void Form1::SetTabOrder()
{
    // Picture boxes take the focus too, as the window's design has them in its tab order.
    for (QWidget* picture : {static_cast<QWidget*>(Picture1), picItemImageHold, static_cast<QWidget*>(picItem)}) {
        picture->setFocusPolicy(Qt::TabFocus);
    }
    QWidget* const order[] = {cboitem,  pock,   price,  index,    save,
                              Command1, iname,  descp,  sp1,      sp2,
                              Text1,    Text2,  Text3,  Command2, picItemImageHold,
                              picItem,  PALOFF, IMGOFF, Command3, Mys1,
                              Mys2,     Bu,     FUCP,   BUCP,     Picture1,
                              cboattack};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    // The panels beside the design follow it, row by row.
    QWidget* previous = cboattack;
    for (const std::vector<QWidget*>& controls : {recordPanel->Controls(), effectPanel->Controls()}) {
        for (QWidget* control : controls) {
            setTabOrder(previous, control);
            previous = control;
        }
    }
}

void Form1::ConnectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(mnuFileOpen, &QAction::triggered, this, &Form1::mnuFileOpen_Click);
    connect(save, &QPushButton::clicked, this, &Form1::save_Click);
    connect(mnuFileSave, &QAction::triggered, this, &Form1::mnuFileSave_Click);
    connect(cboitem, &QListWidget::currentRowChanged, this, &Form1::cboitem_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(descp, &QPlainTextEdit::textChanged, this, &Form1::descp_Change);
    connect(index, &QLineEdit::textChanged, this, &Form1::index_Change);
    connect(price, &QLineEdit::textChanged, this, &Form1::price_Change);
    connect(mnuExit, &QAction::triggered, this, &Form1::mnuExit_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &Form1::mnuHelpAbout_Click);
    connect(mnuHelpmnuRead, &QAction::triggered, this, &Form1::mnuHelpmnuRead_Click);

    new KeyPressFilter(descp, [this](char32_t& key) { descp_KeyPress(key); });
    new KeyPressFilter(index, [this](char32_t& key) { index_KeyPress(key); });
    new KeyPressFilter(price, [this](char32_t& key) { price_KeyPress(key); });
    new KeyPressFilter(Text3, [this](char32_t& key) { Text3_KeyPress(key); });
    new KeyPressFilter(IMGOFF, [this](char32_t& key) { IMGOFF_KeyPress(key); });
    new KeyPressFilter(PALOFF, [this](char32_t& key) { PALOFF_KeyPress(key); });
    new KeyPressFilter(FUCP, [this](char32_t& key) { FUCP_KeyPress(key); });
    new KeyPressFilter(BUCP, [this](char32_t& key) { BUCP_KeyPress(key); });
}

// --- Opening ------------------------------------------------------------------------------------

void Form1::Command1_Click() { OpenRom(); }

void Form1::mnuFileOpen_Click() { Command1_Click(); }

void Form1::OpenRom()
{
    QString chosen;
    if (openFileChooser_) {
        chosen = openFileChooser_(this);
    } else {
        clsCommonDialog dialog;
        chosen = dialog.ShowOpen(this, u"Open..."_s, QString(), kRomFilter, kOpenFlags);
    }
    FillItemList({});
    SessionStep step = session_.Open(ToPath(chosen), ProfileFiles{profilePath_, userProfilePath_});
    if (step.question) {
        step = session_.AnswerOpening(AskFoundTables(this, *step.question));
    }
    ShowOpening(step);
}

void Form1::ShowOpening(const SessionStep& step)
{
    if (!session_.IsOpen()) {
        RefuseRom();
        if (step.message) ShowSessionMessage(*step.message);
        return;
    }
    for (QWidget* control : std::initializer_list<QWidget*>{cboitem, pock, iname, price, sp1, sp2, save}) {
        control->setEnabled(true);
    }
    mnuFileSave->setEnabled(true);
    editMenu_->SetRomOpen(true);
    for (QWidget* control :
         std::initializer_list<QWidget*>{descp, Text3, Command2, Label3, index, Mys1, Mys2, Bu, FUCP, BUCP}) {
        control->setEnabled(true);
    }
    EnableRecordPanels(true);
    FillItemList(session_.ItemNames());
    if (session_.HasImages()) {
        for (QWidget* control : std::initializer_list<QWidget*>{IMGOFF, PALOFF, Command3}) {
            control->setEnabled(true);
        }
    }
    FillFormLists();
    cboitem->setCurrentRow(0);
    editMenu_->Refresh();
    if (step.message) ShowSessionMessage(*step.message);
}

void Form1::RefuseRom()
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{Mys1, Mys2, Bu, FUCP, BUCP, cboitem, pock, iname, price, sp1, sp2, save}) {
        control->setEnabled(false);
    }
    mnuFileSave->setEnabled(false);
    editMenu_->SetRomOpen(false);
    for (QWidget* control : std::initializer_list<QWidget*>{descp, Text3, index, Command2, Label3, cboattack}) {
        control->setEnabled(false);
    }
    // The image controls go too: their offsets belong to the previous ROM, not the refused file.
    for (QWidget* control : std::initializer_list<QWidget*>{IMGOFF, PALOFF, Command3}) {
        control->setEnabled(false);
    }
    EnableRecordPanels(false);
    editMenu_->Refresh();
}

void Form1::FillItemList(const std::vector<Text>& names)
{
    QStringList entries;
    for (const Text& name : names) {
        entries.append(FromText(name));
    }
    fillingItemList_ = true;
    cboitem->clear();
    cboitem->addItems(entries);
    fillingItemList_ = false;
}

// --- Showing ------------------------------------------------------------------------------------

void Form1::cboitem_Click()
{
    const int position = cboitem->currentRow();
    if (fillingItemList_ || position < 0) {
        return;
    }
    const SessionStep step = session_.Show(position);
    if (!step.shown) {
        // The controls still hold the item shown before, so the selection goes back to it: a
        // save must not write that item's fields into the one that could not be shown.
        {
            const QSignalBlocker blocker(cboitem);
            cboitem->setCurrentRow(session_.ShownPosition());
        }
        if (step.message) ShowSessionMessage(*step.message);
        return;
    }
    ShowItem(*step.shown);
    if (step.message) ShowSessionMessage(*step.message);
}

void Form1::ShowItem(const ShownItem& shown)
{
    if (shown.imageOffsetText && shown.paletteOffsetText) {
        FieldValidator::SetProgramText(IMGOFF, Utf8ToQString(*shown.imageOffsetText));
        FieldValidator::SetProgramText(PALOFF, Utf8ToQString(*shown.paletteOffsetText));
        if (shown.icon) DrawIcon(*shown.icon);
    }
    FieldValidator::SetProgramText(Text3, Utf8ToQString(shown.descriptionOffsetText));
    ShowForm(shown);
    ShowItemEffect(shown);

    cboattack->setEnabled(shown.hasTmMove);
    // An unknown TM/HM list shows no move rather than a number read from some other table.
    if (shown.tmMoveUnknown) ShowListValue(cboattack, -1, Utf8ToQString(kTmMoveUnavailable));
    cboattack->setToolTip(shown.tmMoveUnknown ? Utf8ToQString(kTmMovesUnknownTip) : QString());
}

void Form1::DrawItemImage()
{
    // The drawing always shows the offsets the two boxes show; an empty box stands for 0.
    const SessionStep step = session_.Icon(IMGOFF->text().toStdString(), PALOFF->text().toStdString());
    if (!step.icon) {
        if (step.message) ShowSessionMessage(*step.message);
        return;
    }
    DrawIcon(*step.icon);
}

void Form1::DrawIcon(const IconPixels& icon)
{
    QImage image(kIconSize, kIconSize, QImage::Format_RGB32);
    image.fill(picItem->palette().color(QPalette::Button));
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const std::uint32_t argb = icon.At(x, y);
            if ((argb >> 24) != 0) {
                image.setPixel(x, y, argb | 0xFF000000u);
            }
        }
    }
    picItem->setPixmap(QPixmap::fromImage(image));
}

void Form1::ShowDescription(const Text& description, int room)
{
    FieldValidator::SetProgramText(Text2, QString::number(room));
    // The text box holds a line break as one character; the counters count it as two.
    descp->setPlainText(FromText(ReplaceAll(description, kWindowsLineBreak, U"\n")));
    descp_Change();
}

Text Form1::DescriptionText() const
{
    Text text;
    for (char32_t c : descp->document()->toRawText().toStdU32String()) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            text += kWindowsLineBreak;
        } else {
            text.push_back(c);
        }
    }
    return text;
}

// --- Saving -------------------------------------------------------------------------------------

void Form1::save_Click()
{
    if (!session_.IsOpen() || cboitem->currentRow() < 0) {
        return;
    }
    ShowWritten(AnswerSaveQuestions(session_.Save(ReadForm())));
}

void Form1::mnuFileSave_Click() { save_Click(); }

// --- Description --------------------------------------------------------------------------------

void Form1::descp_Change()
{
    FieldValidator::SetProgramText(Text1, QString::number(CountDescriptionCharacters(DescriptionText())));
}

void Form1::descp_KeyPress(char32_t& key)
{
    if (mnuAllowLongerDescription->isChecked()) {
        return;
    }
    const auto room = static_cast<int>(std::min<std::uint64_t>(LeadingDecimalValue(ToText(Text2->text())), 1u << 20));
    if (!DescriptionAcceptsKey(key, room, CountDescriptionCharacters(DescriptionText()))) {
        key = 0;
    }
}

void Form1::Command2_Click()
{
    const SessionStep step = session_.RepointDescription(Text3->text().toStdString());
    if (!step.written) {
        if (step.message) ShowSessionMessage(*step.message);
        return;
    }
    editMenu_->Refresh();
    if (step.description) ShowDescription(step.description->description, step.description->room);
    if (step.message) ShowSessionMessage(*step.message);
    ShowNotice(Command2, Utf8ToQString(step.notice));
}

// --- Item image ---------------------------------------------------------------------------------

void Form1::Command3_Click()
{
    const SessionStep step = session_.RepointImage(IMGOFF->text().toStdString(), PALOFF->text().toStdString());
    if (!step.written) {
        if (step.message) ShowSessionMessage(*step.message);
        return;
    }
    editMenu_->Refresh();
    if (step.icon) DrawIcon(*step.icon);
    if (step.message) ShowSessionMessage(*step.message);
    ShowNotice(Command3, Utf8ToQString(step.notice));
}

// --- Changes written ----------------------------------------------------------------------------

// The file changed under the controls: the list is read again and the item shown as it stands.
bool Form1::ShowWritten(const SessionStep& step)
{
    if (step.written) editMenu_->Refresh();
    if (step.message) ShowSessionMessage(*step.message);
    if (!step.written) {
        return false;
    }
    FillItemList(session_.ItemNames());
    {
        const QSignalBlocker blocker(cboitem);
        cboitem->setCurrentRow(step.shown ? step.shown->position : session_.ShownPosition());
    }
    if (step.shown) ShowItem(*step.shown);
    return true;
}

// --- Input rules --------------------------------------------------------------------------------

void Form1::index_KeyPress(char32_t& key) { key = DecimalKeyRule(key); }
void Form1::price_KeyPress(char32_t& key) { key = DecimalKeyRule(key); }
void Form1::Text3_KeyPress(char32_t& key) { key = HexKeyRule(key); }
void Form1::IMGOFF_KeyPress(char32_t& key) { key = HexKeyRule(key); }
void Form1::PALOFF_KeyPress(char32_t& key) { key = HexKeyRule(key); }
void Form1::FUCP_KeyPress(char32_t& key) { key = HexKeyRule(key); }
void Form1::BUCP_KeyPress(char32_t& key) { key = HexKeyRule(key); }

void Form1::index_Change()
{
    if (auto capped = CapSixteenBitText(ToText(index->text()))) {
        index->setText(FromText(*capped));
    }
}

void Form1::price_Change()
{
    if (auto capped = CapSixteenBitText(ToText(price->text()))) {
        price->setText(FromText(*capped));
    }
}

// --- Shell --------------------------------------------------------------------------------------

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && ShowSharingTip(watched, event)) {
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        // A key no control takes is offered to each parent in turn; the window looks at it once.
        if (event != lastKeyEvent_ || key->key() != lastKey_) {
            lastKeyEvent_ = event;
            lastKey_ = key->key();
            Form_KeyDown(key->key(), key->modifiers());
        }
    } else if (event->type() == QEvent::KeyRelease) {
        lastKeyEvent_ = nullptr;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(shift);
    if (keyCode == Qt::Key_F1) {
        OpenReadme();
    }
}

void Form1::mnuHelpmnuRead_Click() { OpenReadme(); }

void Form1::OpenReadme()
{
    const QString path = FromPath(ReadmePath(ProgramFolder()));
    const QUrl file = QUrl::fromLocalFile(path);
    const bool opened = fileViewer_ ? fileViewer_(file) : QDesktopServices::openUrl(file);
    if (!opened) {
        ShowMessage(u"The read-me could not be opened: "_s + QDir::toNativeSeparators(path));
    }
}

void Form1::mnuHelpAbout_Click()
{
    frmAbout about(this);
    about.exec();
}

void Form1::mnuExit_Click() { close(); }

void Form1::ShowMessage(const QString& text)
{
    if (messageHandler_) {
        messageHandler_(kTitle, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void Form1::ShowError(const Error& error) { ShowSessionMessage(ErrorMessageOf(error)); }

void Form1::ShowSessionMessage(const SessionMessage& message)
{
    const QString title = Utf8ToQString(message.title);
    const QString text = Utf8ToQString(message.text);
    if (messageHandler_) {
        messageHandler_(title, text);
        return;
    }
    QMessageBox box(message.error ? QMessageBox::Critical : QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box.exec();
}

}  // namespace quillbox
