// Setting up the working record.
#include "scan/scan_state.h"

#include <cstring>

void initScanState(ScanState& state, TextInput& input)
{
#ifdef SOFTLIST2DAT_ASAN
    ASAN_UNPOISON_MEMORY_REGION(state.lineCopy, sizeof state.lineCopy);
#endif
    std::memset(&state, 0, sizeof state);
    state.line = state.lineCopy;
    state.input = &input;
}
