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
QString MenuText(const QString& verb, const std::optional<std::string>& change)
{
    if (!change) return verb;
    return verb + u' ' + Utf8ToQString(*change).replace(u'&', u"&&"_s);
}

QAction* Named(QAction* action, const QString& name)
{
    action->setObjectName(name);
    return action;
}

}  // namespace

EditMenu::EditMenu(QMenuBar* bar, Names names, Stepper step)
    : QObject(bar), names_(std::move(names)), step_(std::move(step))
{
    mnuEdit = bar->addMenu(u"&Edit"_s);
    mnuEdit->setObjectName(u"mnuEdit"_s);
    mnuEditUndo = Named(mnuEdit->addAction(u"&Undo"_s), u"mnuEditUndo"_s);
    mnuEditUndo->setShortcut(QKeySequence(u"Ctrl+Z"_s));
    mnuEditRedo = Named(mnuEdit->addAction(u"&Redo"_s), u"mnuEditRedo"_s);
    mnuEditRedo->setShortcut(QKeySequence(u"Ctrl+Shift+Z"_s));
    Named(mnuEdit->addSeparator(), u"mnuEditBar0"_s);
    mnuEditAddItem = Named(mnuEdit->addAction(u"&Add Item..."_s), u"mnuEditAddItem"_s);
    mnuEditAddItem->setEnabled(false);
    Named(mnuEdit->addSeparator(), u"mnuEditBar1"_s);
    mnuEditKeepHistory = Named(mnuEdit->addAction(u"&Keep History"_s), u"mnuEditKeepHistory"_s);
    mnuEditKeepHistory->setCheckable(true);
    mnuEditKeepHistory->setChecked(true);

    connect(mnuEditUndo, &QAction::triggered, this, &EditMenu::mnuEditUndo_Click);
    connect(mnuEditRedo, &QAction::triggered, this, &EditMenu::mnuEditRedo_Click);
    connect(mnuEditKeepHistory, &QAction::toggled, this, &EditMenu::keepHistoryChanged);
    connect(mnuEditAddItem, &QAction::triggered, this, &EditMenu::addItemClicked);
    // Another program may have undone or changed something since the last look.
    connect(mnuEdit, &QMenu::aboutToShow, this, &EditMenu::Refresh);
    Refresh();
}

void EditMenu::SetRomOpen(bool open) { mnuEditAddItem->setEnabled(open); }

bool EditMenu::KeepHistory() const { return mnuEditKeepHistory->isChecked(); }

void EditMenu::Refresh()
{
    const HistoryNames names = names_();
    mnuEditUndo->setText(MenuText(u"&Undo"_s, names.undo));
    mnuEditUndo->setEnabled(names.undo.has_value());
    mnuEditRedo->setText(MenuText(u"&Redo"_s, names.redo));
    mnuEditRedo->setEnabled(names.redo.has_value());
}

void EditMenu::mnuEditUndo_Click() { step_(true); }

void EditMenu::mnuEditRedo_Click() { step_(false); }

}  // namespace quillbox
