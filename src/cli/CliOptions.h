#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

// Everything a command line holds; options may stand before or after the command.
struct CliOptions {
    std::optional<std::string> profile;
    bool json = false;  // show: the item as JSON; every command: a failure as one line of JSON
    std::string format = "json";
    bool formatGiven = false;
    std::string output;
    std::string scale;
    std::string game;
    bool dryRun = false;
    bool noHistory = false;
    std::string steps;
    bool detect = false;   // use tables found in the ROM where no profile section serves it
    bool keep = false;     // detect: keep the found tables beside the ROM, for it alone
    std::string version;   // sample-rom: the version byte
    bool hack = false;     // sample-rom: tables moved and the item table enlarged
    bool relocate = false;
    bool ownCopy = false;
    bool replaceUnknown = false;  // set, import: characters the game cannot show become spaces
    // add-item: the item to copy and what the new items differ in; empty where not given.
    std::string like;
    std::optional<std::string> name;
    std::optional<std::string> price;
    std::optional<std::string> description;
    std::optional<std::string> pocket;
    std::string icon;
    std::string count;
    std::string id;
    bool append = false;
    bool shareDescription = false;
    bool add = false;  // import: rows past the last item add items
    bool help = false;
    std::vector<std::string> positional;  // the command, then its arguments
};

struct CliParse {
    CliOptions options;
    std::string error;  // empty when the line was understood
};

// Reads options as long options whether written with one dash or two, a value either after "="
// or as the next argument (whatever it looks like), and everything after "--" as arguments.
CliParse ParseCliOptions(std::span<const std::string> arguments);

}  // namespace quillbox
