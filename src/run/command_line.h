// The command line: what the user asked for, and the usage text.
#pragma once

#include <cstdio>

enum class Action { Convert, Help, Version, Misuse };

struct Invocation {
    Action action;
    const char* directory;   // where the lists are, for Convert; nullptr: here
    bool disks;              // --disks: disk images (CHD files) in the DAT too
};

// Reads the arguments: none, or [--disks] [--] DIR (--disks may also follow
// DIR), converts; -h or --help (on
// Windows also /?) asks for the usage, --version for the version; anything
// else is a misuse.
Invocation readCommandLine(int argc, char** argv);

// The usage text, to stdout for help or to stderr after a misuse.
void printUsage(std::FILE* to);

// "softlist2dat VERSION" and a line end.
void printVersion();
