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
    if (enterFileCreation()) {
        opened = openTextOutput(out, file.part);
        if (!opened && errno == EEXIST && removeNamed(file.part) == 0)
            opened = openTextOutput(out, file.part);
        errorNumber = errno;
    }
    file.active = opened;
    if (!opened)
        keepOnInterrupt(file.part);
    leaveFileCreation();
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

bool createDirectoryRemovedOnInterrupt(const char* name)
{
    const char* doomed = removeOnInterrupt(name);
    bool made = false;
    int errorNumber = EINTR;
    if (enterFileCreation()) {
        made = makeDirectoryNamed(name) == 0;
        errorNumber = errno;
    }
    if (!made)
        keepOnInterrupt(doomed);
    leaveFileCreation();
    errno = errorNumber;
    return made;
}
