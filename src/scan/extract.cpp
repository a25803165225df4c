// Field extraction: keyword windows, quoted values, element text, entities.
#include "scan/extract.h"

#include <cstring>

#include "platform/find_byte.h"

// The equals sign may stand at any of the five offsets after the keyword.
static constexpr int windowWidth = 5;

// Appends what fits of bytes[0, size); the rest is dropped.
static void appendBytes(Field& field, const char* bytes, std::int32_t size)
{
    std::int32_t room = field.capacity - 1 - field.length;
    std::int32_t kept = size < room ? size : room;
    std::memcpy(field.text + field.length, bytes, static_cast<std::size_t>(kept));
    field.length += kept;
    field.text[field.length] = '\0';
}

// The first index of `value` in line[from, to), or `to` when there is none.
static inline std::int32_t findInLine(const ScanState& state, std::int32_t from, std::int32_t to, char value)
{
    return from + static_cast<std::int32_t>(findByte(state.line + from, static_cast<std::size_t>(to - from), value));
}

std::int32_t locateAttribute(const ScanState& state, const char* keyword, std::int32_t from)
{
    const char* line = state.line;
    const std::int32_t length = state.lineLength;
    const std::int32_t size = static_cast<std::int32_t>(std::strlen(keyword));
    std::int32_t i = from;
    const std::int32_t lastStart = length - size;
    while (i <= lastStart) {
        i = findInLine(state, i, lastStart + 1, keyword[0]);
        if (i > lastStart)
            return -1;
        std::int32_t same = 1;
        while (same < size && line[i + same] == keyword[same])
            same++;
        if (same == size) {
            std::int32_t windowEnd = i + size + windowWidth;
            if (windowEnd > length)
                windowEnd = length;
            for (std::int32_t at = i + size; at < windowEnd; at++)
                if (line[at] == '=')
                    return i;
        }
        i++;
    }
    return -1;
}

// Moves `pos` from match + 4 past the opening quote. False (and `pos` where
// the piece's text ends) when there is none.
static bool enterQuotedValue(ScanState& state, std::int32_t match)
{
    const std::int32_t end = contentEnd(state);
    std::int32_t at = match + 4 < end ? match + 4 : end;
    std::int32_t quote = findInLine(state, at, end, '"');
    state.pos = quote < end ? quote + 1 : end;
    return quote < end;
}

// The index of the value's closing quote, searched from `pos`; where the
// piece's text ends when there is none.
static std::int32_t closingQuote(const ScanState& state)
{
    return findInLine(state, state.pos, contentEnd(state), '"');
}

void copyQuotedPlain(ScanState& state, std::int32_t match, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    if (!enterQuotedValue(state, match))
        return;
    std::int32_t close = closingQuote(state);
    appendBytes(field, state.line + state.pos, close - state.pos);
    state.pos = close;
}

// Appends line[pos, to) to the field, decoding entities, and leaves `pos` at
// `to`. No entity straddles `to`: it stands at a quote, a "<", the LF or the
// piece's end, none of which can be part of one.
static void appendSpanDecoded(ScanState& state, Field& field, std::int32_t to)
{
    while (state.pos < to) {
        std::int32_t amp = findInLine(state, state.pos, to, '&');
        appendBytes(field, state.line + state.pos, amp - state.pos);
        state.pos = amp;
        if (state.pos < to)
            appendDecoded(state, field);
    }
}

void copyQuotedDecoded(ScanState& state, std::int32_t match, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    if (!enterQuotedValue(state, match))
        return;
    appendSpanDecoded(state, field, closingQuote(state));
}

void copyTextDecoded(ScanState& state, std::int32_t from, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    const std::int32_t end = contentEnd(state);
    state.pos = from < end ? from : end;
    std::int32_t close = state.pos;
    for (;;) {
        close = findInLine(state, close, end, '<');
        if (close == end || (close + 1 < end && state.line[close + 1] == '/'))
            break;
        close++;
    }
    appendSpanDecoded(state, field, close);
}

void appendDecoded(ScanState& state, Field& field)
{
    const char* at = state.line + state.pos;
    const std::int32_t left = state.lineLength - state.pos;
    if (left >= 6 && std::memcmp(at, "&apos;", 6) == 0) {
        appendBytes(field, "'", 1);
        state.pos += 6;
    } else if (left >= 5 && std::memcmp(at, "&amp;", 5) == 0) {
        appendBytes(field, "&", 1);
        state.pos += 5;
    } else {
        appendBytes(field, at, 1);
        state.pos += 1;
    }
}
