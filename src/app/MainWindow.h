#pragma once

#include "app/AddItemDialog.h"
#include "editor/EditorSession.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace quillbox {

class EditMenu;
class EffectPanel;
class RecordPanel;

// The main window: a view of the editing session. It moves values between its controls and the
// session and shows what the session answers; the session holds the ROM and the item shown.
// Controls and handlers bear the names of the window design.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // Shows a modal message; the title is "Quillbox" or "Error: " and the error number.
    using MessageHandler = std::function<void(const QString& title, const QString& text)>;
    // Asks for the ROM to open; an empty path means the user cancelled.
    using OpenFileChooser = std::function<QString(QWidget* owner)>;
    // Opens a file in the desktop's viewer; false when that failed.
    using FileViewer = std::function<bool(const QUrl& file)>;
    // Asks a question with the given buttons and gives the one chosen.
    using QuestionHandler =
        std::function<QMessageBox::StandardButton(const QString& title, const QString& text, QMessageBox::StandardButtons buttons)>;
    // Asks for a PNG file to read (`save` false) or to write; an empty path means the user cancelled.
    using ImageFileChooser = std::function<QString(QWidget* owner, bool save)>;
    // Asks which of `items` to take (starting at `current`); -1 means the user cancelled.
    using ItemChooser = std::function<int(QWidget* owner, const QString& question, const QStringList& items, int current)>;
    // Asks "Add Item…": the item to start from and the name; nothing means the user cancelled.
    using AddItemAsker = std::function<std::optional<AddItemAnswer>(QWidget* owner, const QString& question,
                                                                    const QStringList& items, int current)>;

    // Reads the profile `ini/roms.ini` beside the program.
    explicit Form1(QWidget* parent = nullptr);
    explicit Form1(std::filesystem::path profilePath, QWidget* parent = nullptr);
    ~Form1() override;

    // Replace the modal message boxes, the Open dialog and the read-me viewer; an empty
    // function brings back the real one.
    void SetMessageHandler(MessageHandler handler);
    void SetOpenFileChooser(OpenFileChooser chooser);
    void SetFileViewer(FileViewer viewer);
    void SetQuestionHandler(QuestionHandler handler);
    void SetImageFileChooser(ImageFileChooser chooser);
    void SetItemChooser(ItemChooser chooser);
    void SetAddItemAsker(AddItemAsker asker);

    // Who else uses what the control shows (`descp` or `picItem`), as its tooltip says it.
    QString SharingTip(const QWidget* control) const;
    // What the last Repoint said about the place it pointed at.
    const QString& LastNotice() const { return lastNotice_; }

    const RomState& State() const { return session_.State(); }
    int ShownPosition() const { return session_.ShownPosition(); }

    // The key handlers: `key` is the typed character code, set to 0 to discard it.
    void descp_KeyPress(char32_t& key);
    void index_KeyPress(char32_t& key);
    void price_KeyPress(char32_t& key);
    void Text3_KeyPress(char32_t& key);
    void IMGOFF_KeyPress(char32_t& key);
    void PALOFF_KeyPress(char32_t& key);
    void FUCP_KeyPress(char32_t& key);
    void BUCP_KeyPress(char32_t& key);
    // Sees every key pressed anywhere in the window before the control that has the focus.
    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

public slots:
    void Command1_Click();
    void mnuFileOpen_Click();
    void save_Click();
    void mnuFileSave_Click();
    void cboitem_Click();
    void Command2_Click();
    void Command3_Click();
    void mnuImportIcon_Click();
    void mnuExportIcon_Click();
    void descp_Change();
    void index_Change();
    void price_Change();
    void mnuExit_Click();
    void mnuHelpAbout_Click();
    void mnuHelpmnuRead_Click();
    // "Use like…" of either routine row, and "Save Effect" (MainWindowRecord.cpp).
    void UseLike_Click();
    void effectSave_Click();
    // "Add Item…" of the Edit menu (MainWindowAddItem.cpp).
    void mnuEditAddItem_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildControls();
    void SetTabOrder();
    void ConnectHandlers();

    void OpenRom();
    void ShowOpening(const SessionStep& step);
    void RefuseRom();
    void ShowItem(const ShownItem& shown);
    void DrawItemImage();
    void DrawIcon(const IconPixels& icon);
    void ShowDescription(const Text& description, int room);
    Text DescriptionText() const;
    void FillItemList(const std::vector<Text>& names);
    void OpenReadme();
    // After a change the session wrote: the history names, its message, the list read again and
    // the item it shows again. False when nothing was written.
    bool ShowWritten(const SessionStep& step);

    void ShowMessage(const QString& text);
    void ShowError(const Error& error);
    void ShowSessionMessage(const SessionMessage& message);

    // The form model and the two panels beside the window's own controls (MainWindowRecord.cpp).
    using Form = std::map<std::string, FormValue, std::less<>>;
    void BuildRecordPanels();
    QWidget* FormWidget(const FormControl& control) const;
    void FillFormLists();
    // Refills a list whose entries name the values another way for the item shown.
    void FillListFor(const FormControl& control, Meaning meaning);
    void ShowForm(const ShownItem& shown);
    FormInput ReadForm() const;
    // What the values in the controls mean, said again after the user picked or typed another.
    void ShowMeanings();
    void ShowItemEffect(const ShownItem& shown);
    void EnableRecordPanels(bool on);

    // Free space and sharing (MainWindowSpace.cpp).
    void BuildSpaceActions();
    void ShowDescpContextMenu(const QPoint& position);
    bool ShowSharingTip(QObject* watched, QEvent* event);
    // Asks the session's save questions, one after the other, until the save is done or declined.
    SessionStep AnswerSaveQuestions(SessionStep step);
    // The real box carries `name` as its object name, for whoever has to find and answer it.
    QMessageBox::StandardButton Ask(const QString& text, QMessageBox::StandardButtons buttons, const QString& name = {});
    void ShowNotice(QWidget* near, const QString& text);
    // Says why not, when no item with an icon is shown.
    bool ShownItemHasIcon();

    // Declared first: the menus ask it for the history's names as they are built.
    EditorSession session_;
    std::filesystem::path profilePath_;
    std::filesystem::path userProfilePath_ = UserProfilePath();
    MessageHandler messageHandler_;
    OpenFileChooser openFileChooser_;
    FileViewer fileViewer_;
    QuestionHandler questionHandler_;
    ImageFileChooser imageFileChooser_;
    ItemChooser itemChooser_;
    AddItemAsker addItemAsker_;
    QString lastNotice_;

    // The meaning each list's entries name now.
    std::map<std::string, Meaning, std::less<>> listMeanings_;
    bool showingForm_ = false;
    bool fillingItemList_ = false;
    // The key press the window last looked at, so that a key passed up from a child control to
    // its parents is handled once.
    const QEvent* lastKeyEvent_ = nullptr;
    int lastKey_ = 0;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuExit = nullptr;
    EditMenu* editMenu_ = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpmnuRead = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuAllowLongerDescription = nullptr;
    QAction* mnuImportIcon = nullptr;
    QAction* mnuExportIcon = nullptr;

    QLabel* Picture1 = nullptr;
    QListWidget* cboitem = nullptr;
    QGroupBox* Frame5 = nullptr;
    QLineEdit* iname = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* price = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command2 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QPlainTextEdit* descp = nullptr;
    QGroupBox* Frame8 = nullptr;
    QWidget* picItemImageHold = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* IMGOFF = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* PALOFF = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* picItem = nullptr;
    QGroupBox* Frame3 = nullptr;
    QComboBox* pock = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* index = nullptr;
    QGroupBox* Frame6 = nullptr;
    QComboBox* sp1 = nullptr;
    QComboBox* sp2 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* Mys1 = nullptr;
    QComboBox* Mys2 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* Bu = nullptr;
    QGroupBox* Frame4 = nullptr;
    QComboBox* cboattack = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* FUCP = nullptr;
    QPushButton* save = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* BUCP = nullptr;
    QGroupBox* Frame9 = nullptr;
    QLabel* Label10 = nullptr;
    RecordPanel* recordPanel = nullptr;
    EffectPanel* effectPanel = nullptr;
};

}  // namespace quillbox
