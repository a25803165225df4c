// One DAT per list: the directory the DATs go to, the DAT of each list the
// scan meets (or a sink, for a list that cannot be a DAT), and the renames
// that put the DATs in place once every one was written. One list's DAT is
// open at a time; what is kept for the end grows with the number of lists.
#pragma once

#include <cstdint>

#include "platform/text_output.h"
#include "scan/scan_state.h"

// Makes `directory` ready to take the DATs, creating it (one level) when
// missing. False, with errno set, when it cannot be created or is not a
// directory.
bool prepareListDirectory(const char* directory);

// Ties the scan to the list DATs: until the first list line, what the
// writer writes goes to a sink (and is reported as skipped).
void followLists(ScanState& state, TextOutput& output);

// Closes the DAT being written. False when a DAT failed to open or to be
// written; `failedDatName` then names it and says which.
bool closeListDats();
bool listDatFailedToOpen();
const char* failedDatName();

// Renames every DAT written into place. False, with `failedDatName` naming
// the DAT, when a rename failed (the DATs not yet renamed are removed).
bool replaceListDats();

// Removes every DAT written by this run, and the directory if the run
// created it: the directory is left as it was.
void discardListDats();

// The lists skipped, one line each on stderr; true when there was any.
bool reportSkippedLists();

// The DATs written.
int listDatCount();
