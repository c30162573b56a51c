#pragma once

#include "editor/EditorSession.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace quillbox {

// The Edit menu: undo and redo of the open ROM's changes, named after them ("Undo Save of
// POTION"), and whether new changes are kept in the history at all. The history lives beside
// the ROM, so it outlasts the window; the session reads it and steps through it.
class EditMenu : public QObject {
    Q_OBJECT
public:
    // The next undo and redo, none of either while no ROM is open.
    using Names = std::function<HistoryNames()>;
    // Takes back (`undo`) or brings back a change.
    using Stepper = std::function<void(bool undo)>;

    EditMenu(QMenuBar* bar, Names names, Stepper step);

    bool KeepHistory() const;
    // Names the next undo and redo from the history as it now stands, or turns them off.
    void Refresh();
    // "Add Item…" needs an open ROM.
    void SetRomOpen(bool open);

signals:
    void keepHistoryChanged(bool keep);
    void addItemClicked();

public slots:
    void mnuEditUndo_Click();
    void mnuEditRedo_Click();

private:
    Names names_;
    Stepper step_;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditUndo = nullptr;
    QAction* mnuEditRedo = nullptr;
    QAction* mnuEditKeepHistory = nullptr;
    QAction* mnuEditAddItem = nullptr;
};

}  // namespace quillbox
