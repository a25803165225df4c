// A file written under a temporary name beside its target and put in place
// whole: created exclusively (nothing planted under the temporary name is
// followed), removed by an interrupt, then either committed over the target
// in one step or abandoned. The previous target stays until the commit.
#pragma once

#include <string>

#include "platform/file_names.h"
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
    bool swapped = false;         // in place, the previous target kept (see swapPendingFile)
    KeptAt kept = KeptAt::Nowhere;   // where the previous target is kept
};

// The name a previous target is kept under while the part stands in its
// place, where the two cannot swap names: TARGET.previous.
inline constexpr char previousSuffix[] = ".previous";

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

// Putting several parts in place as one: each is swapped in with the
// previous target kept (under the part's name, or TARGET.previous), then
// either every swap is finished (the previous targets removed) or each is
// undone (the previous target back, the part again the run's to remove).
// Called with interrupts held back, so that an interrupt finds every
// target as it was or every one new. False, with errno set, when the part
// cannot be put in place (a directory at the target, a target that cannot
// be replaced): nothing changed then.
bool swapPendingFile(PendingFile& file);
void finishPendingSwap(PendingFile& file);
bool undoPendingSwap(PendingFile& file);
