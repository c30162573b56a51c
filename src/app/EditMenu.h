#pragma once

#include "base/Error.h"
#include "rom/History.h"

#include <QObject>

#include <filesystem>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace quillbox {

// The Edit menu: undo and redo of the open ROM's changes, named after them ("Undo Save of
// POTION"), and whether new changes are kept in the history at all. The history lives beside
// the ROM, so it outlasts the window.
class EditMenu : public QObject {
    Q_OBJECT
public:
    // The open ROM, or an empty path when none is open.
    using RomPath = std::function<std::filesystem::path()>;
    // Called after an undo or redo with the change taken back or brought back.
    using Stepped = std::function<void(const HistoryEntry& change)>;
    using Refused = std::function<void(const Error& error)>;

    EditMenu(QMenuBar* bar, RomPath romPath, Stepped stepped, Refused refused);

    bool KeepHistory() const;
    // Names the next undo and redo from the history as it now stands, or turns them off.
    void Refresh();

signals:
    void keepHistoryChanged(bool keep);

public slots:
    void mnuEditUndo_Click();
    void mnuEditRedo_Click();

private:
    void Step(bool undo);

    RomPath romPath_;
    Stepped stepped_;
    Refused refused_;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditUndo = nullptr;
    QAction* mnuEditRedo = nullptr;
    QAction* mnuEditKeepHistory = nullptr;
};

}  // namespace quillbox
