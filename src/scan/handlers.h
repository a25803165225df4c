// The element handlers: they remember the list and software names, open a game
// block at each description, write a rom line for each ROM with a hash (and,
// when asked for, a disk line for each disk with a sha1), and close the block
// at each software closing line.
#pragma once

#include "scan/scan_state.h"

void handleSoftwareList(ScanState& state, std::int32_t from);
void handleSoftware(ScanState& state, std::int32_t from);
void handleDescription(ScanState& state, std::int32_t from);
void handleRom(ScanState& state, std::int32_t from);
void handleSoftwareClose(ScanState& state);

// A disk line (with disks asked for): the name decoded, the sha1 searched
// from where the name's copy ended; a disk entry when the sha1 is not empty.
void handleDisk(ScanState& state, std::int32_t from);
