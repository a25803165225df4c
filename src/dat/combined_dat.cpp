// The combined DAT's files.
#include "dat/combined_dat.h"

#include <cinttypes>
#include <cstdio>

#include "platform/shell.h"

CombinedDat::CombinedDat(TextOutput& out, std::string_view version, std::string* memory)
    : out_(&out), version_(version), memory_(memory)
{
    output = &out;
    failedDat = combinedDatName;
    listName_.clear();
}

void CombinedDat::removeLeftovers()
{
    if (memory_ != nullptr)
        return;
    char command[sizeof combinedDatName + sizeof pendingSuffix + 8];
    std::snprintf(command, sizeof command, "del %s%s", combinedDatName, pendingSuffix);
    runShell(command);
}

bool CombinedDat::open()
{
    if (memory_ != nullptr)
        openTextOutputToMemory(*out_, *memory_);
    else if (!createPendingFile(file_, *out_, combinedDatName))
        return false;
    listName_.clear();
    output = out_;
    writeHeader(*out_, version_);
    return true;
}

bool CombinedDat::close()
{
    return closeTextOutput(*out_);
}

bool CombinedDat::commit()
{
    return memory_ != nullptr || commitPendingFile(file_);
}

void CombinedDat::abandon()
{
    closeTextOutput(*out_);
    abandonPendingFile(file_);
}

int CombinedDat::report(std::int64_t lines)
{
    std::printf("\nSuccesfully parsed %" PRId64 " XML lines and created one large.dat file called\n%s\n", lines,
                combinedDatName);
    return 0;
}
