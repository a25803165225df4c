// Files written under a temporary name and put in place whole.
#include "platform/pending_file.h"

#include <cassert>
#include <cerrno>
#include <string_view>

#include "platform/file_names.h"
#include "platform/interrupts.h"

bool createPendingFile(PendingFile& file, TextOutput& out, const char* target)
{
    assert(!file.active);
    std::string part = target;
    part += pendingSuffix;
    file.part = removeOnInterrupt(part.c_str());
    bool opened = false;
    int errorNumber = EINTR;
    if (holdInterrupts()) {
        opened = openTextOutput(out, file.part);
        if (!opened && errno == EEXIST && removeNamed(file.part) == 0)
            opened = openTextOutput(out, file.part);
        errorNumber = errno;
    }
    file.active = opened;
    if (!opened)
        keepOnInterrupt(file.part);
    releaseInterrupts();
    errno = errorNumber;
    return opened;
}

// The part is no longer the run's to remove.
static void letGo(PendingFile& file)
{
    file.active = false;
    keepOnInterrupt(file.part);
}

std::string targetOf(const PendingFile& file)
{
    const std::string_view part = file.part;
    assert(part.ends_with(pendingSuffix));
    return std::string(part.substr(0, part.size() - (sizeof pendingSuffix - 1)));
}

bool commitPendingFile(PendingFile& file)
{
    assert(file.active);
    if (replaceNamed(file.part, targetOf(file).c_str()) == 0) {
        letGo(file);
        return true;
    }
    const int errorNumber = errno;
    abandonPendingFile(file);
    errno = errorNumber;
    return false;
}

void abandonPendingFile(PendingFile& file)
{
    if (!file.active)
        return;
    removeNamed(file.part);
    letGo(file);
}

// The name the previous target is kept under where it cannot swap names
// with the part.
static std::string previousOf(const PendingFile& file)
{
    return targetOf(file) + previousSuffix;
}

bool swapPendingFile(PendingFile& file)
{
    assert(file.active && !file.swapped);
    file.swapped = replaceKeepingNamed(file.part, targetOf(file).c_str(), previousOf(file).c_str(), file.kept) == 0;
    return file.swapped;
}

void finishPendingSwap(PendingFile& file)
{
    assert(file.swapped);
    if (file.kept == KeptAt::From)
        removeNamed(file.part);
    else if (file.kept == KeptAt::Keep)
        removeNamed(previousOf(file).c_str());
    file.swapped = false;
    letGo(file);
}

bool undoPendingSwap(PendingFile& file)
{
    assert(file.swapped);
    file.swapped = false;
    return undoReplaceKeeping(file.part, targetOf(file).c_str(), previousOf(file).c_str(), file.kept) == 0;
}
