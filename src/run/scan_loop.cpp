// The read loop.
#include "run/scan_loop.h"

#include "scan/classify.h"

void scanAllLines(ScanState& state)
{
    state.lineCount = 0;
    while (readLine(state)) {
        classifyLine(state);
        state.lineCount++;
        if (state.output->failed)
            return;
    }
}
