// libFuzzer target: arbitrary bytes as the concatenated input, through the
// reader, the scanner and the writer in memory. Any read past the piece that
// the reader handed out traps (the line buffer's tail is poisoned); the DAT
// must consist of known line shapes, the line count must fit the input, and
// the general paths alone must give the same DAT and count as the shortcuts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "bytes/fast_paths.h"
#include "dat_shape.h"
#include "run/scan_loop.h"

static TextInput input;
static TextOutput output;
static ScanState state;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Once as by default, once with disk entries asked for; each time also
    // with the general paths alone, which must give the same bytes.
    for (bool disks : {false, true}) {
        std::string general;
        useGeneralPathsOnly(true);
        convertMemory(state, input, output, reinterpret_cast<const char*>(data), size, general, disks);
        useGeneralPathsOnly(false);
        const std::int64_t generalCount = state.lineCount;
        std::string dat;
        convertMemory(state, input, output, reinterpret_cast<const char*>(data), size, dat, disks);
        if (dat != general || state.lineCount != generalCount) {
            std::fprintf(stderr, "shortcuts and general paths differ%s: lines %lld and %lld, DAT %s\n",
                         disks ? " with disks" : "", static_cast<long long>(state.lineCount),
                         static_cast<long long>(generalCount), dat == general ? "equal" : "differs");
            std::abort();
        }
        std::string problem = datShapeProblem(dat);
        if (!problem.empty()) {
            std::fprintf(stderr, "bad DAT%s: %s\n", disks ? " with disks" : "", problem.c_str());
            std::abort();
        }
    }
    // Every LF ends one piece, and no piece is longer than 2047 bytes.
    std::int64_t lineEnds = 0;
    for (std::size_t i = 0; i < size; i++)
        lineEnds += data[i] == '\n';
    std::int64_t most = lineEnds + static_cast<std::int64_t>(size / pieceLimit) + 1;
    if (state.lineCount < lineEnds || state.lineCount > most || (size > 0 && state.lineCount == 0)) {
        std::fprintf(stderr, "line count %lld for %zu bytes with %lld LFs\n", static_cast<long long>(state.lineCount),
                     size, static_cast<long long>(lineEnds));
        std::abort();
    }
    return 0;
}
