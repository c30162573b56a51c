// The detect command: the tables a ROM names, as a section to paste into a profile.
#include "cli/CliSession.h"
#include "items/opening/TableDetection.h"
#include "base/PathText.h"

namespace quillbox {

int Detect(Session& session, const Arguments& args)
{
    if (args.size() != 1) return session.Fail("detect takes one ROM", kExitUsage);
    auto detected = DetectTables(PathFromText(args[0]));
    if (!detected) return session.Fail(detected.error());
    // The section is printed also when a table is missing: its comments say what was seen.
    session.out << FormatDetectedSection(*detected);
    if (Status usable = CheckDetectedTables(*detected); !usable) return session.Fail(usable.error());
    if (session.options.keep) {
        const std::filesystem::path rom = PathFromText(args[0]);
        if (Status kept = KeepFoundTables(rom, *detected); !kept) return session.Fail(kept.error());
        session.err << "kept for this ROM alone in " << PathText(RomTablesPathOf(rom)) << '\n';
    }
    return kExitSuccess;
}

}  // namespace quillbox
