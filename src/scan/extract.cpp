// Field extraction: keyword windows, quoted values, element text, entities.
#include "scan/extract.h"

#include <cstring>

// The equals sign may stand at any of the five offsets after the keyword.
static constexpr int windowWidth = 5;

static void append(Field& field, char c)
{
    if (field.length < field.capacity - 1) {
        field.text[field.length++] = c;
        field.text[field.length] = '\0';
    }
}

std::int32_t locateAttribute(const ScanState& state, const char* keyword, std::int32_t from)
{
    const char* line = state.line;
    const std::int32_t length = state.lineLength;
    const std::int32_t size = static_cast<std::int32_t>(std::strlen(keyword));
    std::int32_t i = from;
    while (i + size <= length) {
        const void* hit = std::memchr(line + i, keyword[0], static_cast<std::size_t>(length - size + 1 - i));
        if (hit == nullptr)
            return -1;
        i = static_cast<std::int32_t>(static_cast<const char*>(hit) - line);
        if (std::memcmp(line + i, keyword, static_cast<std::size_t>(size)) == 0) {
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
    const void* quote = std::memchr(state.line + at, '"', static_cast<std::size_t>(end - at));
    if (quote == nullptr) {
        state.pos = end;
        return false;
    }
    state.pos = static_cast<std::int32_t>(static_cast<const char*>(quote) - state.line) + 1;
    return true;
}

void copyQuotedPlain(ScanState& state, std::int32_t match, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    if (!enterQuotedValue(state, match))
        return;
    const std::int32_t end = contentEnd(state);
    const std::int32_t from = state.pos;
    const void* quote = std::memchr(state.line + from, '"', static_cast<std::size_t>(end - from));
    std::int32_t close = quote == nullptr ? end : static_cast<std::int32_t>(static_cast<const char*>(quote) - state.line);
    std::int32_t kept = close - from < capacity - 1 ? close - from : capacity - 1;
    std::memcpy(field.text, state.line + from, static_cast<std::size_t>(kept));
    field.text[kept] = '\0';
    state.pos = close;
}

void copyQuotedDecoded(ScanState& state, std::int32_t match, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    if (!enterQuotedValue(state, match))
        return;
    const std::int32_t end = contentEnd(state);
    while (state.pos < end && state.line[state.pos] != '"')
        appendDecoded(state, field);
}

void copyTextDecoded(ScanState& state, std::int32_t from, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    const std::int32_t end = contentEnd(state);
    state.pos = from < end ? from : end;
    while (state.pos < end && !(state.line[state.pos] == '<' && state.pos + 1 < end && state.line[state.pos + 1] == '/'))
        appendDecoded(state, field);
}

void appendDecoded(ScanState& state, Field& field)
{
    const char* at = state.line + state.pos;
    const std::int32_t left = state.lineLength - state.pos;
    if (left >= 6 && std::memcmp(at, "&apos;", 6) == 0) {
        append(field, '\'');
        state.pos += 6;
    } else if (left >= 5 && std::memcmp(at, "&amp;", 5) == 0) {
        append(field, '&');
        state.pos += 5;
    } else {
        append(field, *at);
        state.pos += 1;
    }
}
