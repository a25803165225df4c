// The command line: what the user asked for, and the usage text.
#pragma once

#include <cstdio>
#include <vector>

#include "run/run.h"

enum class Action { Convert, Help, Version, Misuse };

struct Invocation {
    Action action = Action::Convert;
    std::vector<const char*> lists;   // DIR or FILEs, for Convert; none: here
    bool disks = false;               // --disks: disk images (CHD files) in the DAT too
    DatForm form = DatForm::Combined; // --per-list OUT (with --xml): one DAT per list
    const char* perList = nullptr;    // OUT, for the list DATs
    const char* datVersion = nullptr; // --dat-version TEXT: the DATs' version; nullptr for none
    const char* misuse = nullptr;     // for Misuse: what was wrong, a line for stderr
};

// Reads the arguments: none, or [--per-list OUT [--xml]] [--disks]
// [--dat-version TEXT] [--] [DIR | FILE...] (the options before, between or
// after them; --per-list and --dat-version also as --per-list=OUT and
// --dat-version=TEXT),
// converts; -h or --help (on Windows also /?) asks for the usage, --version
// for the version; anything else is a misuse, which says what was wrong.
Invocation readCommandLine(int argc, char** argv);

// The usage text, to stdout for help or to stderr after a misuse.
void printUsage(std::FILE* to);

// "softlist2dat VERSION" and a line end.
void printVersion();
