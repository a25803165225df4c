// The line classifier and the comment skip.
#include "scan/classify.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "bytes/byte_mask.h"
#include "bytes/small_copy.h"
#include "scan/handlers.h"

// The index of the first byte of line[0, length) that is neither a space nor
// a tab, or `length`. Sixteen bytes at a time while they lie in the piece.
static inline std::int32_t firstNonBlank(const char* line, std::int32_t length)
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

static inline LineKind kindAt(const char* line, int length, int p)
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
            return LineKind::SoftwareListOpen;
        if (textAt(line, length, p, "<software", 9))
            return LineKind::SoftwareOpen;
        break;
    case 'd':
        if (textAt(line, length, p, "<description>", 13))
            return LineKind::Description;
        if (textAt(line, length, p, "<disk", 5) && p + 5 < length && (line[p + 5] == ' ' || line[p + 5] == '\t'))
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

LineKind lineKindAt(const char* line, int length, int p)
{
    return kindAt(line, length, p);
}

void skipComment(ScanState& state)
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

template <Reading reading>
void classifyLine(ScanState& state)
{
    const std::int32_t p = firstNonBlank(state.line, state.lineLength);
    state.pos = p;
    if (state.romHeld) {
        if (joinChunkRow(state, p))
            return;
        writeHeldRom<reading>(state);
    }
    switch (kindAt(state.line, state.lineLength, p)) {
    case LineKind::Blank:
    case LineKind::Other:
        return;
    case LineKind::CommentStart:
        state.pos = p + 4;
        skipComment(state);
        return;
    case LineKind::SoftwareListOpen:
        handleSoftwareList(state, p + 13);
        return;
    case LineKind::SoftwareOpen:
        handleSoftware<reading>(state, p + 9);
        return;
    case LineKind::Description:
        handleDescription(state, p + 13);
        return;
    case LineKind::Rom:
        handleRom<reading>(state, p + 4);
        return;
    case LineKind::SoftwareClose:
        handleSoftwareClose(state);
        return;
    case LineKind::Disk:
        if (state.disks)
            handleDisk<reading>(state, p + 5);
        return;
    case LineKind::Year:
        if constexpr (reading == Reading::AllValues)
            handleDetail(state, Detail::Year, p + 6);
        return;
    case LineKind::Publisher:
        if constexpr (reading == Reading::AllValues)
            handleDetail(state, Detail::Publisher, p + 11);
        return;
    }
}

template void classifyLine<Reading::CombinedValues>(ScanState&);
template void classifyLine<Reading::AllValues>(ScanState&);
