#include "cli/Cli.h"

#include "rom/Profile.h"
#include "platform/Arguments.h"
#include "platform/StandardStreams.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    std::ios::sync_with_stdio(false);
    const quillbox::StandardStreams streams;
    const std::vector<std::string> arguments = quillbox::ProgramArguments(argc, argv);
    const int status = quillbox::RunCli(arguments, std::cout, std::cerr, quillbox::ProgramFolder());
    std::cout.flush();
    std::cerr.flush();
    return status;
}
