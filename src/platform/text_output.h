// Text-mode output: every LF written becomes CR LF, so a file written here is
// byte-identical on every platform. Bytes are collected in one large buffer
// and written in chunks; the first failing write marks the stream failed,
// after which everything is dropped.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bytes/small_copy.h"

constexpr std::size_t outputChunkSize = 256 * 1024;

struct TextOutput {
    int fd = -1;                     // -1 when collecting into `memory`
    std::string* memory = nullptr;   // receives each flushed chunk in memory mode
    std::size_t used = 0;
    bool failed = false;
    int errorNumber = 0;
    bool discarding = false;         // a sink: bytes are dropped
    std::uint64_t handedOn = 0;      // bytes flushed since the stream was opened
    std::size_t memoryBase = 0;      // in memory mode: where the stream's bytes begin in `memory`
    char buffer[outputChunkSize];
};

// Creates a new file for writing (and reading back what was written);
// fails (errno set, false) where anything stands under the name already, a
// symbolic link included, so that nothing but the new file is ever written.
bool openTextOutput(TextOutput& out, const char* name);

// Collects the output in a string the caller owns.
void openTextOutputToMemory(TextOutput& out, std::string& sink);

// A sink: what is written is dropped.
void openTextOutputToNothing(TextOutput& out);

// Where the next byte goes: the bytes written since the stream was opened.
inline std::uint64_t textPosition(const TextOutput& out)
{
    return out.handedOn + out.used;
}

// Copies bytes[0, size) to `to`, each LF as CR LF; returns the bytes stored
// (at most 2 * size).
inline std::size_t translateLineEnds(char* to, const char* bytes, std::size_t size)
{
    char* start = to;
    std::size_t i = 0;
    // Eight bytes at a time; a word holding an LF goes byte by byte.
    for (const bool inWords = fastPathsOn(); inWords && i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (!wordHolds(word, '\n')) {
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

// Writes `size` bytes, turning each LF into CR LF. A short text, the usual
// value, is copied as it stands while it is looked over for an LF; only a
// text that holds one is written again, translated.
inline void writeText(TextOutput& out, const char* bytes, std::size_t size)
{
    const std::size_t room = sizeof out.buffer - out.used;
    if (size <= 64 && 2 * size <= room && !copySmallSeeing<'\n'>(out.buffer + out.used, bytes, size)) {
        out.used += size;
        return;
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

// Writes what is buffered, making the whole buffer free again.
void flushTextOutput(TextOutput& out);

// Composing a DAT line (or a few) straight into the output buffer. Room for
// the worst case is made once (`most` bytes: every value byte an LF counted
// twice), then literals go in as compiled and values as they stand, looked
// over for an LF on the way (a value holding one is translated in place).
// A composition larger than the whole buffer goes through writeText.
struct TextComposer {
    TextOutput* out;
    char* to;      // where the next byte goes, when direct
    bool direct;
};

inline TextComposer startText(TextOutput& out, std::size_t most)
{
    if (most > sizeof out.buffer)
        return TextComposer{&out, nullptr, false};
    if (sizeof out.buffer - out.used < most)
        flushTextOutput(out);
    return TextComposer{&out, out.buffer + out.used, true};
}

template <LineText text>
inline void putLiteral(TextComposer& c)
{
    if (c.direct) {
        std::memcpy(c.to, text.bytes, text.size);
        c.to += text.size;
    } else {
        writeBytes(*c.out, text.bytes, text.size);
    }
}

// Bytes as they stand (no translation: they are the output's already). An
// empty text, whose pointer may be null, puts nothing.
inline void putBytes(TextComposer& c, const char* bytes, std::size_t size)
{
    if (size == 0)
        return;
    if (c.direct) {
        std::memcpy(c.to, bytes, size);
        c.to += size;
    } else {
        writeBytes(*c.out, bytes, size);
    }
}

ALWAYS_INLINE void putText(TextComposer& c, const char* bytes, std::size_t size)
{
    if (!c.direct)
        writeText(*c.out, bytes, size);
    else if (size <= 64 && !copySmallSeeing<'\n'>(c.to, bytes, size))
        c.to += size;
    else
        c.to += translateLineEnds(c.to, bytes, size);
}

// Bytes that hold no LF (a value copied as it stands from one line holds
// none: the line ends at its LF) go in as they stand, with nothing to look
// for on the way.
inline void putLineFreeText(TextComposer& c, const char* bytes, std::size_t size)
{
    assert(size == 0 || std::memchr(bytes, '\n', size) == nullptr);
    if (!c.direct) {
        writeBytes(*c.out, bytes, size);
        return;
    }
    copySmall(c.to, bytes, size);
    c.to += size;
}

// Where the next byte composed goes, as textPosition counts.
inline std::uint64_t composedPosition(const TextComposer& c)
{
    return c.direct ? c.out->handedOn + static_cast<std::uint64_t>(c.to - c.out->buffer) : textPosition(*c.out);
}

inline void finishText(TextComposer& c)
{
    if (c.direct)
        c.out->used = static_cast<std::size_t>(c.to - c.out->buffer);
}

// Writes what is buffered and closes the file. False when any write or the
// close failed (then `errorNumber` says why).
bool closeTextOutput(TextOutput& out);

// Copies `size` bytes the stream wrote from `at` on (below its position)
// into `into`: from the buffer where they still are, else from what was
// handed on. False when they cannot be read back (a sink, a read error).
bool readTextBack(TextOutput& out, std::uint64_t at, char* into, std::size_t size);

// Puts texts in among the bytes written: each insertion's text goes in
// before the byte written at `at`, the bytes from there on moving back by
// what went in before them. Insertions come in ascending `at`, none past
// the position. A file is rewritten in place from the first insertion on.
// False when a read or a write failed (the stream has failed then).
struct TextInsertion {
    std::uint64_t at;
    std::string_view text;
};
bool insertIntoText(TextOutput& out, const TextInsertion* insertions, std::size_t count);
