// Text-mode output: buffering, the LF to CR LF translation and write errors.
#include "platform/text_output.h"

#include "platform/file_names.h"

#include <cassert>
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
    out.handedOn = 0;
    out.memoryBase = memory != nullptr ? memory->size() : 0;
}

bool openTextOutput(TextOutput& out, const char* name)
{
    // Nothing planted under the name is followed or truncated: the open fails
    // rather than write into whatever stands there.
    int fd = openNamed(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_BINARY, 0666);
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
    out.handedOn += out.used;
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

bool readTextBack(TextOutput& out, std::uint64_t at, char* into, std::size_t size)
{
    if (out.failed || at + size > textPosition(out))
        return false;
    if (at >= out.handedOn) {
        std::memcpy(into, out.buffer + (at - out.handedOn), size);
        return true;
    }
    if (at + size > out.handedOn)
        flushBuffer(out);
    if (out.failed)
        return false;
    if (out.memory != nullptr) {
        out.memory->copy(into, size, out.memoryBase + static_cast<std::size_t>(at));
        return true;
    }
    if (out.fd < 0)
        return false;
    if (readAllAt(out.fd, into, size, at))
        return true;
    markFailed(out, errno);
    return false;
}

// Moves the file's bytes [from, end) back by `by`, the last ones first, so
// that none is overwritten before it was read; the buffer serves as room.
static bool moveBack(TextOutput& out, std::uint64_t from, std::uint64_t end, std::uint64_t by)
{
    while (end > from) {
        const std::size_t part = static_cast<std::size_t>(end - from < sizeof out.buffer ? end - from : sizeof out.buffer);
        end -= part;
        if (!readAllAt(out.fd, out.buffer, part, end) || !writeAllAt(out.fd, out.buffer, part, end + by))
            return false;
    }
    return true;
}

bool insertIntoText(TextOutput& out, const TextInsertion* insertions, std::size_t count)
{
    flushBuffer(out);
    if (out.failed || count == 0 || out.discarding)
        return !out.failed;
    std::uint64_t shift = 0;
    for (std::size_t i = 0; i < count; i++)
        shift += insertions[i].text.size();
    if (out.memory != nullptr) {
        std::string& memory = *out.memory;
        const std::size_t oldEnd = memory.size();
        memory.resize(oldEnd + static_cast<std::size_t>(shift));
        std::size_t end = oldEnd;
        for (std::size_t i = count; i-- > 0;) {
            const std::size_t at = out.memoryBase + static_cast<std::size_t>(insertions[i].at);
            std::memmove(memory.data() + at + shift, memory.data() + at, end - at);
            shift -= insertions[i].text.size();
            insertions[i].text.copy(memory.data() + at + shift, insertions[i].text.size());
            end = at;
        }
        out.handedOn = memory.size() - out.memoryBase;
        return true;
    }
    std::uint64_t end = out.handedOn;
    for (std::size_t i = count; i-- > 0;) {
        assert(insertions[i].at <= end);
        if (!moveBack(out, insertions[i].at, end, shift)) {
            markFailed(out, errno);
            return false;
        }
        shift -= insertions[i].text.size();
        if (!writeAllAt(out.fd, insertions[i].text.data(), insertions[i].text.size(), insertions[i].at + shift)) {
            markFailed(out, errno);
            return false;
        }
        end = insertions[i].at;
    }
    for (std::size_t i = 0; i < count; i++)
        out.handedOn += insertions[i].text.size();
    // Later writes go on at the file's new end.
    if (!seekToEnd(out.fd)) {
        markFailed(out, errno);
        return false;
    }
    return true;
}
