// libFuzzer target: arbitrary bytes as the concatenated input, through the
// reader, the scanner and the three DAT writers (the combined DAT, the list
// DATs and the list DATs in XML) in memory. Any read past the piece that the
// reader handed out traps (the line buffer's tail is poisoned); the combined
// DAT must consist of known line shapes, the line count must fit the input,
// and for each writer the general paths alone must give the same bytes and
// count as the shortcuts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

#include "bytes/fast_paths.h"
#include "dat/combined_dat.h"
#include "dat/list_dats.h"
#include "dat/list_text.h"
#include "dat/list_xml.h"
#include "dat_shape.h"
#include "run/scan_loop.h"

static TextInput input;
static TextOutput output;
static ScanState state;

enum class Form { Combined, Lists, XmlLists };

// The conversion through a writer of type Writer (made on `output`).
template <typename Writer, typename... Arguments>
static std::string convertThrough(const std::uint8_t* data, std::size_t size, bool disks, Arguments... arguments)
{
    std::string dat;
    auto writer = std::make_unique<Writer>(output, arguments..., &dat);
    convertMemory(state, input, *writer, reinterpret_cast<const char*>(data), size, disks);
    return dat;
}

// The conversion through one writer, the shortcuts on or off.
static std::string convert(Form form, bool general, const std::uint8_t* data, std::size_t size, bool disks)
{
    useGeneralPathsOnly(general);
    const std::string_view version;
    std::string dat = form == Form::Combined ? convertThrough<CombinedDat>(data, size, disks, version)
                      : form == Form::Lists  ? convertThrough<ListDats<ListText>>(data, size, disks, "out", version)
                                             : convertThrough<ListDats<ListXml>>(data, size, disks, "out", version);
    useGeneralPathsOnly(false);
    return dat;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Each writer, as by default and with disk entries asked for.
    for (Form form : {Form::Combined, Form::Lists, Form::XmlLists}) {
        const bool perList = form != Form::Combined;
        for (bool disks : {false, true}) {
            const std::string general = convert(form, true, data, size, disks);
            const std::int64_t generalCount = state.lineCount;
            const std::string dat = convert(form, false, data, size, disks);
            if (dat != general || state.lineCount != generalCount) {
                std::fprintf(stderr, "shortcuts and general paths differ%s%s: lines %lld and %lld, DAT %s\n",
                             perList ? " per list" : "", disks ? " with disks" : "",
                             static_cast<long long>(state.lineCount), static_cast<long long>(generalCount),
                             dat == general ? "equal" : "differs");
                std::abort();
            }
            std::string problem = perList ? "" : datShapeProblem(dat);
            if (!problem.empty()) {
                std::fprintf(stderr, "bad DAT%s: %s\n", disks ? " with disks" : "", problem.c_str());
                std::abort();
            }
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
