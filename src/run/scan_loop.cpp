// The read loop.
#include "run/scan_loop.h"

#include "scan/classify.h"
#include "scan/handlers.h"

// The loop made for one Reading.
template <Reading reading>
static void scanLines(ScanState& state)
{
    state.lineCount = 0;
    while (readLine(state)) {
        classifyLine<reading>(state);
        state.lineCount++;
        if (state.writer->output->failed)
            break;
    }
    if (state.romHeld)
        writeHeldRom<reading>(state);
    state.writer->inputEnds(*state.writer);
    releaseLine(state);
}

void scanAllLines(ScanState& state)
{
    if (state.writer->reading == Reading::CombinedValues)
        scanLines<Reading::CombinedValues>(state);
    else
        scanLines<Reading::AllValues>(state);
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
