// softlist2dat: turns every MESS software list of a directory (the working
// one without arguments) into one ClrMamePro DAT in the working directory,
// "all_mess_software_lists.dat".
#include <cstdio>

#include "platform/process.h"
#include "run/command_line.h"
#include "run/run.h"

int main(int argc, char** argv)
{
    prepareProcess();
    Invocation invocation = readCommandLine(argc, argv);
    switch (invocation.action) {
    case Action::Help:
        printUsage(stdout);
        return 0;
    case Action::Version:
        printVersion();
        return 0;
    case Action::Misuse:
        printUsage(stderr);
        return 2;
    case Action::Convert:
        break;
    }
    return runConversion(invocation.directory);
}
