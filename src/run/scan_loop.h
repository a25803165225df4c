// The read loop: every line of the input goes to the classifier and is counted.
#pragma once

#include "scan/scan_state.h"

// Reads, classifies and counts lines until the input ends or a write to the
// DAT has failed; `lineCount` starts at 0.
void scanAllLines(ScanState& state);
