// Text-mode output: every LF written becomes CR LF, so a file written here is
// byte-identical on every platform. Bytes are collected in one large buffer
// and written in chunks; the first failing write marks the stream failed,
// after which everything is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

constexpr std::size_t outputChunkSize = 256 * 1024;

struct TextOutput {
    int fd = -1;                     // -1 when collecting into `memory`
    std::string* memory = nullptr;   // receives each flushed chunk in memory mode
    std::size_t used = 0;
    bool failed = false;
    int errorNumber = 0;
    char buffer[outputChunkSize];
};

// Creates or truncates a file for writing. False (errno set) on failure.
bool openTextOutput(TextOutput& out, const char* name);

// Collects the output in a string the caller owns.
void openTextOutputToMemory(TextOutput& out, std::string& sink);

// Copies bytes[0, size) to `to`, each LF as CR LF; returns the bytes stored
// (at most 2 * size).
inline std::size_t translateLineEnds(char* to, const char* bytes, std::size_t size)
{
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t highs = 0x8080808080808080u;
    char* start = to;
    std::size_t i = 0;
    // Eight bytes at a time; a word holding an LF goes byte by byte.
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        std::uint64_t x = word ^ (ones * '\n');
        if (((x - ones) & ~x & highs) == 0) {
            std::memcpy(to, &word, 8);
            to += 8;
            continue;
        }
        for (std::size_t k = i; k < i + 8; k++) {
            if (bytes[k] == '\n')
                *to++ = '\r';
            *to++ = bytes[k];
        }
    }
    for (; i < size; i++) {
        if (bytes[i] == '\n')
            *to++ = '\r';
        *to++ = bytes[i];
    }
    return static_cast<std::size_t>(to - start);
}

// Writes what does not fit the buffer's room at once.
void writeTextSlowly(TextOutput& out, const char* bytes, std::size_t size);

// Writes `size` bytes, turning each LF into CR LF.
inline void writeText(TextOutput& out, const char* bytes, std::size_t size)
{
    if (2 * size <= sizeof out.buffer - out.used)
        out.used += translateLineEnds(out.buffer + out.used, bytes, size);
    else
        writeTextSlowly(out, bytes, size);
}

// Writes a NUL-terminated text.
void writeString(TextOutput& out, const char* text);

// Writes a string literal; its length is known at compile time.
template <std::size_t N>
inline void writeLiteral(TextOutput& out, const char (&text)[N])
{
    writeText(out, text, N - 1);
}

// Writes what is buffered and closes the file. False when any write or the
// close failed (then `errorNumber` says why).
bool closeTextOutput(TextOutput& out);
