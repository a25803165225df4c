// The command line.
#include "run/command_line.h"

#include <cstring>

#ifndef SOFTLIST2DAT_VERSION
#define SOFTLIST2DAT_VERSION "unknown"
#endif

static bool isHelpOption(const char* argument)
{
#ifdef _WIN32
    if (std::strcmp(argument, "/?") == 0)
        return true;
#endif
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

Invocation readCommandLine(int argc, char** argv)
{
    const char* directory = nullptr;
    bool disks = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (!optionsEnded && isHelpOption(argument))
            return Invocation{Action::Help, nullptr, false};
        if (!optionsEnded && std::strcmp(argument, "--version") == 0)
            return Invocation{Action::Version, nullptr, false};
        if (!optionsEnded && std::strcmp(argument, "--disks") == 0) {
            disks = true;
            continue;
        }
        if (!optionsEnded && std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if ((!optionsEnded && argument[0] == '-' && argument[1] != '\0') || directory != nullptr)
            return Invocation{Action::Misuse, nullptr, false};
        directory = argument;
    }
    return Invocation{Action::Convert, directory, disks};
}

void printUsage(std::FILE* to)
{
    std::fputs("Usage: softlist2dat [--disks] [--] [DIR]\n"
               "       softlist2dat -h | --help"
#ifdef _WIN32
               " | /?"
#endif
               "\n"
               "       softlist2dat --version\n"
               "\n"
               "Turns every MESS software list (*.xml) in DIR, or in the current directory\n"
               "when no DIR is given, into one ClrMamePro DAT. The DAT,\n"
               "all_mess_software_lists.dat, is written to the current directory, which\n"
               "must be writable (an old DAT there is replaced), together with the\n"
               "temporary file tempfileforplimsett.tmp while the tool runs.\n"
               "\n"
               "  --disks   also list each software's disk images (CHD files) that have a\n"
               "            sha1, as disk entries beside its rom entries\n"
               "\n"
               "Exit status: 0 the DAT was written (also when there was nothing to convert),\n"
               "2 the command line was wrong or DIR cannot be read, 3 a file could not be\n"
               "opened or the DAT not written.\n",
               to);
}

void printVersion()
{
    std::puts("softlist2dat " SOFTLIST2DAT_VERSION);
}
