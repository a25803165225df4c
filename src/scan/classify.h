// The line classifier: decides what a line holds from the characters at its
// first non-blank position, skips comments (reading further lines itself) and
// hands recognised lines to their element handlers.
#pragma once

#include "scan/scan_state.h"

// The kind of the piece line[0, length) whose first non-blank index is p.
LineKind lineKindAt(const char* line, int length, int p);

// Classifies the current line and runs its handler or the comment skip,
// reading what `reading` names (see dat_writer.h).
template <Reading reading>
void classifyLine(ScanState& state);

// Skips a comment from `pos` (just past "<!--") to the line holding "-->",
// reading and counting the lines in between. Stops at the end of the input.
void skipComment(ScanState& state);
