// Text-mode input: chunked reading and the CR LF translation.
#include "platform/text_input.h"

#include "platform/file_names.h"

#include <cassert>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

static constexpr std::size_t lookahead = pieceLookahead;

bool openTextInput(TextInput& in, const char* name)
{
    int fd = openNamed(name, O_RDONLY | O_BINARY);
    return fd >= 0 && openTextInputOn(in, fd);
}

bool openTextInputOn(TextInput& in, int fd)
{
    struct stat info;
    int problem = 0;
    if (fstat(fd, &info) != 0)
        problem = errno;
    else if (!S_ISREG(info.st_mode))
        problem = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (problem != 0) {
        close(fd);
        errno = problem;
        return false;
    }
    in.fd = fd;
    in.data = in.buffer;
    in.storageEnd = in.buffer + sizeof in.buffer;
    in.start = in.end = 0;
    in.maskBase = -64;
    in.lineFeeds = 0;
    in.atEnd = in.failed = false;
    in.errorNumber = 0;
    in.offset = 0;
    in.readable = ~std::uint64_t{0};
    in.waitForMore = nullptr;
    return true;
}

void openTextInputFromMemory(TextInput& in, const char* bytes, std::size_t size)
{
    in.fd = -1;
    in.data = bytes;
    in.storageEnd = bytes + size;
    in.start = 0;
    in.end = size;
    in.maskBase = -64;
    in.lineFeeds = 0;
    in.atEnd = true;
    in.failed = false;
    in.errorNumber = 0;
}

// Moves the unread tail to the front of the buffer and reads until at least
// `lookahead` bytes are waiting or the file has ended.
static void refill(TextInput& in)
{
    std::size_t waiting = in.end - in.start;
    std::memmove(in.buffer, in.buffer + in.start, waiting);
    in.maskBase -= static_cast<std::ptrdiff_t>(in.start);
    in.start = 0;
    in.end = waiting;
    while (in.end < lookahead && !in.atEnd) {
        if (in.offset >= in.readable) {
            std::uint64_t before = in.readable;
            if (in.waitForMore != nullptr)
                in.readable = in.waitForMore(in.waitContext, in.offset);
            if (in.readable <= before)
                in.atEnd = true;
            continue;
        }
        std::size_t room = sizeof in.buffer - in.end;
        if (in.readable - in.offset < room)
            room = static_cast<std::size_t>(in.readable - in.offset);
        const long long got = readSomeAt(in.fd, in.buffer + in.end, room, in.offset);
        if (got > 0) {
            in.end += static_cast<std::size_t>(got);
            in.offset += static_cast<std::uint64_t>(got);
        } else if (got == 0) {
            in.atEnd = true;
        } else if (errno != EINTR) {
            in.failed = true;
            in.errorNumber = errno;
            in.atEnd = true;
            in.start = in.end = 0;   // hand out nothing more
            in.maskBase = -64;
            in.lineFeeds = 0;
        }
    }
}

// The index of the first LF at or after `start`, or `end` when the bytes
// waiting hold none. Whole 64-byte blocks are searched once each, through the
// bit mask; the last bytes before `end` (less than a block) byte by byte.
static inline std::size_t nextLineFeed(TextInput& in)
{
    if (!fastPathsOn())
        return in.start + findByte(in.data + in.start, in.end - in.start, '\n');
    for (;;) {
        if (in.lineFeeds != 0)
            return static_cast<std::size_t>(in.maskBase) + static_cast<std::size_t>(std::countr_zero(in.lineFeeds));
        // The next block starts where the last one ended, never behind `start`.
        assert(in.maskBase + 64 >= static_cast<std::ptrdiff_t>(in.start));
        std::size_t next = static_cast<std::size_t>(in.maskBase + 64);
        if (next + 64 > in.end)
            return next + findByte(in.data + next, in.end - next, '\n');
        in.maskBase = static_cast<std::ptrdiff_t>(next);
        in.lineFeeds = byteBits64(in.data + next, '\n');
    }
}

// Moves `start` to `to`, past the LFs before it. A move past the block's end
// (a piece cut at its length limit) leaves no block behind `start`: the next
// block to mask starts at `to`, so that no search ever starts behind the
// bytes still to hand out.
static inline void consumeTo(TextInput& in, std::size_t to)
{
    in.start = to;
    std::ptrdiff_t passed = static_cast<std::ptrdiff_t>(to) - in.maskBase;
    if (passed >= 64) {
        in.maskBase = static_cast<std::ptrdiff_t>(to) - 64;
        in.lineFeeds = 0;
    } else if (passed > 0) {
        in.lineFeeds &= ~std::uint64_t{0} << passed;
    }
}

Piece readPieceSlowly(TextInput& in, char* spare)
{
    if (in.end - in.start < lookahead && !in.atEnd)
        refill(in);
    std::size_t waiting = in.end - in.start;
    const char* p = in.data + in.start;
    if (waiting == 0)
        return Piece{p, 0, 0};
    std::size_t window = waiting < lookahead ? waiting : lookahead;
    std::size_t lf = nextLineFeed(in) - in.start;
    std::size_t take;
    if (lf < window && lf > 0 && p[lf - 1] == '\r') {
        // CR LF: the piece is the line without its CR; it always fits,
        // since the LF lies within pieceLimit + 1 bytes.
        assert(lf <= static_cast<std::size_t>(pieceLimit));
        std::memcpy(spare, p, lf - 1);
        spare[lf - 1] = '\n';
        consumeTo(in, in.start + lf + 1);
        return Piece{spare, static_cast<int>(lf), static_cast<std::size_t>(pieceLimit) - lf};
    }
    if (lf < window && lf < static_cast<std::size_t>(pieceLimit)) {
        take = lf + 1;
    } else {
        // No LF within reach: the piece is as long as allowed. Its last byte
        // cannot be a CR of a CR LF pair, as no LF follows it within the window.
        take = window < static_cast<std::size_t>(pieceLimit) ? window : pieceLimit;
    }
    consumeTo(in, in.start + take);
    return Piece{p, static_cast<int>(take), static_cast<std::size_t>(in.storageEnd - (p + take))};
}

void closeTextInput(TextInput& in)
{
    if (in.fd >= 0)
        close(in.fd);
    in.fd = -1;
}
