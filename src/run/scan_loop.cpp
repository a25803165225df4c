// The read loop.
#include "run/scan_loop.h"

#include "dat/dat_writer.h"
#include "scan/classify.h"
#include "scan/handlers.h"

void scanAllLines(ScanState& state)
{
    state.lineCount = 0;
    while (readLine(state)) {
        classifyLine(state);
        state.lineCount++;
        if (state.output->failed)
            break;
    }
    if (state.romHeld)
        writeHeldRom(state);
    releaseLine(state);
}

void convertMemory(ScanState& state, TextInput& input, TextOutput& output, const char* bytes, std::size_t size,
                   std::string& dat, bool disks)
{
    openTextInputFromMemory(input, bytes, size);
    openTextOutputToMemory(output, dat);
    initScanState(state, input, output);
    state.disks = disks;
    writeHeader(output);
    scanAllLines(state);
    closeTextOutput(output);
}
