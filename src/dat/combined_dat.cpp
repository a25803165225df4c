// The combined DAT's writer.
#include "dat/combined_dat.h"

#include <cassert>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "dat/dat_text.h"
#include "platform/shell.h"

static CombinedDat& combined(DatWriter& writer)
{
    return static_cast<CombinedDat&>(writer);
}

static std::string_view listOf(const CombinedDat& dat)
{
    return std::string_view(dat.listName, static_cast<std::size_t>(dat.listNameLength));
}

static void rememberList(DatWriter& writer, const ListFound& list)
{
    CombinedDat& dat = combined(writer);
    assert(list.name.size() < sizeof dat.listName);
    std::memcpy(dat.listName, list.name.data(), list.name.size());
    dat.listName[list.name.size()] = '\0';
    dat.listNameLength = static_cast<std::int32_t>(list.name.size());
}

static void openCombinedGame(DatWriter& writer, const GameFound& game)
{
    openGame(*writer.output, listOf(combined(writer)), game.name, game.title);
}

// A ROM with a hash after its name; the rest of what the scan reports is
// for the list DATs.
static void writeCombinedRom(DatWriter& writer, const RomFound& rom)
{
    const RomValues& v = rom.afterName;
    if (!v.crc.empty() || !v.md5.empty() || !v.sha1.empty())
        writeRom(*writer.output, rom.name, v.size, v.crc, v.md5, v.sha1);
}

static void ignoreDetail(DatWriter&, Detail, std::string_view) {}

static void writeCombinedDisk(DatWriter& writer, const DiskFound& disk)
{
    writeDisk(*writer.output, disk.name, disk.sha1);
}

static void closeCombinedGame(DatWriter& writer)
{
    closeGame(*writer.output, listOf(combined(writer)));
}

static void nothingMore(DatWriter&) {}

// The combined DAT goes to the working directory, which is always there.
static bool nothingToMake(DatWriter&)
{
    return true;
}

// A DAT begun by a killed run goes, as the interpreter's "del" removes it
// (saying so when it cannot); the previous DAT stays until this one is done.
static void removeLeftover(DatWriter& writer)
{
    CombinedDat& dat = combined(writer);
    if (dat.memory != nullptr)
        return;
    char command[sizeof combinedDatName + sizeof pendingSuffix + 8];
    std::snprintf(command, sizeof command, "del %s%s", combinedDatName, pendingSuffix);
    runShell(command);
}

// Creates the DAT (or opens the memory) and writes its header.
static bool openCombined(DatWriter& writer)
{
    CombinedDat& dat = combined(writer);
    if (dat.memory != nullptr)
        openTextOutputToMemory(*dat.out, *dat.memory);
    else if (!createPendingFile(dat.file, *dat.out, combinedDatName))
        return false;
    dat.listName[0] = '\0';
    dat.listNameLength = 0;
    dat.output = dat.out;
    writeHeader(*dat.out);
    return true;
}

static bool closeCombined(DatWriter& writer)
{
    return closeTextOutput(*combined(writer).out);
}

static bool commitCombined(DatWriter& writer)
{
    CombinedDat& dat = combined(writer);
    return dat.memory != nullptr || commitPendingFile(dat.file);
}

static void abandonCombined(DatWriter& writer)
{
    CombinedDat& dat = combined(writer);
    closeTextOutput(*dat.out);
    if (dat.memory == nullptr)
        abandonPendingFile(dat.file);
}

static int reportCombined(DatWriter&, std::int64_t lines)
{
    std::printf("\nSuccesfully parsed %" PRId64 " XML lines and created one large.dat file called\n%s\n", lines,
                combinedDatName);
    return 0;
}

void startCombinedDat(CombinedDat& dat, TextOutput& out, std::string* memory)
{
    dat.listBegins = rememberList;
    dat.gameOpens = openCombinedGame;
    dat.detailFound = ignoreDetail;
    dat.romFound = writeCombinedRom;
    dat.diskFound = writeCombinedDisk;
    dat.gameCloses = closeCombinedGame;
    dat.inputEnds = nothingMore;
    dat.prepare = nothingToMake;
    dat.removeLeftovers = removeLeftover;
    dat.open = openCombined;
    dat.close = closeCombined;
    dat.commit = commitCombined;
    dat.abandon = abandonCombined;
    dat.report = reportCombined;
    dat.out = &out;
    dat.memory = memory;
    dat.output = &out;
    dat.reading = Reading::CombinedValues;
    dat.directory = nullptr;
    dat.failedDat = combinedDatName;
    dat.failedToOpen = false;
    dat.listName[0] = '\0';
    dat.listNameLength = 0;
}
