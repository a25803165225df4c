// The read loop: every line of the input goes to the classifier and is counted.
#pragma once

#include <cstddef>
#include <string>

#include "scan/scan_state.h"

// Reads, classifies and counts lines until the input ends or a write to the
// DAT has failed; `lineCount` starts at 0.
void scanAllLines(ScanState& state);

// The whole conversion of bytes held in memory, the DAT collected in `dat`:
// for the fuzzer, the benchmark and the tests. The caller provides the
// (large) streams and record.
void convertMemory(ScanState& state, TextInput& input, TextOutput& output, const char* bytes, std::size_t size,
                   std::string& dat, bool disks = false);
