// Text-mode output: every LF written becomes CR LF, so a file written here is
// byte-identical on every platform. Bytes are collected in one large buffer
// and written in chunks; the first failing write marks the stream failed,
// after which everything is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/small_copy.h"
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Writes what does not fit the buffer's room at once, each LF as CR LF.
void writeTextSlowly(TextOutput& out, const char* bytes, std::size_t size);

// Writes bytes as they stand (no translation) that do not fit at once.
void writeBytesSlowly(TextOutput& out, const char* bytes, std::size_t size);

// True when bytes[0, size) holds an LF. Reads in whole 16-byte blocks, up to
// 15 bytes past `size`: only for bytes inside the output buffer's room.
inline bool holdsLineFeed(const char* bytes, std::size_t size)
{
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (std::size_t i = 0; i < size; i += 16) {
        unsigned hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), lineFeed)));
        if (size - i < 16)
            hits &= (1u << (size - i)) - 1;
        if (hits != 0)
            return true;
    }
    return false;
#else
    return std::memchr(bytes, '\n', size) != nullptr;
#endif
}

// Writes `size` bytes, turning each LF into CR LF. A short text, the usual
// value, is copied as it stands and looked over for an LF where it landed;
// only a text that holds one is translated.
inline void writeText(TextOutput& out, const char* bytes, std::size_t size)
{
    const std::size_t room = sizeof out.buffer - out.used;
    if (size <= 64 && 2 * size + 16 <= room) {
        char* to = out.buffer + out.used;
        copySmall(to, bytes, size);
        if (!holdsLineFeed(to, size)) {
            out.used += size;
            return;
        }
    }
    if (2 * size <= room)
        out.used += translateLineEnds(out.buffer + out.used, bytes, size);
    else
        writeTextSlowly(out, bytes, size);
}

// Writes bytes as they stand.
inline void writeBytes(TextOutput& out, const char* bytes, std::size_t size)
{
    if (size <= sizeof out.buffer - out.used) {
        copySmall(out.buffer + out.used, bytes, size);
        out.used += size;
    } else {
        writeBytesSlowly(out, bytes, size);
    }
}

// Writes a NUL-terminated text.
inline void writeString(TextOutput& out, const char* text)
{
    writeText(out, text, std::strlen(text));
}

// A string literal with each LF turned into CR LF at compile time.
template <std::size_t N>
struct LineText {
    char bytes[2 * N] = {};
    std::size_t size = 0;
    consteval LineText(const char (&text)[N])
    {
        for (std::size_t i = 0; i + 1 < N; i++) {
            if (text[i] == '\n')
                bytes[size++] = '\r';
            bytes[size++] = text[i];
        }
    }
};

// Writes a string literal, as writeText would: writeLiteral<"text\n">(out).
template <LineText text>
inline void writeLiteral(TextOutput& out)
{
    writeBytes(out, text.bytes, text.size);
}

// Writes what is buffered and closes the file. False when any write or the
// close failed (then `errorNumber` says why).
bool closeTextOutput(TextOutput& out);
