// The element handlers: they remember the list and software names and report
// to the DAT writer each list line, a game at each description, each ROM with
// a hash (held until the next line, which may add a chunk's size), when asked
// for each disk with a sha1, and the game's end at each software closing
// line.
#pragma once

#include "dat/dat_writer.h"
#include "scan/scan_state.h"

void handleSoftwareList(ScanState& state, std::int32_t from);
// Handlers made for each Reading (see dat_writer.h) read only what it
// names; what they do not read stays empty.
template <Reading reading>
void handleSoftware(ScanState& state, std::int32_t from);
void handleDescription(ScanState& state, std::int32_t from);
template <Reading reading>
void handleRom(ScanState& state, std::int32_t from);
void handleSoftwareClose(ScanState& state);

// A <year> or <publisher> line: its text, as it stands, to the writer.
void handleDetail(ScanState& state, Detail kind, std::int32_t from);

// With a ROM held, the next line, its first non-blank byte at `p`: true when
// it is a chunk row (`<rom` and a blank, no name, no hash, a "continue" or
// "ignore" loadflag and a size in its start tag), whose size then joins the
// held ROM's. Such a row writes nothing of its own.
bool joinChunkRow(ScanState& state, std::int32_t p);

// Writes the held ROM's rom line: its size the sum of its own and its
// chunks' when there are chunks and all are numbers summing below 2^64.
template <Reading reading>
void writeHeldRom(ScanState& state);

// A disk line (with disks asked for): the name decoded, the sha1 searched
// from where the name's copy ended; a disk entry when the sha1 is not empty.
template <Reading reading>
void handleDisk(ScanState& state, std::int32_t from);
