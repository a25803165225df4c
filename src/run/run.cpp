// The conversion run, step by step, with its files, messages and exit status.
#include "run/run.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "dat/dat_writer.h"
#include "platform/file_names.h"
#include "platform/interrupts.h"
#include "platform/shell.h"
#include "platform/text_input.h"
#include "platform/text_output.h"
#include "run/copy_ahead.h"
#include "run/list_dats.h"
#include "run/scan_loop.h"
#include "scan/scan_state.h"

static const char banner[] = "softlist2dat - MESS software lists to one ClrMamePro DAT";

// The run's messages, "Succesfully parsed ..." and "Please check filename."
// among them, are kept word for word, spelling included: scripts and the
// manual page quote them.

// The run's storage: reserved once, alive for the whole run.
static char outputName[128];
static char partName[128];        // the DAT while it is written, renamed when complete
static char tempName[128];
static char commandLine[192];     // the "del" commands
static char copyCommand[8192];    // the copy command, read by the copy's thread
static TextInput input;
static TextOutput output;
static ScanState state;
static CopyAhead copy;
static bool disksWanted;
static const char* perListDirectory;   // one DAT per list goes here; nullptr: the combined DAT

static void removeFile(const char* name)
{
    std::snprintf(commandLine, sizeof commandLine, "del %s", name);
    runShell(commandLine);
}

// A DAT (or the lists' directory) cannot be created or put in place (say, a
// directory stands at its name). The message is the long-standing one.
static void printCannotOpenDat(const char* name)
{
    std::printf("\nFailed to read from '%s'. Please check filename.\n\n", name);
}

static void printSummary()
{
    if (state.lineCount < 1)
        std::puts("\nFound no .xmls in current directory to parse, aborting.");
    else if (perListDirectory != nullptr)
        std::printf("\nConverted %" PRId64 " XML lines into %d DAT files in %s\n", state.lineCount, listDatCount(),
                    perListDirectory);
    else
        std::printf("\nSuccesfully parsed %" PRId64 " XML lines and created one large.dat file called\n%s\n",
                    state.lineCount, outputName);
}

// Opens where the DAT text goes: the combined DAT, under its temporary name.
// (The list DATs are opened as their lists begin.) False when it cannot be.
static bool openDats()
{
    return perListDirectory != nullptr || openTextOutput(output, partName);
}

// The combined DAT's header, or the list DATs taking over, then every line of
// the temporary file through the scanner.
static void scanTemporaryFile()
{
    initScanState(state, input, output);
    state.disks = disksWanted;
    if (perListDirectory != nullptr)
        followLists(state, output);
    else
        writeHeader(output);
    scanAllLines(state);
}

// Closes the DATs written. False when one could not be written completely
// (or, per list, opened).
static bool closeDats()
{
    return perListDirectory != nullptr ? closeListDats() : closeTextOutput(output);
}

// Puts the complete DATs in place of the previous ones.
static bool replaceDats()
{
    return perListDirectory != nullptr ? replaceListDats() : replaceNamed(partName, outputName) == 0;
}

// Removes what this run began of its DATs: the previous ones stay.
static void discardDats()
{
    if (perListDirectory != nullptr) {
        discardListDats();
        return;
    }
    closeTextOutput(output);
    removeFile(partName);
}

// The DAT a failure is reported for.
static const char* failedDat()
{
    return perListDirectory != nullptr ? failedDatName() : outputName;
}

// Scans the temporary file while the copy is still writing it, where the
// copy has the file's room reserved (so the DAT cannot take it away). False
// when the scan has to wait for the copy's end: no reservation, or a file
// that did not open (nothing is left open then).
static bool scanWhileCopying()
{
    if (!copy.waitUntilTargetReserved() || !openTextInput(input, tempName))
        return false;
    if (!openDats()) {
        closeTextInput(input);
        return false;
    }
    copy.follow(input);
    scanTemporaryFile();
    return true;
}

// Undoes a scan that ran beside a copy that then failed: the DAT begun is
// removed, as when the scan waits for the copy and finds no temporary file.
static void discardScan()
{
    closeTextInput(input);
    discardDats();
}

// The copy command for the lists of `listDirectory` (nullptr for here).
// False, with errno set, when the directory cannot be listed or its name is
// too long for the command.
static bool formatCopyCommand(const char* listDirectory)
{
    if (listDirectory == nullptr) {
        std::snprintf(copyCommand, sizeof copyCommand, "copy /B *.xml %s", tempName);
        return true;
    }
    int errorNumber = 0;
    if (!canListDirectory(listDirectory, errorNumber)) {
        errno = errorNumber;
        return false;
    }
    int length = std::snprintf(copyCommand, sizeof copyCommand, "copy /B %s/*.xml %s", listDirectory, tempName);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof copyCommand) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

int runConversion(const char* listDirectory, bool disks, const char* perList)
{
    disksWanted = disks;
    perListDirectory = perList;
    std::snprintf(outputName, sizeof outputName, "%s", "all_mess_software_lists.dat");
    std::snprintf(partName, sizeof partName, "%s", "all_mess_software_lists.dat.part");
    std::snprintf(tempName, sizeof tempName, "%s", "tempfileforplimsett.tmp");
    if (listDirectory != nullptr && std::strcmp(listDirectory, ".") == 0)
        listDirectory = nullptr;
    if (!formatCopyCommand(listDirectory)) {
        std::fprintf(stderr, "softlist2dat: cannot read directory '%s': %s\n", listDirectory, std::strerror(errno));
        return 2;
    }

    // The previous DAT stays until the new one is complete; only a DAT begun
    // by a killed run goes.
    if (perListDirectory == nullptr)
        removeOnInterrupt(partName);
    removeOnInterrupt(tempName);
    catchInterrupts();
    if (perListDirectory == nullptr)
        removeFile(partName);
    std::puts(banner);
    if (perListDirectory != nullptr && !prepareListDirectory(perListDirectory)) {
        printCannotOpenDat(perListDirectory);
        return 3;
    }
    copy.start(runShellWatched, copyCommand);
    bool scanned = scanWhileCopying();
    if (copy.finish() == 1) {
        std::puts("Error can't get directory information.");
        if (scanned)
            discardScan();
        scanned = false;
    }

    if (!scanned) {
        if (!openTextInput(input, tempName)) {
            discardDats();
            std::puts("\nFailed to read from temp file...ABORTING!\n");
            return 3;
        }
        if (!openDats()) {
            closeTextInput(input);
            removeFile(tempName);
            printCannotOpenDat(outputName);
            return 3;
        }
        scanTemporaryFile();
    }

    bool written = closeDats();
    closeTextInput(input);
    bool replaced = written && !input.failed && replaceDats();
    if (!replaced)
        discardDats();
    removeFile(tempName);

    if (!written) {
        if (perListDirectory != nullptr && listDatFailedToOpen())
            printCannotOpenDat(failedDat());
        else
            std::printf("\nFailed to write '%s'.\n\n", failedDat());
        return 3;
    }
    if (input.failed) {
        std::puts("\nFailed to read from temp file...ABORTING!\n");
        return 3;
    }
    if (!replaced) {
        printCannotOpenDat(failedDat());
        return 3;
    }
    bool skipped = perListDirectory != nullptr && reportSkippedLists();
    printSummary();
    return skipped ? 3 : 0;
}
