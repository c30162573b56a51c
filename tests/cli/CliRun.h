#pragma once

#include "cli/Cli.h"
#include "base/PathText.h"
#include "rom/Profile.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::test {

// One run of the tool in this process, with what it printed on each stream.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun RunTool(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCli(arguments, out, err, ProgramFolder());
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A path as the tool takes it on its command line.
inline std::string Q(const std::filesystem::path& path) { return PathText(path); }

// Every `what` in the text, in turn, replaced by `with`.
inline std::string Replace(std::string text, std::string_view what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
    return text;
}

}  // namespace quillbox::test
