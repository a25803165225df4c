// Setting up the working record and reading pieces into it. In sanitizer
// builds the part of the line buffer behind the piece is poisoned, so that
// any look past the bytes actually read stops the program.
#include "scan/scan_state.h"

#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOFTLIST2DAT_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SOFTLIST2DAT_ASAN 1
#endif

#ifdef SOFTLIST2DAT_ASAN
#include <sanitizer/asan_interface.h>
#define POISON_LINE(from, size) ASAN_POISON_MEMORY_REGION(from, size)
#define UNPOISON_LINE(from, size) ASAN_UNPOISON_MEMORY_REGION(from, size)
#else
#define POISON_LINE(from, size) ((void)(from), (void)(size))
#define UNPOISON_LINE(from, size) ((void)(from), (void)(size))
#endif

void initScanState(ScanState& state, TextInput& input, TextOutput& output)
{
    UNPOISON_LINE(state.line, sizeof state.line);
    std::memset(&state, 0, sizeof state);
    state.input = &input;
    state.output = &output;
}

bool readLine(ScanState& state)
{
    UNPOISON_LINE(state.line, sizeof state.line);
    state.lineLength = readPiece(*state.input, state.line);
    POISON_LINE(state.line + state.lineLength, sizeof state.line - static_cast<std::size_t>(state.lineLength));
    return state.lineLength > 0;
}
