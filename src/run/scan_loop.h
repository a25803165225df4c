// The read loop: every line of the input goes to the classifier and is
// counted. Made for each writer type.
#pragma once

#include <cstddef>

#include "dat/dat_writer.h"
#include "scan/classify.h"
#include "scan/scan_state.h"

// Reads, classifies and counts lines until the input ends or a write to the
// DAT has failed, then tells the writer that the input has ended;
// `lineCount` starts at 0.
template <DatWriter Writer>
void scanAllLines(ScanState& state, Writer& writer)
{
    state.lineCount = 0;
    while (readLine(state)) {
        classifyLine(state, writer);
        state.lineCount++;
        if (writer.output->failed)
            break;
    }
    if (state.tagPiecesLeft > 0)
        endStartTag(state, writer);
    if (state.romHeld)
        writeHeldRom(state, writer);
    writer.inputEnds();
    releaseLine(state);
}

// The whole conversion of bytes held in memory through `writer`, whose
// output the caller has set up: opened, scanned, closed. For the fuzzer, the
// benchmark and the tests; the caller provides the (large) stream and record.
template <DatWriter Writer>
void convertMemory(ScanState& state, TextInput& input, Writer& writer, const char* bytes, std::size_t size,
                   bool disks = false)
{
    openTextInputFromMemory(input, bytes, size);
    initScanState(state, input);
    state.disks = disks;
    writer.open();
    scanAllLines(state, writer);
    writer.close();
}
