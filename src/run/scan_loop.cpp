// The read loop.
#include "run/scan_loop.h"

#include "scan/classify.h"
#include "scan/handlers.h"

void scanAllLines(ScanState& state)
{
    state.lineCount = 0;
    while (readLine(state)) {
        classifyLine(state);
        state.lineCount++;
        if (state.writer->output->failed)
            break;
    }
    if (state.romHeld)
        writeHeldRom(state);
    state.writer->inputEnds(*state.writer);
    releaseLine(state);
}

void convertMemory(ScanState& state, TextInput& input, DatWriter& writer, const char* bytes, std::size_t size,
                   bool disks)
{
    openTextInputFromMemory(input, bytes, size);
    initScanState(state, input, writer);
    state.disks = disks;
    writer.open(writer);
    scanAllLines(state);
    writer.close(writer);
}
