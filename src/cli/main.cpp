#include "cli/CliCommands.h"

#include "rom/Profile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = quillbox::RunCli(arguments, out, err, quillbox::ProgramFolder());
    out.flush();
    err.flush();
    return status;
}
