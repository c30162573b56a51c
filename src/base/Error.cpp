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
    case ErrorCode::NoItemId: return "No item id can take the new item";
    }
    return "Unknown error";
}

std::string_view ErrorCodeName(ErrorCode code)
{
    switch (code) {
    case ErrorCode::FileNotOpened: return "FileNotOpened";
    case ErrorCode::FileRead: return "FileRead";
    case ErrorCode::FileWrite: return "FileWrite";
    case ErrorCode::PastEndOfFile: return "PastEndOfFile";
    case ErrorCode::BadOffset: return "BadOffset";
    case ErrorCode::BadHexText: return "BadHexText";
    case ErrorCode::UnsupportedRom: return "UnsupportedRom";
    case ErrorCode::RomTooShort: return "RomTooShort";
    case ErrorCode::NameTooLong: return "NameTooLong";
    case ErrorCode::DescriptionTooLong: return "DescriptionTooLong";
    case ErrorCode::NoSuchItem: return "NoSuchItem";
    case ErrorCode::NoImages: return "NoImages";
    case ErrorCode::BadValue: return "BadValue";
    case ErrorCode::RomChanged: return "RomChanged";
    case ErrorCode::BadImageFile: return "BadImageFile";
    case ErrorCode::NoFreeSpace: return "NoFreeSpace";
    case ErrorCode::HistoryFailed: return "HistoryFailed";
    case ErrorCode::TableNotFound: return "TableNotFound";
    case ErrorCode::TablesDisagree: return "TablesDisagree";
    case ErrorCode::BadImportFile: return "BadImportFile";
    case ErrorCode::TextNotEditable: return "TextNotEditable";
    case ErrorCode::NothingToUndo: return "NothingToUndo";
    case ErrorCode::UndoConflict: return "UndoConflict";
    case ErrorCode::UnknownCharacters: return "UnknownCharacters";
    case ErrorCode::NoItemId: return "NoItemId";
    }
    return "Unknown";
}

Error MakeError(ErrorCode code, std::string detail)
{
    Error error{code, std::string(DescribeErrorCode(code))};
    error.detail = std::move(detail);
    if (!error.detail.empty()) {
        error.message += ": " + error.detail;
    }
    return error;
}

Error MakePlacedError(ErrorCode code, std::string detail, std::string reason)
{
    Error error = MakeError(code, std::move(detail));
    error.reason = std::move(reason);
    return error;
}

const std::string& DetailOf(const Error& error) { return error.detail.empty() ? error.message : error.detail; }

const std::string& ErrorText(const Error& error) { return error.message; }

void AddToError(Error& error, std::string_view more)
{
    error.message += more;
    if (!error.detail.empty()) error.detail += more;
    if (!error.reason.empty()) error.reason += more;
}

Error WithFound(Error error, std::string found)
{
    error.found = std::move(found);
    return error;
}

const std::string& ReasonOf(const Error& error)
{
    return error.reason.empty() ? DetailOf(error) : error.reason;
}

}  // namespace quillbox
