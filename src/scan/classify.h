// The line classifier: decides what a line holds from the characters at its
// first non-blank position, skips comments (reading further lines itself) and
// hands recognised lines to their element handlers, which report to the
// writer the scan is made for.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "bytes/byte_mask.h"
#include "bytes/inlining.h"
#include "bytes/small_copy.h"
#include "scan/handlers.h"
#include "scan/scan_state.h"

// The index of the first byte of line[0, length) that is neither a space nor
// a tab, or `length`. Sixteen bytes at a time while they lie in the piece.
ALWAYS_INLINE std::int32_t firstNonBlank(const char* line, std::int32_t length)
{
    std::int32_t p = 0;
    if (simdAvailable && fastPathsOn()) {
        for (; p + 16 <= length; p += 16) {
            unsigned others = ~(equalMask16(line + p, ' ') | equalMask16(line + p, '\t')) & 0xFFFFu;
            if (others != 0)
                return p + std::countr_zero(others);
        }
    }
    while (p < length && (line[p] == ' ' || line[p] == '\t'))
        p++;
    return p;
}

// Whether "<softwarelist" ends at `at` the root of MAME's dumps,
// "<softwarelists" then ">" or a blank (or the piece's end): it holds the
// lists, and is none itself.
ALWAYS_INLINE bool isListOfListsAt(const char* line, int length, int at)
{
    if (at >= length || line[at] != 's')
        return false;
    return at + 1 >= length || line[at + 1] == '>' || line[at + 1] == ' ' || line[at + 1] == '\t' ||
           line[at + 1] == '\n';
}

// The kind of the piece line[0, length) whose first non-blank index is p.
ALWAYS_INLINE LineKind lineKindAt(const char* line, int length, int p)
{
    if (p >= length)
        return LineKind::Other;
    if (line[p] == '\n')
        return LineKind::Blank;
    if (line[p] != '<' || p + 1 >= length)
        return LineKind::Other;
    // The character after "<" tells which tests can succeed; the order among
    // them is the order of the kinds.
    switch (line[p + 1]) {
    case '!':
        if (textAt(line, length, p, "<!--", 4))
            return LineKind::CommentStart;
        break;
    case 's':
        if (textAt(line, length, p, "<softwarelist", 13))
            return isListOfListsAt(line, length, p + 13) ? LineKind::Other : LineKind::SoftwareListOpen;
        if (textAt(line, length, p, "<software", 9))
            return LineKind::SoftwareOpen;
        break;
    case 'd':
        if (textAt(line, length, p, "<description>", 13))
            return LineKind::Description;
        if (textAt(line, length, p, "<disk", 5) && p + 5 < length &&
            (line[p + 5] == ' ' || line[p + 5] == '\t' || line[p + 5] == '\n'))
            return LineKind::Disk;
        break;
    case 'r':
        if (textAt(line, length, p, "<rom", 4) && !textAt(line, length, p + 5, "siz", 3) &&
            !textAt(line, length, p + 5, "val", 3))
            return LineKind::Rom;
        break;
    case '/':
        if (textAt(line, length, p, "</software>", 11))
            return LineKind::SoftwareClose;
        break;
    case 'y':
        if (textAt(line, length, p, "<year>", 6))
            return LineKind::Year;
        break;
    case 'p':
        if (textAt(line, length, p, "<publisher>", 11))
            return LineKind::Publisher;
        break;
    default:
        break;
    }
    return LineKind::Other;
}

// Skips a comment from `pos` (just past "<!--") to the line holding "-->",
// reading and counting the lines in between. Stops at the end of the input.
inline void skipComment(ScanState& state)
{
    for (;;) {
        // "-->" counts only when all three characters lie before the LF.
        std::int32_t end = contentEnd(state);
        std::int32_t at = state.pos;
        while (at + 3 <= end) {
            const void* dash = std::memchr(state.line + at, '-', static_cast<std::size_t>(end - 2 - at));
            if (dash == nullptr)
                break;
            at = static_cast<std::int32_t>(static_cast<const char*>(dash) - state.line);
            if (state.line[at + 1] == '-' && state.line[at + 2] == '>') {
                state.pos = at;
                return;
            }
            at++;
        }
        if (!readLine(state))
            return;
        state.lineCount++;
        state.pos = 0;
    }
}

// Classifies the current line and runs its handler or the comment skip.
template <DatWriter Writer>
inline void classifyLine(ScanState& state, Writer& writer)
{
    const std::int32_t p = firstNonBlank(state.line, state.lineLength);
    state.pos = p;
    if (state.waits) {
        if (state.tagPiecesLeft > 0 && takeTagContinuation(state, writer, p))
            return;
        if (state.romHeld) {
            if (joinChunkRow(state, p))
                return;
            writeHeldRom(state, writer);
        }
    }
    switch (lineKindAt(state.line, state.lineLength, p)) {
    case LineKind::Blank:
    case LineKind::Other:
        return;
    case LineKind::CommentStart:
        state.pos = p + 4;
        skipComment(state);
        return;
    case LineKind::SoftwareListOpen:
        handleSoftwareList(state, writer, p + 13);
        return;
    case LineKind::SoftwareOpen:
        handleSoftware(state, writer, p + 9);
        return;
    case LineKind::Description:
        handleDescription(state, writer, p + 13);
        return;
    case LineKind::Rom:
        handleRom(state, writer, p + 4);
        return;
    case LineKind::SoftwareClose:
        handleSoftwareClose(state, writer);
        return;
    case LineKind::Disk:
        if (state.disks)
            handleDisk(state, writer, p + 5);
        return;
    case LineKind::Year:
        if constexpr (Writer::readsAllValues)
            handleDetail(state, writer, Detail::Year, p + 6);
        return;
    case LineKind::Publisher:
        if constexpr (Writer::readsAllValues)
            handleDetail(state, writer, Detail::Publisher, p + 11);
        return;
    }
}
