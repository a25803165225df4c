// Text-mode output: every LF written becomes CR LF, so a file written here is
// byte-identical on every platform. Bytes are collected in one large buffer
// and written in chunks; the first failing write marks the stream failed,
// after which everything is dropped.
#pragma once

#include <cstddef>
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

// Writes `size` bytes, turning each LF into CR LF.
void writeText(TextOutput& out, const char* bytes, std::size_t size);

// Writes a NUL-terminated text.
void writeString(TextOutput& out, const char* text);

// Writes what is buffered and closes the file. False when any write or the
// close failed (then `errorNumber` says why).
bool closeTextOutput(TextOutput& out);
