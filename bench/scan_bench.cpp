// Scan throughput: the software lists of $SOFTLIST2DAT_LISTS (its *.xml
// files, concatenated in byte-wise name order) read from memory, converted,
// and the DAT collected in memory: the combined DAT, and the list DATs in
// both forms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dat/combined_dat.h"
#include "dat/list_dats.h"
#include "dat/list_text.h"
#include "dat/list_xml.h"
#include "run/scan_loop.h"

static std::string collection;

static std::string concatenateLists(const std::string& directory)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (struct dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string& name : names) {
        std::ifstream in(directory + "/" + name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        all += bytes.str();
    }
    return all;
}

// The streams and the record of one benchmark, with the DAT text.
struct Conversion {
    std::unique_ptr<TextInput> input = std::make_unique<TextInput>();
    std::unique_ptr<TextOutput> output = std::make_unique<TextOutput>();
    std::unique_ptr<ScanState> state = std::make_unique<ScanState>();
    std::string dat;
};

// Converts the collection through a writer of type Writer (made on
// `conversion`'s output) once per iteration.
template <typename Writer, typename... Arguments>
static void convertEachIteration(benchmark::State& run, Arguments... arguments)
{
    Conversion conversion;
    auto writer = std::make_unique<Writer>(*conversion.output, arguments..., &conversion.dat);
    conversion.dat.reserve(collection.size());
    for (auto _ : run) {
        conversion.dat.clear();
        convertMemory(*conversion.state, *conversion.input, *writer, collection.data(), collection.size());
        benchmark::DoNotOptimize(conversion.dat.data());
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * static_cast<std::int64_t>(collection.size()));
    run.counters["lines"] = static_cast<double>(conversion.state->lineCount);
    run.counters["dat_bytes"] = static_cast<double>(conversion.dat.size());
}

static void scanCollection(benchmark::State& run)
{
    convertEachIteration<CombinedDat>(run, std::string_view());
}
BENCHMARK(scanCollection)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The list DATs: the text form (argument 0) or Logiqx XML (1).
static void scanCollectionToListDats(benchmark::State& run)
{
    if (run.range(0) == 1)
        convertEachIteration<ListDats<ListXml>>(run, "dats", std::string_view());
    else
        convertEachIteration<ListDats<ListText>>(run, "dats", std::string_view());
}
BENCHMARK(scanCollectionToListDats)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* lists = std::getenv("SOFTLIST2DAT_LISTS");
    if (lists == nullptr) {
        std::fprintf(stderr, "set SOFTLIST2DAT_LISTS to the directory of the software lists\n");
        return 2;
    }
    collection = concatenateLists(lists);
    std::fprintf(stderr, "scanning %zu bytes\n", collection.size());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
