// Text-mode input: chunked reading and the CR LF translation.
#include "platform/text_input.h"

#include "platform/find_byte.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

// A piece needs pieceLimit bytes plus one more, to tell whether a CR at the
// piece's last position is the first half of a CR LF pair.
static constexpr std::size_t lookahead = pieceLimit + 1;

bool openTextInput(TextInput& in, const char* name)
{
    int fd = open(name, O_RDONLY | O_BINARY);
    if (fd < 0)
        return false;
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
    in.start = in.end = 0;
    in.atEnd = in.failed = false;
    in.errorNumber = 0;
    return true;
}

void openTextInputFromMemory(TextInput& in, const char* bytes, std::size_t size)
{
    in.fd = -1;
    in.data = bytes;
    in.start = 0;
    in.end = size;
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
    in.start = 0;
    in.end = waiting;
    while (in.end < lookahead && !in.atEnd) {
        ssize_t got = read(in.fd, in.buffer + in.end, static_cast<unsigned>(sizeof in.buffer - in.end));
        if (got > 0) {
            in.end += static_cast<std::size_t>(got);
        } else if (got == 0) {
            in.atEnd = true;
        } else if (errno != EINTR) {
            in.failed = true;
            in.errorNumber = errno;
            in.atEnd = true;
            in.start = in.end = 0;   // hand out nothing more
        }
    }
}

// Copies p[0, size) to dst, where `room` bytes may be read at p. A piece of
// at most 64 bytes, the usual line, goes in whole 16-byte blocks, which beats
// a call to memcpy; the blocks may read and write up to 15 bytes past `size`,
// within `room` at p and within the first 64 bytes of dst.
static inline void copyPiece(char* dst, const char* p, std::size_t size, std::size_t room)
{
    if (size + 16 <= room && size <= 64) {
        for (std::size_t i = 0; i < size; i += 16)
            std::memcpy(dst + i, p + i, 16);
    } else {
        std::memcpy(dst, p, size);
    }
}

int readPiece(TextInput& in, char* dst)
{
    if (in.end - in.start < lookahead && !in.atEnd)
        refill(in);
    std::size_t waiting = in.end - in.start;
    if (waiting == 0)
        return 0;
    const char* p = in.data + in.start;
    std::size_t window = waiting < lookahead ? waiting : lookahead;
    std::size_t lf = findByte(p, window, '\n');
    if (lf < window) {
        if (lf > 0 && p[lf - 1] == '\r') {
            // CR LF: the piece is the line without its CR; it always fits,
            // since the LF lies within pieceLimit + 1 bytes.
            copyPiece(dst, p, lf - 1, waiting);
            dst[lf - 1] = '\n';
            in.start += lf + 1;
            return static_cast<int>(lf);
        }
        if (lf < static_cast<std::size_t>(pieceLimit)) {
            copyPiece(dst, p, lf + 1, waiting);
            in.start += lf + 1;
            return static_cast<int>(lf + 1);
        }
    }
    // No LF within reach: the piece is as long as allowed. Its last byte
    // cannot be a CR of a CR LF pair, as no LF follows it within the window.
    std::size_t take = window < static_cast<std::size_t>(pieceLimit) ? window : pieceLimit;
    std::memcpy(dst, p, take);
    in.start += take;
    return static_cast<int>(take);
}

void closeTextInput(TextInput& in)
{
    if (in.fd >= 0)
        close(in.fd);
    in.fd = -1;
}
