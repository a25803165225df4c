// Files written under a temporary name and put in place whole.
#include "platform/pending_file.h"

#include <cassert>
#include <cerrno>
#include <string_view>

#include "platform/file_names.h"
#include "platform/interrupts.h"

bool createPendingFile(PendingFile& file, TextOutput& out, const char* target)
{
    std::string part = target;
    part += pendingSuffix;
    if (file.part == nullptr || part != file.part)
        file.part = removeOnInterrupt(part.c_str());
    bool opened = false;
    int errorNumber = EINTR;
    if (enterFileCreation()) {
        opened = openTextOutput(out, file.part);
        if (!opened && errno == EEXIST && removeNamed(file.part) == 0)
            opened = openTextOutput(out, file.part);
        errorNumber = errno;
    }
    leaveFileCreation();
    errno = errorNumber;
    return opened;
}

std::string targetOf(const PendingFile& file)
{
    const std::string_view part = file.part;
    assert(part.ends_with(pendingSuffix));
    return std::string(part.substr(0, part.size() - (sizeof pendingSuffix - 1)));
}

bool commitPendingFile(PendingFile& file)
{
    assert(file.part != nullptr);
    if (replaceNamed(file.part, targetOf(file).c_str()) == 0)
        return true;
    const int errorNumber = errno;
    removeNamed(file.part);
    errno = errorNumber;
    return false;
}

void abandonPendingFile(PendingFile& file)
{
    if (file.part != nullptr)
        removeNamed(file.part);
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
