// The command line: what the user asked for, and the usage text.
#pragma once

#include <cstdio>

#include "run/run.h"

enum class Action { Convert, Help, Version, Misuse };

struct Invocation {
    Action action;
    const char* directory;   // where the lists are, for Convert; nullptr: here
    bool disks;              // --disks: disk images (CHD files) in the DAT too
    DatForm form;            // --per-list OUT (with --xml): one DAT per list
    const char* perList;     // OUT, for the list DATs
    const char* datVersion;  // --dat-version TEXT: the DATs' version; nullptr for none
    const char* misuse;      // for Misuse: what was wrong, a line for stderr
};

// Reads the arguments: none, or [--per-list OUT [--xml]] [--disks]
// [--dat-version TEXT] [--] DIR (the options before or after DIR; --per-list
// and --dat-version also as --per-list=OUT and --dat-version=TEXT),
// converts; -h or --help (on Windows also /?) asks for the usage, --version
// for the version; anything else is a misuse, which says what was wrong.
Invocation readCommandLine(int argc, char** argv);

// The usage text, to stdout for help or to stderr after a misuse.
void printUsage(std::FILE* to);

// "softlist2dat VERSION" and a line end.
void printVersion();
