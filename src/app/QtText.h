#pragma once

#include "editor/UserTexts.h"

#include <QString>

#include <string_view>

namespace quillbox {

// The core speaks UTF-8; the window shows what it says as is.
inline QString Utf8ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The title of the window and of every message and question it shows.
inline QString ProgramTitle() { return Utf8ToQString(kProgramTitle); }

}  // namespace quillbox
