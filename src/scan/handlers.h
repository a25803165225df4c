// The element handlers: they remember the list and software names, open a game
// block at each description, write a rom line for each ROM with a hash, and
// close the block at each software closing line.
#pragma once

#include "scan/scan_state.h"

void handleSoftwareList(ScanState& state, std::int32_t from);
void handleSoftware(ScanState& state, std::int32_t from);
void handleDescription(ScanState& state, std::int32_t from);
void handleRom(ScanState& state, std::int32_t from);
void handleSoftwareClose(ScanState& state);
