// A file written under a temporary name beside its target and put in place
// whole: created exclusively (nothing planted under the temporary name is
// followed), removed by an interrupt, then either committed over the target
// in one step or abandoned. The previous target stays until the commit.
#pragma once

#include <string>

#include "platform/text_output.h"

// The temporary name's suffix: TARGET.part while the file is written.
inline constexpr char pendingSuffix[] = ".part";

// A run keeps one for each DAT it begins: the part's name, as the copy the
// interrupt's list of names holds, and whether the part is still the run's
// to remove. Committing or removing it ends that (the interrupt then leaves
// the name alone), and nothing is removed twice.
struct PendingFile {
    const char* part = nullptr;   // TARGET.part, named for removal on interrupt
    bool active = false;          // created, neither committed nor removed yet
};

// The target's name: the part's without pendingSuffix.
std::string targetOf(const PendingFile& file);

// Creates TARGET.part for `out`, inside the interrupt bracket; something left
// under that name (by a killed run) is removed and the creation tried once
// more. False, with errno set, when it cannot be created.
bool createPendingFile(PendingFile& file, TextOutput& out, const char* target);

// Puts the part (created) in place of the target (the old one removed). False,
// with errno set, when it cannot be: the part is then removed.
bool commitPendingFile(PendingFile& file);

// Removes the part, if it is still the run's.
void abandonPendingFile(PendingFile& file);

// Creates a directory (one level) that an interrupt removes again, inside
// the interrupt bracket. False, with errno set, when it cannot be created
// (EEXIST when another run has just made it); an interrupt then leaves the
// name alone.
bool createDirectoryRemovedOnInterrupt(const char* name);
