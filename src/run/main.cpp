// softlist2dat: turns every MESS software list of a directory (the working
// one without arguments), or of the files named, into one ClrMamePro DAT in
// the working directory,
// "all_mess_software_lists.dat", or with --per-list OUT into one DAT per list
// in OUT (with --xml in Logiqx XML).
#include <cstdio>

#include "platform/file_names.h"
#include "platform/process.h"
#include "run/command_line.h"
#include "run/run.h"

// What the command line asks for; returns the exit status.
static int carryOut(Invocation invocation)
{
    switch (invocation.action) {
    case Action::Help:
        printUsage(stdout);
        return 0;
    case Action::Version:
        printVersion();
        return 0;
    case Action::Misuse:
        std::fputs(invocation.misuse, stderr);
        printUsage(stderr);
        return 2;
    case Action::Convert:
        break;
    }
    return runConversion(invocation.lists, invocation.disks, invocation.form, invocation.perList,
                         invocation.datVersion);
}

int main(int argc, char** argv)
{
    prepareProcess();
    argv = utf8Arguments(argc, argv);
    int status = carryOut(readCommandLine(argc, argv));
    keepWindowOpenIfOurs();
    return status;
}
