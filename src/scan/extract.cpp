// Field extraction: keyword windows, quoted values, element text, entities.
#include "scan/extract.h"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/find_byte.h"
#include "platform/small_copy.h"

// The equals sign may stand at any of the five offsets after the keyword.
static constexpr int windowWidth = 5;

// Appends what fits of bytes[0, size); the rest is dropped.
static void appendBytes(Field& field, const char* bytes, std::int32_t size)
{
    std::int32_t room = field.capacity - 1 - field.length;
    std::int32_t kept = size < room ? size : room;
    copySmall(field.text + field.length, bytes, static_cast<std::size_t>(kept));
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

// One bit for each index i in [first, equals - 3] whose byte is 's', 'c' or
// 'm' (bit i - first); first is at least equals - 8.
static inline unsigned keywordStarts(const char* line, std::int32_t first, std::int32_t equals)
{
    const std::int32_t count = equals - 3 - first + 1;
    if (count <= 0)
        return 0;
    unsigned bits = 0;
#if defined(__SSE2__)
    if (equals >= 8) {
        // The 8 bytes before the equals sign lie in the piece.
        __m128i block = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + equals - 8));
        __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('s')),
                                                 _mm_cmpeq_epi8(block, _mm_set1_epi8('c'))),
                                    _mm_cmpeq_epi8(block, _mm_set1_epi8('m')));
        return (static_cast<unsigned>(_mm_movemask_epi8(hits)) >> (first - (equals - 8))) & ((1u << count) - 1);
    }
#endif
    for (std::int32_t k = 0; k < count; k++) {
        char c = line[first + k];
        bits |= static_cast<unsigned>(c == 's' || c == 'c' || c == 'm') << k;
    }
    return bits;
}

// An attribute is found at the smallest index whose keyword has an equals
// sign within its window. Taking the equals signs in order, the first one
// that lies in the window of some occurrence of the keyword (one starting
// size + 4 to size bytes before it) has the first match among those
// occurrences: any occurrence before it would see this equals sign too.
void locateRomAttributes(const ScanState& state, std::int32_t from, std::int32_t (&found)[romKeywordCount])
{
    const char* line = state.line;
    const std::int32_t length = state.lineLength;
    for (std::int32_t k = 0; k < romKeywordCount; k++)
        found[k] = -1;
    int missing = romKeywordCount;
    // Records a match at i, unless the keyword has one already.
    auto take = [&](RomKeyword keyword, std::int32_t i) {
        if (found[keyword] < 0) {
            found[keyword] = i;
            missing--;
        }
    };
    for (std::int32_t equals = findInLine(state, from, length, '='); equals < length && missing > 0;
         equals = findInLine(state, equals + 1, length, '=')) {
        // Three-letter keywords start 3 to 7 bytes before the equals sign,
        // "size" 4 to 8; earlier starts first. Only an 's', 'c' or 'm' can
        // start one.
        std::int32_t first = equals - 8 > from ? equals - 8 : from;
        unsigned starts = keywordStarts(line, first, equals);
        for (; starts != 0; starts &= starts - 1) {
            const std::int32_t i = first + std::countr_zero(starts);
            const std::int32_t gap = equals - i;
            switch (line[i]) {
            case 's':
                if (gap >= 4 && line[i + 1] == 'i' && line[i + 2] == 'z' && line[i + 3] == 'e')
                    take(romSizeKey, i);
                else if (gap <= 7 && line[i + 1] == 'h' && line[i + 2] == 'a')
                    take(romShaKey, i);
                break;
            case 'c':
                if (gap <= 7 && line[i + 1] == 'r' && line[i + 2] == 'c')
                    take(romCrcKey, i);
                break;
            case 'm':
                if (gap <= 7 && line[i + 1] == 'd' && line[i + 2] == '5')
                    take(romMd5Key, i);
                break;
            default:
                break;
            }
        }
    }
}

// Moves `pos` from match + 4 past the opening quote. False (and `pos` where
// the piece's text ends) when there is none.
static bool enterQuotedValue(ScanState& state, std::int32_t match)
{
    const std::int32_t end = contentEnd(state);
    std::int32_t at = match + 4 < end ? match + 4 : end;
    // The quote usually follows the equals sign at once.
    std::int32_t quote = at < end && state.line[at] == '"' ? at : findInLine(state, at, end, '"');
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
