// Files written under a temporary name and put in place whole.
#include "platform/pending_file.h"

#include <cerrno>

#include "platform/file_names.h"
#include "platform/interrupts.h"

bool createPendingFile(PendingFile& file, TextOutput& out, const char* target)
{
    file.target = target;
    file.part = file.target + pendingSuffix;
    if (!file.registered) {
        removeOnInterrupt(file.part.c_str());
        file.registered = true;
    }
    bool opened = false;
    int errorNumber = EINTR;
    if (enterFileCreation()) {
        opened = openTextOutput(out, file.part.c_str());
        if (!opened && errno == EEXIST && removeNamed(file.part.c_str()) == 0)
            opened = openTextOutput(out, file.part.c_str());
        errorNumber = errno;
    }
    leaveFileCreation();
    errno = errorNumber;
    return opened;
}

bool commitPendingFile(PendingFile& file)
{
    if (replaceNamed(file.part.c_str(), file.target.c_str()) == 0)
        return true;
    const int errorNumber = errno;
    removeNamed(file.part.c_str());
    errno = errorNumber;
    return false;
}

void abandonPendingFile(PendingFile& file)
{
    removeNamed(file.part.c_str());
}

bool createDirectoryRemovedOnInterrupt(const char* name)
{
    removeOnInterrupt(name);
    bool made = false;
    int errorNumber = EINTR;
    if (enterFileCreation()) {
        made = makeDirectoryNamed(name) == 0;
        errorNumber = errno;
    }
    leaveFileCreation();
    errno = errorNumber;
    return made;
}
