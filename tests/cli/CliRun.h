#pragma once

#include "cli/Cli.h"
#include "rom/Profile.h"

#include <sstream>
#include <string>
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

}  // namespace quillbox::test
