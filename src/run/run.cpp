// The conversion run, step by step, with its files, messages and exit status.
// It chooses the DAT writer once (the combined DAT, or one DAT per list in
// one of their forms); the steps are made for each.
#include "run/run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include "dat/combined_dat.h"
#include "dat/dat_writer.h"
#include "dat/list_dats.h"
#include "dat/list_text.h"
#include "dat/list_xml.h"
#include "platform/file_names.h"
#include "platform/interrupts.h"
#include "platform/pending_file.h"
#include "platform/shell.h"
#include "platform/text_input.h"
#include "platform/text_output.h"
#include "platform/turns.h"
#include "run/copy_ahead.h"
#include "run/scan_loop.h"
#include "scan/scan_state.h"

static const char banner[] = "softlist2dat - MESS software lists to one ClrMamePro DAT";

// The concatenation of the lists, in the working directory. Its name is the
// one the tool has always used: scripts clean up after a killed run by it.
static const char temporaryFileName[] = "tempfileforplimsett.tmp";

// The run's messages, "Succesfully parsed ..." and "Please check filename."
// among them, are kept word for word, spelling included: scripts and the
// manual page quote them.

// The run's storage: reserved once, alive for the whole run.
struct Run {
    char commandLine[192];     // the "del" commands
    std::string copyCommand;   // the copy command, read by the copy's thread
    TextInput input;
    TextOutput output;
    ScanState state;
    CopyAhead copy;
    bool disks;
    Turns turns;               // at the working directory and the DATs' own
    ~Run() { giveTurnsBack(turns); }
};

static void removeFile(Run& run, const char* name)
{
    std::snprintf(run.commandLine, sizeof run.commandLine, "del %s", name);
    runShell(run.commandLine);
}

// A DAT (or the lists' directory) cannot be created or put in place (say, a
// directory stands at its name). The message is the long-standing one.
static void printCannotOpenDat(const char* name)
{
    std::printf("\nFailed to read from '%s'. Please check filename.\n\n", name);
}

// Every line of the temporary file through the scanner, to the DAT writer.
template <DatWriter Writer>
static void scanTemporaryFile(Run& run, Writer& writer)
{
    initScanState(run.state, run.input);
    run.state.disks = run.disks;
    scanAllLines(run.state, writer);
}

// Opens the temporary file, unless it is open already, through the
// descriptor its copy created it with: the run reads no file found again
// by that name.
static bool openTemporaryFile(Run& run)
{
    if (run.input.fd >= 0)
        return true;
    const int fd = run.copy.takeTarget();
    return fd >= 0 && openTextInputOn(run.input, fd);
}

// Scans the temporary file while the copy is still writing it, where the
// copy has the file's room reserved (so the DAT cannot take it away). False
// when the scan has to wait for the copy's end: no reservation, or a file
// that did not open (the temporary file may be left open then).
template <DatWriter Writer>
static bool scanWhileCopying(Run& run, Writer& writer)
{
    if (!run.copy.waitUntilTargetReserved() || !openTemporaryFile(run) || !writer.open())
        return false;
    run.copy.follow(run.input);
    scanTemporaryFile(run, writer);
    return true;
}

// A file named, and what it leads to.
struct NamedFile {
    const char* name;
    FileIdentity identity;
};

// Whether a file named can be a copy source: one that can be read, not a
// directory among several, not a file named before (`earlier`, with the
// temporary file, which the copy replaces). When not, says why on stderr.
static bool isSource(const char* name, std::vector<NamedFile>& earlier, bool several)
{
    bool regular = false;
    std::uint64_t size = 0;
    if (!statNamed(name, regular, size)) {
        std::fprintf(stderr, "softlist2dat: cannot read '%s': %s\n", name, std::strerror(errno));
        return false;
    }
    if (several && leadsToDirectory(name)) {
        std::fprintf(stderr, "softlist2dat: '%s' is a directory: name one DIR, or FILEs\n", name);
        return false;
    }
    const int fd = regular ? openNamed(name, O_RDONLY | O_BINARY | O_NONBLOCK) : -1;
    if (fd < 0) {
        std::fprintf(stderr, "softlist2dat: cannot read '%s': %s\n", name, std::strerror(regular ? errno : EINVAL));
        return false;
    }
    close(fd);
    NamedFile file{name, {}};
    if (!identifyNamed(name, file.identity))
        return true;
    for (const NamedFile& other : earlier) {
        if (other.identity == file.identity) {
            if (other.name == temporaryFileName)
                std::fprintf(stderr, "softlist2dat: '%s' is the run's temporary file\n", name);
            else
                std::fprintf(stderr, "softlist2dat: '%s' is the same file as '%s'\n", name, other.name);
            return false;
        }
    }
    earlier.push_back(file);
    return true;
}

// Appends `name` to the copy command as one quoted source (a quote in the
// name written twice).
static void appendQuoted(std::string& command, const char* name)
{
    command += '"';
    for (const char* c = name; *c != '\0'; c++) {
        command += *c;
        if (*c == '"')
            command += '"';
    }
    command += '"';
}

// The copy command for `lists` (none: the working directory's *.xml files;
// one directory: its *.xml files; else the files, in order). False when a
// list cannot be read: the message is printed.
static bool formatCopyCommand(Run& run, const std::vector<const char*>& lists)
{
    std::string& command = run.copyCommand;
    if (lists.empty() || (lists.size() == 1 && std::strcmp(lists[0], ".") == 0)) {
        command = std::string("copy /B *.xml ") + temporaryFileName;
        return true;
    }
    if (lists.size() == 1 && leadsToDirectory(lists[0])) {
        int errorNumber = 0;
        if (!canListDirectory(lists[0], errorNumber)) {
            std::fprintf(stderr, "softlist2dat: cannot read directory '%s': %s\n", lists[0],
                         std::strerror(errorNumber));
            return false;
        }
        command = std::string("copy /B ") + lists[0] + "/*.xml " + temporaryFileName;
        return true;
    }
    // The temporary file, where one was left, is never a source: the copy
    // replaces it.
    std::vector<NamedFile> named(1, NamedFile{temporaryFileName, {}});
    if (!identifyNamed(temporaryFileName, named[0].identity))
        named.clear();
    command = "copy /B ";
    for (std::size_t i = 0; i < lists.size(); i++) {
        if (!isSource(lists[i], named, lists.size() > 1))
            return false;
        if (i > 0)
            command += " + ";
        appendQuoted(command, lists[i]);
    }
    command += ' ';
    command += temporaryFileName;
    return true;
}

// The run's steps, made for the writer chosen.
template <DatWriter Writer>
static int convertInto(Run& run, Writer& writer)
{
    catchInterrupts();
    std::puts(banner);
    // Runs that would write the same files take turns. Holding its turn, the
    // run may take what it finds under its files' names for what a killed
    // run left; the previous DATs stay until the new ones are complete.
    takeTurns(run.turns, ".", writer.directory);
    if (!writer.prepare(madeDatDirectory(run.turns))) {
        printCannotOpenDat(writer.failedDat);
        return 3;
    }
    removeOnInterrupt(temporaryFileName);
    writer.removeLeftovers();

    run.copy.start(runShellWatched, run.copyCommand.c_str());
    bool scanned = scanWhileCopying(run, writer);
    const int copyStatus = run.copy.finish();
    if (copyStatus != 0) {
        // A failed copy leaves no temporary file: the run ends as one that
        // found none to read.
        if (copyStatus == 1)
            std::puts("Error can't get directory information.");
        closeTextInput(run.input);
        writer.abandon();
        std::puts("\nFailed to read from temp file...ABORTING!\n");
        return 3;
    }

    if (!scanned) {
        if (!openTemporaryFile(run)) {
            writer.abandon();
            removeFile(run, temporaryFileName);
            std::puts("\nFailed to read from temp file...ABORTING!\n");
            return 3;
        }
        if (!writer.open()) {
            closeTextInput(run.input);
            removeFile(run, temporaryFileName);
            printCannotOpenDat(writer.failedDat);
            return 3;
        }
        scanTemporaryFile(run, writer);
    }

    bool written = writer.close();
    closeTextInput(run.input);
    bool replaced = written && !run.input.failed && writer.commit();
    if (!replaced)
        writer.abandon();
    removeFile(run, temporaryFileName);

    if (!written) {
        if (writer.failedToOpen)
            printCannotOpenDat(writer.failedDat);
        else
            std::printf("\nFailed to write '%s'.\n\n", writer.failedDat);
        return 3;
    }
    if (run.input.failed) {
        std::puts("\nFailed to read from temp file...ABORTING!\n");
        return 3;
    }
    if (!replaced) {
        if (writer.failedToReplace)
            std::printf("\nFailed to replace '%s': every DAT in '%s' is as it was.\n\n", writer.failedDat,
                        writer.directory);
        else
            printCannotOpenDat(writer.failedDat);
        return 3;
    }
    if (run.state.lineCount < 1) {
        std::puts("\nFound no .xmls in current directory to parse, aborting.");
        return 0;
    }
    return writer.report(run.state.lineCount);
}

int runConversion(const std::vector<const char*>& lists, bool disks, DatForm form, const char* perList,
                  const char* datVersion)
{
    auto storage = std::make_unique_for_overwrite<Run>();
    Run& run = *storage;
    run.disks = disks;
    if (!formatCopyCommand(run, lists))
        return 2;
    // The writer chosen lives until the run has returned.
    const std::string_view version = datVersion != nullptr ? datVersion : "";
    switch (form) {
    case DatForm::Combined:
        return convertInto(run, *std::make_unique<CombinedDat>(run.output, version));
    case DatForm::ListText:
        return convertInto(run, *std::make_unique<ListDats<ListText>>(run.output, perList, version));
    case DatForm::ListXml:
        return convertInto(run, *std::make_unique<ListDats<ListXml>>(run.output, perList, version));
    }
    return 3;
}
