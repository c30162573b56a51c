#pragma once

#include <QFont>

namespace quillbox {

// The small font of the windows, chosen so that every caption and value fits the fixed pixel
// sizes of the controls: a narrow face at 10 pixels, or a regular face at 9 where no narrow
// face is installed.
QFont WindowFont();

}  // namespace quillbox
