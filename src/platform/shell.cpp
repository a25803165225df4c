// The interpreter's "del" and "copy /B" commands. The copy lists the
// sources' directory itself, in byte-wise name order (or takes the files
// named, in their order), and appends each source to a target created anew;
// any failure leaves no target behind.
#include "platform/shell.h"

#include "platform/file_names.h"
#include "platform/interrupts.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#ifdef __linux__
#include <sys/sendfile.h>
#endif
#include <cstdint>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

static const char delPrefix[] = "del ";
static const char copyPrefix[] = "copy /B ";
static const char sourcePattern[] = "*.xml";
static const char sourcePatternInDirectory[] = "/*.xml";

static bool startsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Messages to stderr come after everything already printed to stdout.
static void reportError(const char* format, const char* name, int errorNumber)
{
    std::fflush(stdout);
    std::fprintf(stderr, format, name, std::strerror(errorNumber));
}

// Removes NAME if it is a file or a link; a missing NAME is no failure, and
// a directory is never removed.
static bool removeEntry(const char* name, int& errorNumber)
{
    if (namesDirectory(name)) {
        errorNumber = EISDIR;
        return false;
    }
    if (removeNamed(name) == 0 || errno == ENOENT)
        return true;
    errorNumber = errno;
    return false;
}

static int runDel(const char* name)
{
    int errorNumber = 0;
    if (removeEntry(name, errorNumber))
        return 0;
    reportError("del: cannot remove '%s': %s\n", name, errorNumber);
    return 1;
}

static bool isCopySourceName(const char* name)
{
    std::size_t length = std::strlen(name);
    if (name[0] == '.' || length < 4)
        return false;
    const char* tail = name + length - 4;
    return tail[0] == '.' && (tail[1] | 0x20) == 'x' && (tail[2] | 0x20) == 'm' && (tail[3] | 0x20) == 'l';
}

bool canListDirectory(const char* directory, int& errorNumber)
{
    DirectoryListing listing;
    if (!openListing(listing, directory)) {
        errorNumber = errno;
        return false;
    }
    closeListing(listing);
    return true;
}

// Where the copy's sources are: a directory ("" for the working one) and the
// path of a source in it, or the files named (then `name` is empty).
struct SourceDirectory {
    std::string name;
    std::vector<std::string> files;   // the sources named, in order
    bool named = false;
    std::string listed() const { return name.empty() ? "." : name; }
    std::string pathOf(const std::string& source) const { return name.empty() ? source : name + "/" + source; }
};

// The copy's sources: their names, NUL-terminated one after the other in
// one block, and where each starts. Both are sized exactly (the directory is
// read twice, first to count), since a collection may hold many lists.
struct SourceList {
    std::vector<char> names;
    std::vector<std::uint32_t> starts;
    std::size_t count() const { return starts.size(); }
    const char* name(std::size_t i) const { return names.data() + starts[i]; }
};

// The regular files (links to them included) named *.xml, in byte-wise
// order, and the sum of their sizes.
static bool listCopySources(const SourceDirectory& from, SourceList& sources, std::uint64_t& totalSize,
                            int& errorNumber)
{
    DirectoryListing listing;
    if (!openListing(listing, from.listed().c_str())) {
        errorNumber = errno;
        return false;
    }
    std::size_t candidates = 0, nameBytes = 0;
    for (int pass = 0; pass < 2; pass++) {
        if (pass == 1) {
            sources.names.reserve(nameBytes);
            sources.starts.reserve(candidates);
            rewindListing(listing);
        }
        for (;;) {
            const char* name = nextListed(listing);
            if (name == nullptr)
                break;
            if (!isCopySourceName(name))
                continue;
            std::size_t size = std::strlen(name) + 1;
            if (pass == 0) {
                candidates++;
                nameBytes += size;
                continue;
            }
            bool regular = false;
            std::uint64_t fileSize = 0;
            if (sources.names.size() + size > nameBytes || sources.count() == candidates ||
                !statNamed(from.pathOf(name).c_str(), regular, fileSize) || !regular)
                continue;   // not a regular file, or added since the count
            sources.starts.push_back(static_cast<std::uint32_t>(sources.names.size()));
            sources.names.insert(sources.names.end(), name, name + size);
            totalSize += fileSize;
        }
        errorNumber = errno;
        if (errorNumber != 0)
            break;
    }
    closeListing(listing);
    if (errorNumber != 0)
        return false;
    const char* names = sources.names.data();
    std::sort(sources.starts.begin(), sources.starts.end(),
              [names](std::uint32_t a, std::uint32_t b) { return std::strcmp(names + a, names + b) < 0; });
    return true;
}

// Writes all of buffer[0, size) to fd.
static bool writeAll(int fd, const char* buffer, std::size_t size, int& errorNumber)
{
    while (size > 0) {
        unsigned part = size < (1u << 30) ? static_cast<unsigned>(size) : (1u << 30);
        ssize_t wrote = write(fd, buffer, part);
        if (wrote > 0) {
            buffer += wrote;
            size -= static_cast<std::size_t>(wrote);
        } else if (wrote < 0 && errno == EINTR) {
            continue;
        } else {
            errorNumber = wrote == 0 ? ENOSPC : errno;
            return false;
        }
    }
    return true;
}

enum class CopyFault { None, Read, Write };

// The target's length so far, told to the watch after each step.
struct CopyCount {
    const CopyWatch* watch;
    std::uint64_t total;
    void add(std::uint64_t bytes)
    {
        total += bytes;
        if (watch->bytesAppended != nullptr)
            watch->bytesAppended(watch->context, total);
    }
};

// How much one step of the copy moves: small enough that a reader of the
// target can follow closely.
static constexpr std::size_t copyStep = 1 << 20;

#ifdef __linux__
// Repeats one of the kernel's copy calls until the source is used up. False
// when the call is not offered for these files (`unsupported` says which
// errors mean that), so the caller falls back; the file offsets have moved
// past whatever was already copied.
template <typename Move>
static bool copyInKernel(Move move, int unsupported1, int unsupported2, CopyCount& count, CopyFault& fault,
                         int& errorNumber)
{
    for (;;) {
        ssize_t moved = move();
        if (moved > 0) {
            count.add(static_cast<std::uint64_t>(moved));
            continue;
        }
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved == 0) {
            fault = CopyFault::None;
            return true;
        }
        if (errno == unsupported1 || errno == unsupported2 || errno == ENOSYS || errno == EOPNOTSUPP)
            return false;
        errorNumber = errno;
        fault = errno == EIO ? CopyFault::Read : CopyFault::Write;
        return true;
    }
}
#endif

// Appends the whole of `from` to `to`: in the kernel where it can, else
// through a buffer.
static CopyFault appendFile(int from, int to, CopyCount& count, int& errorNumber)
{
#ifdef __linux__
    CopyFault fault = CopyFault::None;
    if (copyInKernel([&] { return copy_file_range(from, nullptr, to, nullptr, copyStep, 0); }, EXDEV, EINVAL,
                     count, fault, errorNumber))
        return fault;
    if (copyInKernel([&] { return sendfile(to, from, nullptr, copyStep); }, EINVAL, EINVAL, count, fault,
                     errorNumber))
        return fault;
#endif
    static char buffer[256 * 1024];
    for (;;) {
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got == 0)
            return CopyFault::None;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            errorNumber = errno;
            return CopyFault::Read;
        }
        if (!writeAll(to, buffer, static_cast<std::size_t>(got), errorNumber))
            return CopyFault::Write;
        count.add(static_cast<std::uint64_t>(got));
    }
}

// Appends one source; on failure prints why and returns false.
static bool appendSource(const char* source, int target, const struct stat& targetInfo, const char* targetName,
                         CopyCount& count)
{
    // Non-blocking, so that a FIFO planted under a list's name cannot hold
    // the open up (nobody writes to it); the file-type check below refuses it.
    int from = openNamed(source, O_RDONLY | O_BINARY | O_NONBLOCK);
    if (from < 0) {
        reportError("copy: cannot read '%s': %s\n", source, errno);
        return false;
    }
    struct stat info;
    int errorNumber = 0;
    bool fine = false;
    if (fstat(from, &info) != 0) {
        reportError("copy: cannot read '%s': %s\n", source, errno);
    } else if (!S_ISREG(info.st_mode)) {
        reportError("copy: cannot read '%s': %s\n", source, EINVAL);
    } else if (info.st_ino != 0 && info.st_dev == targetInfo.st_dev && info.st_ino == targetInfo.st_ino) {
        reportError("copy: cannot read '%s': %s\n", source, ELOOP);
    } else {
        CopyFault fault = appendFile(from, target, count, errorNumber);
        if (fault == CopyFault::Read)
            reportError("copy: cannot read '%s': %s\n", source, errorNumber);
        else if (fault == CopyFault::Write)
            reportError("copy: cannot write '%s': %s\n", targetName, errorNumber);
        fine = fault == CopyFault::None;
    }
    close(from);
    return fine;
}

// Sets the target's whole length aside on the disk, without changing the
// file's size, where the file system can. False where it cannot (then the
// copy simply goes on and fails where it runs out of room).
static bool reserveRoom(int fd, std::uint64_t size)
{
#ifdef __linux__
    return size > 0 && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0;
#elif defined(_WIN32)
    FILE_ALLOCATION_INFO room{};
    room.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    return size > 0 && SetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), FileAllocationInfo,
                                                  &room, sizeof room) != 0;
#else
    (void)fd;
    (void)size;
    return false;
#endif
}

// Reads the sources named, `"F1" + "F2" + ...` (a quote inside a name
// written twice), into `files`. False when they are not of that form.
static bool readNamedSources(std::string_view sources, std::vector<std::string>& files)
{
    std::size_t at = 0;
    for (;;) {
        if (at >= sources.size() || sources[at] != '"')
            return false;
        std::string& file = files.emplace_back();
        for (at++;; at++) {
            if (at >= sources.size())
                return false;
            if (sources[at] == '"' && (at + 1 >= sources.size() || sources[at + 1] != '"'))
                break;
            file += sources[at];
            at += sources[at] == '"';
        }
        at++;
        if (at == sources.size())
            return true;
        if (sources.substr(at, 3) != " + ")
            return false;
        at += 3;
    }
}

// The sources and the target of "[DIR/]*.xml NAME" or "\"F1\" + ... NAME":
// the target is the last word (its name has no space), the directory
// whatever stands before "/*.xml". False when the sources are not of either
// form.
static bool readCopyArguments(const char* arguments, SourceDirectory& from, std::string& target)
{
    const char* space = std::strrchr(arguments, ' ');
    if (space == nullptr)
        return false;
    std::string sources(arguments, space);
    target = space + 1;
    const std::size_t suffix = sizeof sourcePatternInDirectory - 1;
    if (sources.starts_with('"')) {
        from.named = true;
        return readNamedSources(sources, from.files);
    }
    if (sources == sourcePattern)
        from.name.clear();
    else if (sources.size() > suffix && sources.ends_with(sourcePatternInDirectory))
        from.name = sources.substr(0, sources.size() - suffix);
    else
        return false;
    return true;
}

// The files named, in their order, and the sum of their sizes (a file that
// is gone or not a regular file counts nothing: its copy reports it).
static void takeNamedSources(const SourceDirectory& from, SourceList& sources, std::uint64_t& totalSize)
{
    for (const std::string& file : from.files) {
        sources.starts.push_back(static_cast<std::uint32_t>(sources.names.size()));
        sources.names.insert(sources.names.end(), file.c_str(), file.c_str() + file.size() + 1);
        bool regular = false;
        std::uint64_t size = 0;
        if (statNamed(file.c_str(), regular, size) && regular)
            totalSize += size;
    }
}

static int runCopy(const SourceDirectory& from, const char* target, const CopyWatch& watch)
{
    int errorNumber = 0;
    if (!removeEntry(target, errorNumber)) {
        reportError("copy: cannot remove '%s': %s\n", target, errorNumber);
        return 1;
    }
    SourceList sources;
    std::uint64_t totalSize = 0;
    if (from.named) {
        takeNamedSources(from, sources, totalSize);
    } else if (!listCopySources(from, sources, totalSize, errorNumber)) {
        reportError("copy: cannot list directory '%s': %s\n", from.listed().c_str(), errorNumber);
        return 1;
    }
    if (sources.count() == 0) {
        std::fflush(stdout);
        std::fputs("copy: no *.xml file found\n", stderr);
        return 1;
    }
    // An interrupt waits while the target comes to exist, so that it can
    // remove it; once one has come, nothing is created, and nothing said:
    // the interrupt ends the run and says so itself.
    int to = -1;
    const bool held = holdInterrupts();
    if (held)
        to = openNamed(target, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_BINARY, 0666);
    releaseInterrupts();
    if (to < 0) {
        if (held)
            reportError("copy: cannot create '%s': %s\n", target, errno);
        return 1;
    }
    struct stat targetInfo;
    bool fine = fstat(to, &targetInfo) == 0;
    if (!fine)
        reportError("copy: cannot create '%s': %s\n", target, errno);
    else if (watch.targetCreated != nullptr)
        watch.targetCreated(watch.context, reserveRoom(to, totalSize), openForReadingAgain(to));
    CopyCount count{&watch, 0};
    for (std::size_t i = 0; fine && i < sources.count(); i++) {
        std::printf("%s\n", sources.name(i));
        std::fflush(stdout);
        fine = appendSource(from.pathOf(sources.name(i)).c_str(), to, targetInfo, target, count);
    }
    if (close(to) != 0 && fine) {
        reportError("copy: cannot write '%s': %s\n", target, errno);
        fine = false;
    }
    if (!fine) {
        removeNamed(target);
        return 1;
    }
    std::printf("%llu file(s) copied.\n", static_cast<unsigned long long>(sources.count()));
    return 0;
}

int runShell(const char* commandLine)
{
    return runShellWatched(commandLine, CopyWatch{});
}

int runShellWatched(const char* commandLine, const CopyWatch& watch)
{
    std::fflush(stdout);
    if (startsWith(commandLine, delPrefix))
        return runDel(commandLine + std::strlen(delPrefix));
    SourceDirectory from;
    std::string target;
    if (startsWith(commandLine, copyPrefix) && readCopyArguments(commandLine + std::strlen(copyPrefix), from, target))
        return runCopy(from, target.c_str(), watch);
    std::fprintf(stderr, "unknown command: %s\n", commandLine);
    return 1;
}
