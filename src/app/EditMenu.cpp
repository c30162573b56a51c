#include "app/EditMenu.h"

#include "app/QtText.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

using namespace Qt::StringLiterals;

namespace quillbox {

namespace {

// An item name may hold "&", which a menu would take for an access key.
QString MenuText(const QString& verb, const HistoryEntry* change)
{
    if (change == nullptr) return verb;
    const std::string named = DescribeChange(change->label);
    return verb + u' ' + Utf8ToQString(named).replace(u'&', u"&&"_s);
}

QAction* Named(QAction* action, const QString& name)
{
    action->setObjectName(name);
    return action;
}

}  // namespace

EditMenu::EditMenu(QMenuBar* bar, RomPath romPath, Stepped stepped, Refused refused)
    : QObject(bar), romPath_(std::move(romPath)), stepped_(std::move(stepped)), refused_(std::move(refused))
{
    mnuEdit = bar->addMenu(u"&Edit"_s);
    mnuEdit->setObjectName(u"mnuEdit"_s);
    mnuEditUndo = Named(mnuEdit->addAction(u"&Undo"_s), u"mnuEditUndo"_s);
    mnuEditUndo->setShortcut(QKeySequence(u"Ctrl+Z"_s));
    mnuEditRedo = Named(mnuEdit->addAction(u"&Redo"_s), u"mnuEditRedo"_s);
    mnuEditRedo->setShortcut(QKeySequence(u"Ctrl+Shift+Z"_s));
    Named(mnuEdit->addSeparator(), u"mnuEditBar0"_s);
    mnuEditKeepHistory = Named(mnuEdit->addAction(u"&Keep History"_s), u"mnuEditKeepHistory"_s);
    mnuEditKeepHistory->setCheckable(true);
    mnuEditKeepHistory->setChecked(true);

    connect(mnuEditUndo, &QAction::triggered, this, &EditMenu::mnuEditUndo_Click);
    connect(mnuEditRedo, &QAction::triggered, this, &EditMenu::mnuEditRedo_Click);
    connect(mnuEditKeepHistory, &QAction::toggled, this, &EditMenu::keepHistoryChanged);
    // Another program may have undone or changed something since the last look.
    connect(mnuEdit, &QMenu::aboutToShow, this, &EditMenu::Refresh);
    Refresh();
}

bool EditMenu::KeepHistory() const { return mnuEditKeepHistory->isChecked(); }

void EditMenu::Refresh()
{
    const HistoryEntry* undo = nullptr;
    const HistoryEntry* redo = nullptr;
    HistoryLog log;
    if (const std::filesystem::path rom = romPath_(); !rom.empty()) {
        if (auto read = ReadHistory(rom)) {
            log = std::move(*read);
        }
        const HistoryStacks stacks = StacksOf(log);
        if (!stacks.undo.empty()) undo = stacks.undo.back();
        if (!stacks.redo.empty()) redo = stacks.redo.back();
    }
    mnuEditUndo->setText(MenuText(u"&Undo"_s, undo));
    mnuEditUndo->setEnabled(undo != nullptr);
    mnuEditRedo->setText(MenuText(u"&Redo"_s, redo));
    mnuEditRedo->setEnabled(redo != nullptr);
}

void EditMenu::mnuEditUndo_Click() { Step(true); }

void EditMenu::mnuEditRedo_Click() { Step(false); }

void EditMenu::Step(bool undo)
{
    const std::filesystem::path rom = romPath_();
    if (rom.empty()) {
        return;
    }
    auto stepped = undo ? UndoChange(rom) : RedoChange(rom);
    Refresh();
    if (!stepped) {
        refused_(stepped.error());
        return;
    }
    stepped_(*stepped);
}

}  // namespace quillbox
