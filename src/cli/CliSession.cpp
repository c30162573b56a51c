#include "cli/CliSession.h"

#include "items/opening/TableDetection.h"
#include "base/FileWrite.h"
#include "base/PathText.h"

#include <nlohmann/json.hpp>

namespace quillbox {

int ExitStatusOf(ErrorCode code)
{
    switch (code) {
    case ErrorCode::FileNotOpened:
    case ErrorCode::FileRead:
    case ErrorCode::FileWrite:
    case ErrorCode::RomChanged:
    case ErrorCode::HistoryFailed:
    case ErrorCode::UndoConflict: return kExitFileError;
    case ErrorCode::PastEndOfFile:
    case ErrorCode::BadOffset:
    case ErrorCode::BadHexText:
    case ErrorCode::UnsupportedRom:
    case ErrorCode::RomTooShort:
    case ErrorCode::NameTooLong:
    case ErrorCode::DescriptionTooLong:
    case ErrorCode::NoSuchItem:
    case ErrorCode::NoImages:
    case ErrorCode::BadValue:
    case ErrorCode::BadImageFile:
    case ErrorCode::NoFreeSpace:
    case ErrorCode::TableNotFound:
    case ErrorCode::TablesDisagree:
    case ErrorCode::BadImportFile:
    case ErrorCode::TextNotEditable:
    case ErrorCode::NothingToUndo:
    case ErrorCode::UnknownCharacters:
    case ErrorCode::NoItemId: return kExitRefused;
    }
    return kExitRefused;
}

std::string ErrorJson(const Error* error, std::string_view message)
{
    // A path or value that is not UTF-8 must not cost the line: such bytes become U+FFFD.
    const auto text = [](std::string_view value) {
        return nlohmann::json(std::string(value)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    const bool field = error != nullptr && !error->field.empty();
    const bool found = error != nullptr && error->found;
    return "{\"error\": {\"code\": " + (error != nullptr ? text(ErrorCodeName(error->code)) : "null") +
           ", \"number\": " + (error != nullptr ? std::to_string(error->Number()) : "null") + ", \"message\": " + text(message) +
           ", \"field\": " + (field ? text(error->field) : "null") +
           ", \"offset\": " + (field && error->recordOffset >= 0 ? std::to_string(error->recordOffset) : "null") +
           ", \"found\": " + (found ? text(*error->found) : "null") +
           ", \"fileUnchanged\": " + (error == nullptr || error->fileUnchanged ? "true" : "false") + "}}";
}

int Session::Report(const Error* error, std::string_view message, int status)
{
    if (options.json) {
        err << ErrorJson(error, message) << '\n';
    } else {
        err << "quillbox-cli: " << message << '\n';
    }
    failure = status;
    return status;
}

int Session::Fail(std::string_view message, int status) { return Report(nullptr, message, status); }

int Session::Fail(const Error& error) { return Report(&error, ErrorText(error), ExitStatusOf(error.code)); }

int Session::Fail(Error error, std::string_view hint)
{
    AddToError(error, hint);
    return Fail(error);
}

std::optional<OpenedRom> Session::Open(const std::string& rom)
{
    const ProfileFiles profiles{profile, userProfile};
    auto opened = OpenRom(PathFromText(rom), OpenOptions{profiles, std::nullopt});
    // --detect stands in for a profile that has no usable section for this ROM, and for one whose
    // item table is not the one the game reads (a hack moved it): writing there would change
    // nothing in the game. File errors and games that are none of the five stay as they are.
    const bool mendable = !opened && opened.error().code != ErrorCode::FileNotOpened &&
                          opened.error().code != ErrorCode::FileRead;
    const bool moved = opened && opened->gameItemTable >= 0;
    if (options.detect && (mendable || moved)) {
        auto detected = DetectTables(PathFromText(rom));
        if (!detected) {
            Fail(detected.error());
            return std::nullopt;
        }
        if (Status usable = CheckDetectedTables(*detected); !usable) {
            // The detection's refusal, said after what kept the profile from serving.
            Error refusal = usable.error();
            refusal.message = (opened ? std::string("the profile's item table is not the one the game reads")
                                      : ErrorText(opened.error())) + "; --detect: " + ErrorText(usable.error());
            Fail(refusal);
            return std::nullopt;
        }
        opened = OpenRom(PathFromText(rom), OpenOptions{profiles, detected->Tables()});
    }
    if (!opened) {
        Fail(opened.error());
        return std::nullopt;
    }
    opened->state.keepHistory = !options.noHistory;
    return std::move(*opened);
}

std::optional<int> ParsePosition(std::string_view text, const OpenedRom& rom)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.size() > 9) return std::nullopt;
    int position = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        position = position * 10 + (c - '0');
    }
    if (position >= rom.state.ItemCount()) return std::nullopt;
    return position;
}

std::optional<Error> WriteWholeFile(const std::filesystem::path& path, std::string_view text)
{
    if (auto failure = WriteFileWhole(path, text)) return Error{ErrorCode::FileWrite, "could not write " + PathText(path) + ": " + *failure};
    return std::nullopt;
}

}  // namespace quillbox
