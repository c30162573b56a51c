#include "cli/Cli.h"

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "rom/InstallPaths.h"
#include "base/PathText.h"

#include <algorithm>
#include <functional>
#include <map>

namespace quillbox {

namespace {

const char kUsage[] = R"(Usage: quillbox-cli [--profile FILE] COMMAND ARGUMENTS

Commands:
  info ROM                          header code, family, table offsets, item count
  list ROM                          one line per item: position<TAB>name
  moves ROM                         one line per move: number<TAB>name
  show ROM POSITION [--json]        every field of one item
  export ROM [--format json|csv] [-o FILE]
                                    every item, in position order
  icon ROM POSITION -o FILE.png [--scale N]
                                    the item's 24 by 24 icon as a PNG; -o - writes it to
                                    standard output
  set ROM POSITION KEY=VALUE... [--relocate | --own-copy] [--replace-unknown]
                                    writes only the named fields, all or nothing
  use-like ROM POSITION OTHER       gives the item the field and battle routines of the item at
                                    OTHER, with the type and secondary id they read
  add-item ROM --like ITEM [--name NAME] [--price N] [--description TEXT] [--pocket P]
           [--icon PNG] [--count N] [--id ID | --append] [--share-description] [--dry-run]
                                    adds N items (1 when not given) copied from ITEM (a position
                                    or a name), each in the first unused id that suits its role,
                                    with a description of its own; prints their positions
  icon-import ROM POSITION FILE.png [--dry-run]
                                    puts a 24 by 24 PNG into free space as the item's icon
  import ROM FILE [--format json|csv] [--dry-run] [--replace-unknown] [--add]
                                    writes what differs in FILE (as export writes it, all or
                                    some items and columns), all or nothing; - reads stdin;
                                    --add: rows past the last item add items
  diff ROM_A ROM_B                  one line per differing field: position field: A -> B
  sample-rom OUT [--game CODE] [--version N] [--hack]
                                    writes a 16 MiB sample ROM (BPRE, BPGE, BPEE, AXVE, AXPE) of
                                    revision N, or with its tables moved and enlarged as a hack's
  detect ROM [--keep]               the tables the ROM itself names, as a profile section with
                                    the evidence as comments; --keep keeps them beside the ROM
                                    (ROM.quillbox-tables), where they serve that file alone
  history ROM                       the changes kept beside the ROM, newest first
  undo ROM [--steps N]              takes back the last N changes (1 when not given)
  redo ROM [--steps N]              brings back the last N changes undone

@KEYS@Changes are kept in ROM.quillbox-history beside the ROM; --no-history writes without keeping them.
Every command that opens a ROM takes --detect: tables found in the ROM stand in where no
  profile section serves it or the game reads another item table. Tables kept beside the ROM
  come first, then a user profile (quillbox/roms.ini in $XDG_CONFIG_HOME, on Windows in
  %APPDATA%), then the shipped one;
  a section that does not fit the ROM is passed over with a warning.
A description longer than its room moves to free space with --relocate (every item sharing it
  follows); --own-copy gives this item a copy of its own in free space, the others keep theirs.
A name or description holding characters the game cannot show is refused; --replace-unknown
  writes them as spaces.
A failure exits 2 (usage), 3 (refused input) or 4 (a file that cannot be read or written, or
  that changed since); with --json it is said as one line of JSON on stderr.
Options may stand before or after the command.
)";

// The usage with the keys of set as the field table names them; older names (special1 for
// holdEffect, ...) are still taken.
std::string Usage()
{
    std::string keys = "Keys for set:";
    std::size_t lineStart = 0;
    std::string list = SetKeyList() + ".";
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = std::min(list.find(' ', start), list.size());
        const std::string word = list.substr(start, end - start);
        if (keys.size() - lineStart + word.size() + 1 > 92) {
            keys += "\n ";
            lineStart = keys.size() - 2;
        }
        keys += " " + word;
        start = end + 1;
    }
    keys += "\n  A coded value may be given by number or by name (holdEffect=Leftovers); older keys\n"
            "  (special1, special2, mystery1, mystery2) still work. descriptionOffset repoints the\n"
            "  description, imageOffset and paletteOffset the icon.\n";
    std::string usage = kUsage;
    usage.replace(usage.find("@KEYS@"), 6, keys);
    return usage;
}

using Command = std::function<int(Session&, const Arguments&)>;

const std::map<std::string, Command, std::less<>>& Commands()
{
    static const std::map<std::string, Command, std::less<>> commands{
        {"info", Info},
        {"list", [](Session& s, const Arguments& a) { return List(s, a, false); }},
        {"moves", [](Session& s, const Arguments& a) { return List(s, a, true); }},
        {"show", Show},
        {"export", Export},
        {"icon", Icon},
        {"set", Set},
        {"use-like", UseLikeCommand},
        {"add-item", AddItem},
        {"icon-import", IconImport},
        {"sample-rom", SampleRom},
        {"import", Import},
        {"diff", Diff},
        {"history", History},
        {"undo", [](Session& s, const Arguments& a) { return Undo(s, a, false); }},
        {"redo", [](Session& s, const Arguments& a) { return Undo(s, a, true); }},
        {"detect", Detect},
    };
    return commands;
}

}  // namespace

int RunCli(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programFolder)
{
    const CliParse parse = ParseCliOptions(arguments);
    const CliOptions& options = parse.options;
    // A script that asked for JSON gets one line of it, without the usage text.
    const auto usageError = [&](const std::string& message) {
        if (options.json) {
            err << ErrorJson(nullptr, message) << '\n';
        } else {
            err << (message.empty() ? "" : "quillbox-cli: " + message + "\n") << Usage();
        }
        return kExitUsage;
    };
    if (!parse.error.empty()) return usageError(parse.error);
    if (options.help) {
        out << Usage();
        return kExitSuccess;
    }
    if (options.positional.empty()) return usageError(options.json ? "no command given" : "");
    const std::string& command = options.positional.front();
    const Arguments args(options.positional.begin() + 1, options.positional.end());
    const auto found = Commands().find(command);
    if (found == Commands().end()) return usageError("unknown command \"" + command + "\"");
    const std::filesystem::path profile = options.profile ? PathFromText(*options.profile) : ShippedProfilePath(programFolder);
    Session session{out, err, profile, options};
    int status = found->second(session, args);
    if (status == kExitFailure && session.failure) status = *session.failure;
    // Output lost to a full disk is a failure the caller's script must see, even after a write to the ROM.
    if (!out.flush()) {
        return session.Fail(Error{ErrorCode::FileWrite, "the output could not be written in full"});
    }
    return status;
}

}  // namespace quillbox
