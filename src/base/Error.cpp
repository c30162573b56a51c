#include "base/Error.h"

namespace quillbox {

std::string_view DescribeErrorCode(ErrorCode code)
{
    switch (code) {
    case ErrorCode::FileNotOpened: return "The ROM file could not be opened";
    case ErrorCode::FileRead: return "The ROM file could not be read";
    case ErrorCode::FileWrite: return "The ROM file could not be written";
    case ErrorCode::PastEndOfFile: return "The offset lies past the end of the ROM file";
    case ErrorCode::BadOffset: return "The offset is negative or does not fit in 32 bits";
    case ErrorCode::BadHexText: return "The text is not hexadecimal";
    case ErrorCode::UnsupportedRom: return "Unsupported ROM or no ROM opened!";
    case ErrorCode::RomTooShort: return "The ROM file is too short for the tables of its profile";
    case ErrorCode::NameTooLong: return "The name does not fit its 14-byte field";
    case ErrorCode::DescriptionTooLong: return "The description does not fit its room";
    case ErrorCode::NoSuchItem: return "There is no item at that position";
    case ErrorCode::NoImages: return "This game has no item images";
    case ErrorCode::BadValue: return "The value is not accepted";
    case ErrorCode::RomChanged: return "The ROM file changed on disk since it was opened; open it again";
    case ErrorCode::BadImageFile: return "The image file is not accepted";
    case ErrorCode::NoFreeSpace: return "There is no free space large enough in the ROM";
    case ErrorCode::HistoryFailed: return "The change history beside the ROM could not be written or read; nothing was changed";
    case ErrorCode::TableNotFound: return "The table could not be found in the ROM";
    case ErrorCode::TablesDisagree: return "The profile's tables do not match what the ROM holds";
    case ErrorCode::BadImportFile: return "The import file is not accepted";
    case ErrorCode::TextNotEditable: return "This ROM's text cannot be edited safely";
    case ErrorCode::NothingToUndo: return "There is nothing to undo or redo";
    case ErrorCode::UndoConflict: return "The bytes to restore were changed since";
    case ErrorCode::UnknownCharacters: return "The text holds characters this game cannot show";
    }
    return "Unknown error";
}

Error MakeError(ErrorCode code, std::string detail)
{
    Error error{code, std::string(DescribeErrorCode(code))};
    if (!detail.empty()) {
        error.message += ": " + detail;
    }
    return error;
}

}  // namespace quillbox
