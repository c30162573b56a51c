#include "cli/CliSession.h"

#include "items/opening/TableDetection.h"
#include "base/FileWrite.h"
#include "base/PathText.h"

namespace quillbox {

int Session::Fail(std::string_view message, int status)
{
    err << "quillbox-cli: " << message << '\n';
    return status;
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
            Fail((opened ? std::string("the profile's item table is not the one the game reads")
                         : opened.error().message) + "; --detect: " + usable.error().message);
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

std::optional<std::string> WriteWholeFile(const std::filesystem::path& path, std::string_view text)
{
    if (auto failure = WriteFileWhole(path, text)) return "could not write " + PathText(path) + ": " + *failure;
    return std::nullopt;
}

}  // namespace quillbox
