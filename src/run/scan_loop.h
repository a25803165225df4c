// The read loop: every line of the input goes to the classifier and is counted.
#pragma once

#include <cstddef>

#include "dat/dat_writer.h"
#include "scan/scan_state.h"

// Reads, classifies and counts lines until the input ends or a write to the
// DAT has failed, then tells the writer that the input has ended;
// `lineCount` starts at 0. The loop is the one made for what the writer
// reads.
void scanAllLines(ScanState& state);

// The whole conversion of bytes held in memory through `writer`, whose
// output the caller has set up: opened, scanned, closed. For the fuzzer, the
// benchmark and the tests; the caller provides the (large) stream and record.
void convertMemory(ScanState& state, TextInput& input, DatWriter& writer, const char* bytes, std::size_t size,
                   bool disks = false);
