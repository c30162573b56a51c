// Commands over many items at once: import and diff.
#include "cli/CliSession.h"
#include "items/addition/ImportAdditions.h"
#include "items/exchange/ItemImport.h"
#include "items/exchange/RomDiff.h"
#include "base/FileWrite.h"
#include "base/PathText.h"
#include "platform/FileLocks.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace quillbox {

namespace {

std::optional<std::string> ReadText(const std::string& path)
{
    if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    std::ifstream stream(PathFromText(path), std::ios::binary);
    if (!stream) return std::nullopt;
    std::ostringstream text;
    text << stream.rdbuf();
    if (stream.bad()) return std::nullopt;
    return std::move(text).str();
}

}  // namespace

int Import(Session& session, const Arguments& args)
{
    if (args.size() != 2) return session.Fail("import takes a ROM and a file", kExitUsage);
    const CliOptions& options = session.options;
    std::string format = options.format;
    // Without --format, the file's extension says which it is.
    if (!options.formatGiven) format = ImportFormatOfFileName(args[1]) == ExportFormat::Csv ? "csv" : "json";
    if (format != "json" && format != "csv") {
        return session.Fail("--format takes json or csv, not \"" + format + "\"", kExitUsage);
    }
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto text = ReadText(args[1]);
    if (!text && HeldByAnotherProgram(PathFromText(args[1]), FileUse::Read)) {
        return session.Fail(Error{ErrorCode::FileRead, "could not read " + args[1] + ": it " + std::string(kHeldOpen)});
    }
    if (!text) return session.Fail(Error{ErrorCode::FileRead, "could not read " + args[1]});
    const ExportFormat kind = format == "csv" ? ExportFormat::Csv : ExportFormat::Json;
    // Rows past the last item add items only when asked: a typo in a position must not grow the ROM.
    auto adding = options.add ? PlanImportAdding(*rom, ProfileFiles{session.profile, session.userProfile}, *text, kind, options.replaceUnknown)
                              : ImportWithoutAdding(PlanImport(*rom, *text, kind, options.replaceUnknown));
    if (!adding && adding.error().code == ErrorCode::UnknownCharacters) {
        return session.Fail(adding.error(), kReplaceUnknownHint);
    }
    if (!adding) return session.Fail(adding.error());
    if (!options.dryRun) {
        if (auto written = ApplyImportAdding(*rom, *adding); !written) return session.Fail(written.error());
    }
    const ImportPlan* plan = &adding->import;
    std::string report = FormatChanges(plan->changes);
    const std::size_t added = adding->addition ? adding->addition->positions.size() : 0;
    const std::string addedText = added == 0 ? "" : std::to_string(added) + (added == 1 ? " item added, " : " items added, ");
    if (plan->changes.empty() && added == 0) {
        report += "Nothing to change\n";
    } else if (options.dryRun) {
        report += addedText + CountChanges(*plan) + "; nothing written (dry run)\n";
    } else {
        report += addedText + CountChanges(*plan) + " written\n";
    }
    session.out << report;
    return kExitSuccess;
}

int Diff(Session& session, const Arguments& args)
{
    if (args.size() != 2) return session.Fail("diff takes two ROMs", kExitUsage);
    auto first = session.Open(args[0]);
    if (!first) return kExitFailure;
    auto second = session.Open(args[1]);
    if (!second) return kExitFailure;
    auto changes = DiffItems(*first, *second);
    if (!changes) return session.Fail(changes.error());
    session.out << FormatChanges(*changes);
    return kExitSuccess;
}

}  // namespace quillbox
