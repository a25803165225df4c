// Text-mode input: reads a file (or a block of memory) in large chunks and
// hands it out in pieces of at most 2047 bytes, each ending after the first LF.
// A CR directly followed by LF is dropped, also across chunk boundaries; every
// other byte (lone CR, NUL, 0x1A) passes unchanged. A piece is handed out
// where it lies in the chunk, not copied; only a line that ends in CR LF is
// copied, without its CR, into a small buffer of the caller's.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "bytes/find_byte.h"

constexpr int pieceLimit = 2047;                 // most bytes one piece holds
constexpr std::size_t inputChunkSize = 256 * 1024;

// A piece needs pieceLimit bytes plus one more, to tell whether a CR at the
// piece's last position is the first half of a CR LF pair.
constexpr std::size_t pieceLookahead = pieceLimit + 1;

struct TextInput {
    int fd = -1;                  // -1 when reading from memory
    const char* data = nullptr;   // the bytes not yet handed out live in data[start, end)
    const char* storageEnd = nullptr;   // the end of the memory `data` lies in
    std::size_t start = 0;
    std::size_t end = 0;
    bool atEnd = false;           // no more bytes will arrive behind data[end]
    // The LFs of the 64-byte block data[maskBase, maskBase + 64), one bit
    // each, those before `start` cleared; data[start, maskBase) holds no LF.
    // The block never ends behind `start` (maskBase + 64 >= start), so the
    // next block searched is never one already handed out. The index moves
    // with the bytes when the buffer is refilled.
    std::ptrdiff_t maskBase = -64;
    std::uint64_t lineFeeds = 0;
    bool failed = false;          // a read failed; errorNumber says why
    int errorNumber = 0;
    // A file still being written by someone else: only its first `readable`
    // bytes may be read. When they are all in, `waitForMore` (if set) waits
    // until more are final and returns their new count; a count no larger
    // than before means no more will come.
    std::uint64_t offset = 0;     // bytes read from the file so far, where the next read starts
    std::uint64_t readable = ~std::uint64_t{0};
    std::uint64_t (*waitForMore)(void* context, std::uint64_t have) = nullptr;
    void* waitContext = nullptr;
    char buffer[inputChunkSize + pieceLimit + 1];
};

// Opens a regular file for reading. False (with errno set) when it cannot be
// opened or is not a regular file.
bool openTextInput(TextInput& in, const char* name);

// Reads the regular file open on `fd` from its start, by offset, so that
// the descriptor may be one its writer shares; the input closes it. False
// (with errno set, and `fd` closed) when it is not a regular file.
bool openTextInputOn(TextInput& in, int fd);

// Reads from a block of memory the caller keeps alive.
void openTextInputFromMemory(TextInput& in, const char* bytes, std::size_t size);

// One piece: bytes[0, size), valid until the next readPiece. `roomAfter`
// bytes behind it belong to the same storage (for the sanitizer's poisoning).
struct Piece {
    const char* bytes;
    int size;
    std::size_t roomAfter;
};

// Everything but the usual line: refilling, a line ending in CR LF, a piece
// with no LF near, the end of the input.
Piece readPieceSlowly(TextInput& in, char* spare);

// The next piece; its size is 0 at the end of the input or after a read
// error. `spare` (room for pieceLimit bytes) receives a line ending in CR LF.
// The usual line (an LF within reach, no CR before it, no refill due) is cut
// here, from the block's LF bits; the rest goes the slow way.
inline Piece readPiece(TextInput& in, char* spare)
{
    const std::size_t start = in.start;
    assert(in.maskBase + 64 >= static_cast<std::ptrdiff_t>(start));
    if (!fastPathsOn())
        return readPieceSlowly(in, spare);
    while (in.lineFeeds == 0 && static_cast<std::size_t>(in.maskBase + 128) <= in.end &&
           static_cast<std::size_t>(in.maskBase + 64) - start < pieceLookahead) {
        in.maskBase += 64;
        in.lineFeeds = byteBits64(in.data + in.maskBase, '\n');
    }
    if (in.lineFeeds != 0 && (in.end - start >= pieceLookahead || in.atEnd)) {
        const std::size_t lf = static_cast<std::size_t>(in.maskBase) + static_cast<std::size_t>(std::countr_zero(in.lineFeeds));
        const std::size_t size = lf + 1 - start;
        if (size <= static_cast<std::size_t>(pieceLimit) && (size == 1 || in.data[lf - 1] != '\r')) {
            const char* bytes = in.data + start;
            in.start = lf + 1;
            in.lineFeeds &= in.lineFeeds - 1;
            return Piece{bytes, static_cast<int>(size), static_cast<std::size_t>(in.storageEnd - (bytes + size))};
        }
    }
    return readPieceSlowly(in, spare);
}

void closeTextInput(TextInput& in);
