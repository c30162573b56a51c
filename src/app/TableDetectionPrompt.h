#pragma once

#include "editor/EditorSession.h"

class QWidget;

namespace quillbox {

// Asks the session's found-tables question at opening (a ROM whose offsets the profiles lack or
// whose game reads its item table elsewhere): true when the user takes the tables the ROM names.
bool AskFoundTables(QWidget* owner, const SessionQuestion& question);

}  // namespace quillbox
