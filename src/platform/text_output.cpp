// Text-mode output: buffering, the LF to CR LF translation and write errors.
#include "platform/text_output.h"

#include "platform/file_names.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

// A stream with nothing buffered, written to `fd`, or collected in `memory`,
// or (neither) dropped when `discarding`.
static void startStream(TextOutput& out, int fd, std::string* memory, bool discarding)
{
    out.fd = fd;
    out.memory = memory;
    out.used = 0;
    out.failed = false;
    out.errorNumber = 0;
    out.discarding = discarding;
    out.dropped = 0;
}

bool openTextOutput(TextOutput& out, const char* name)
{
    // Nothing planted under the name is followed or truncated: the open fails
    // rather than write into whatever stands there.
    int fd = openNamed(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_BINARY, 0666);
    if (fd < 0)
        return false;
    startStream(out, fd, nullptr, false);
    return true;
}

void openTextOutputToMemory(TextOutput& out, std::string& sink)
{
    startStream(out, -1, &sink, false);
}

void openTextOutputToNothing(TextOutput& out)
{
    startStream(out, -1, nullptr, true);
}

static void markFailed(TextOutput& out, int errorNumber)
{
    out.failed = true;
    out.errorNumber = errorNumber;
}

static void flushBuffer(TextOutput& out)
{
    if (out.failed) {
        out.used = 0;
        return;
    }
    if (out.memory != nullptr) {
        out.memory->append(out.buffer, out.used);
        out.used = 0;
        return;
    }
    if (out.discarding) {
        out.dropped += out.used;
        out.used = 0;
        return;
    }
    std::size_t done = 0;
    while (done < out.used) {
        ssize_t wrote = write(out.fd, out.buffer + done, static_cast<unsigned>(out.used - done));
        if (wrote > 0) {
            done += static_cast<std::size_t>(wrote);
        } else if (wrote == 0) {
            markFailed(out, ENOSPC);
            break;
        } else if (errno != EINTR) {
            markFailed(out, errno);
            break;
        }
    }
    out.used = 0;
}

void flushTextOutput(TextOutput& out)
{
    flushBuffer(out);
}

void writeTextSlowly(TextOutput& out, const char* bytes, std::size_t size)
{
    while (size > 0) {
        std::size_t room = (sizeof out.buffer - out.used) / 2;
        if (room == 0) {
            flushBuffer(out);
            continue;
        }
        std::size_t part = size < room ? size : room;
        out.used += translateLineEnds(out.buffer + out.used, bytes, part);
        bytes += part;
        size -= part;
    }
}

void writeBytesSlowly(TextOutput& out, const char* bytes, std::size_t size)
{
    while (size > 0) {
        std::size_t room = sizeof out.buffer - out.used;
        if (room == 0) {
            flushBuffer(out);
            continue;
        }
        std::size_t part = size < room ? size : room;
        std::memcpy(out.buffer + out.used, bytes, part);
        out.used += part;
        bytes += part;
        size -= part;
    }
}

bool closeTextOutput(TextOutput& out)
{
    flushBuffer(out);
    if (out.fd >= 0) {
        if (close(out.fd) != 0 && !out.failed)
            markFailed(out, errno);
        out.fd = -1;
    }
    return !out.failed;
}
