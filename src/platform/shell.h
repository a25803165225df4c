// The command interpreter's two commands, carried out in-process:
//   "del NAME"                removes a file or symbolic link, never a directory
//   "copy /B [DIR/]*.xml NAME"  concatenates the *.xml files of DIR (the
//                             working directory without it) into NAME
//   "copy /B \"F1\" + \"F2\" NAME" concatenates the files named, in that
//                             order (a quote in a name written twice)
// Messages go to the console as the interpreter would print them; the return
// value is the interpreter's status (0 success, 1 failure).
#pragma once

#include <cstdint>

// What the copy command tells, as it goes, a reader of its target. Every
// member may be left empty; `context` is handed back to each call.
struct CopyWatch {
    // The target exists; `reserved` when the whole size of the sources is
    // set aside for it on the disk (the copy then cannot run out of room).
    // `reader` reads the very file created (it shares the copy's offset:
    // read it by offset), the watcher's to close; -1 when none could be had.
    void (*targetCreated)(void* context, bool reserved, int reader) = nullptr;
    // The target's first `total` bytes are written and final.
    void (*bytesAppended)(void* context, std::uint64_t total) = nullptr;
    void* context = nullptr;
};

int runShell(const char* commandLine);

// True when `directory` can be opened for listing; else errorNumber says why.
bool canListDirectory(const char* directory, int& errorNumber);

// The same, telling `watch` how the copy command goes.
int runShellWatched(const char* commandLine, const CopyWatch& watch);
