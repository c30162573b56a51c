// Commands that put new data into free space: icon-import.
#include "cli/CliSession.h"
#include "items/record/IconTransfer.h"
#include "base/HexText.h"
#include "base/PathText.h"

namespace quillbox {

int IconImport(Session& session, const Arguments& args)
{
    if (args.size() != 3) return session.Fail("icon-import takes a ROM, a position and a PNG file", kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail(NoItemAt(args[1]));
    auto plan = PlanIconImport(rom->state, *position, PathFromText(args[2]));
    if (!plan) return session.Fail(plan.error());
    const std::string where = "image " + NumberToHex(static_cast<std::uint64_t>(plan->imageOffset)) + ", palette " +
                              NumberToHex(static_cast<std::uint64_t>(plan->paletteOffset)) + " (" +
                              std::to_string(plan->size) + " bytes of free space)";
    if (session.options.dryRun) {
        session.out << "Would import the icon at " << where << "\n";
        return kExitSuccess;
    }
    if (auto written = ApplyToRom(rom->state, plan->patches, {"Import Icon", *position}); !written) {
        return session.Fail(written.error());
    }
    session.out << "Icon imported at " << where << "\n";
    return kExitSuccess;
}

}  // namespace quillbox
