// Text-mode input: reads a file (or a block of memory) in large chunks and
// hands it out in pieces of at most 2047 bytes, each ending after the first LF.
// A CR directly followed by LF is dropped, also across chunk boundaries; every
// other byte (lone CR, NUL, 0x1A) passes unchanged.
#pragma once

#include <cstddef>

constexpr int pieceLimit = 2047;                 // most bytes one piece holds
constexpr std::size_t inputChunkSize = 256 * 1024;

struct TextInput {
    int fd = -1;                  // -1 when reading from memory
    const char* data = nullptr;   // the bytes not yet handed out live in data[start, end)
    std::size_t start = 0;
    std::size_t end = 0;
    bool atEnd = false;           // no more bytes will arrive behind data[end]
    bool failed = false;          // a read failed; errorNumber says why
    int errorNumber = 0;
    char buffer[inputChunkSize + pieceLimit + 1];
};

// Opens a regular file for reading. False (with errno set) when it cannot be
// opened or is not a regular file.
bool openTextInput(TextInput& in, const char* name);

// Reads from a block of memory the caller keeps alive.
void openTextInputFromMemory(TextInput& in, const char* bytes, std::size_t size);

// Copies the next piece into dst (room for pieceLimit bytes) and returns its
// length; 0 at the end of the input or after a read error. The bytes of dst
// just behind a short piece may be overwritten.
int readPiece(TextInput& in, char* dst);

void closeTextInput(TextInput& in);
