// Field extraction: keyword windows, quoted values, element text, entities.
#include "scan/extract.h"

#include <bit>
#include <cstring>

#include "bytes/byte_mask.h"
#include "bytes/find_byte.h"
#include "bytes/small_copy.h"

// Appends what fits of bytes[0, size); the rest is dropped.
static inline void appendBytes(Field& field, const char* bytes, std::int32_t size)
{
    std::int32_t room = field.capacity - 1 - field.length;
    std::int32_t kept = size < room ? size : room;
    if (kept <= 0)
        return;
    field.holdsNul |= copySmallSeeing<'\0'>(field.text + field.length, bytes, static_cast<std::size_t>(kept));
    field.length += kept;
    field.text[field.length] = '\0';
}

// The first index of `value` in line[from, to), or `to` when there is none.
static inline std::int32_t findInLine(const ScanState& state, std::int32_t from, std::int32_t to, char value)
{
    return from + static_cast<std::int32_t>(findByte(state.line + from, static_cast<std::size_t>(to - from), value));
}

std::int32_t startTagEnd(const ScanState& state, std::int32_t from)
{
    return findInLine(state, from, state.lineLength, '>');
}

// Records, for each keyword not found yet, its first start in the window of
// the equals sign at `equals` (at or after `from`): three-letter keywords
// start 3 to 7 bytes before the sign, "size" 4 to 8.
static inline void matchBeforeEquals(const char* line, std::int32_t from, std::int32_t equals,
                                     std::int32_t (&found)[romKeywordCount], int& missing)
{
    auto take = [&](RomKeyword keyword, std::int32_t i) {
        if (found[keyword] < 0) {
            found[keyword] = i;
            missing--;
        }
    };
    if (simdAvailable && fastPathsOn() && equals >= 8) {
        // The 8 bytes before the sign lie in the piece; bit j stands for the
        // index base + j, and a keyword matches at j when its letters stand
        // at bits j, j + 1, ... (a letter past bit 7 cannot).
        const std::int32_t base = equals - 8;
        auto letter = [&](char c) { return equalMask8(line + base, c); };
        const unsigned s = letter('s'), c = letter('c');
        const unsigned fromHere = from > base ? 0xFFu << (from - base) : 0xFFu;
        const unsigned threeLetters = fromHere & 0xFEu;   // not 8 bytes before the sign
        const unsigned bits[romKeywordCount] = {
            s & letter('i') >> 1 & letter('z') >> 2 & letter('e') >> 3 & fromHere,
            c & letter('r') >> 1 & c >> 2 & threeLetters,
            s & letter('h') >> 1 & letter('a') >> 2 & threeLetters,
            letter('m') & letter('d') >> 1 & letter('5') >> 2 & threeLetters,
        };
        for (int k = 0; k < romKeywordCount; k++)
            if (bits[k] != 0)
                take(static_cast<RomKeyword>(k), base + std::countr_zero(bits[k]));
        return;
    }
    for (std::int32_t i = equals - 8 > from ? equals - 8 : from; i + 3 <= equals; i++) {
        const std::int32_t gap = equals - i;
        const char* at = line + i;
        if (gap >= 4 && at[0] == 's' && at[1] == 'i' && at[2] == 'z' && at[3] == 'e')
            take(romSizeKey, i);
        if (gap <= 7 && at[0] == 'c' && at[1] == 'r' && at[2] == 'c')
            take(romCrcKey, i);
        if (gap <= 7 && at[0] == 's' && at[1] == 'h' && at[2] == 'a')
            take(romShaKey, i);
        if (gap <= 7 && at[0] == 'm' && at[1] == 'd' && at[2] == '5')
            take(romMd5Key, i);
    }
}

// An attribute is found at the smallest index whose keyword has an equals
// sign within its window. Taking the equals signs in order, the first one
// that lies in the window of some occurrence of the keyword has the first
// match among those occurrences: any occurrence before it would see this
// equals sign too.
void locateRomAttributes(const ScanState& state, std::int32_t from, std::int32_t (&found)[romKeywordCount])
{
    if (!fastPathsOn()) {
        // The general twin: each keyword searched on its own.
        found[romSizeKey] = locateAttribute(state, "size", from);
        found[romCrcKey] = locateAttribute(state, "crc", from);
        found[romShaKey] = locateAttribute(state, "sha", from);
        found[romMd5Key] = locateAttribute(state, "md5", from);
        return;
    }
    const std::int32_t length = state.lineLength;
    for (std::int32_t k = 0; k < romKeywordCount; k++)
        found[k] = -1;
    int missing = romKeywordCount;
    for (std::int32_t equals = findInLine(state, from, length, '='); equals < length && missing > 0;
         equals = findInLine(state, equals + 1, length, '='))
        matchBeforeEquals(state.line, from, equals, found, missing);
}

// The bytes that end the usual ROM line's fast reading, besides the closing
// quote: in the name a NUL or an '&' (an entity to decode), in the other
// values a NUL or a letter some keyword searched later starts with: size,
// crc, sha, md5 (i, r, h, m), and with the status too (s). On the usual
// software line: in its name a NUL, an '=' or a '>' (behind which the
// general search could find a keyword or the tag's end), in its parent's
// name a NUL.
enum class ValueKind { Name, Hash, HashBeforeStatus, SoftwareName, Parent };

// The index of the closing quote of a value starting at `from`, or -1 when
// there is none before `end` or a stop byte of its kind comes first.
template <ValueKind kind>
static inline std::int32_t plainValueEnd(const char* line, std::int32_t from, std::int32_t end)
{
    auto stops = [](char c) {
        if constexpr (kind == ValueKind::Name)
            return c == '&' || c == '\0';
        else if constexpr (kind == ValueKind::Hash)
            return c == 'i' || c == 'r' || c == 'h' || c == 'm' || c == '\0';
        else if constexpr (kind == ValueKind::HashBeforeStatus)
            return c == 'i' || c == 'r' || c == 'h' || c == 'm' || c == 's' || c == '\0';
        else if constexpr (kind == ValueKind::SoftwareName)
            return c == '=' || c == '>' || c == '\0';
        else
            return c == '\0';
    };
    std::int32_t at = from;
    // Sixteen bytes at a time; the last block (or the only one, for a
    // short value) ends at `end`, its bytes before `at` (already looked at,
    // or before the value) masked off: the piece holds the sixteen bytes
    // before `end` wherever there are sixteen.
    unsigned fresh = 0xFFFFu;
    const bool inBlocks = simdAvailable && fastPathsOn();
    while (inBlocks && at < end && end >= 16) {
        if (at + 16 > end) {
            fresh = 0xFFFFu << (at + 16 - end) & 0xFFFFu;
            at = end - 16;
        }
        auto hits = [&](char c) { return equalMask16(line + at, c); };
        const unsigned quotes = hits('"') & fresh;
        unsigned stopping = hits('\0');
        if constexpr (kind == ValueKind::Name)
            stopping |= hits('&');
        else if constexpr (kind == ValueKind::Hash)
            stopping |= hits('i') | hits('r') | hits('h') | hits('m');
        else if constexpr (kind == ValueKind::HashBeforeStatus)
            stopping |= hits('i') | hits('r') | hits('h') | hits('m') | hits('s');
        else if constexpr (kind == ValueKind::SoftwareName)
            stopping |= hits('=') | hits('>');
        const unsigned before = quotes != 0 ? (quotes & (0u - quotes)) - 1 : 0xFFFFu;
        if ((stopping & fresh & before) != 0)
            return -1;
        if (quotes != 0)
            return at + std::countr_zero(quotes);
        at += 16;
    }
    for (; at < end; at++) {
        const char c = line[at];
        if (c == '"')
            return at;
        if (stops(c))
            return -1;
    }
    return -1;
}

// The value after `lead` at `at` (its last byte the opening quote): its span,
// and `at` moved to its closing quote. False when the line does not go on
// that way.
template <ValueKind kind, std::size_t N>
static inline bool nextUsualValue(const char* line, std::int32_t end, const char (&lead)[N], std::int32_t& at,
                                  ValueSpan& span)
{
    constexpr std::int32_t size = static_cast<std::int32_t>(N - 1);
    if (!textAt(line, end, at, lead, size))
        return false;
    const std::int32_t start = at + size;
    const std::int32_t close = plainValueEnd<kind>(line, start, end);
    if (close < 0)
        return false;
    span = ValueSpan{start, close};
    at = close;
    return true;
}

// What locateAttribute finds for "md5" and "status" from `from`, in one pass
// over the equals signs there (as locateRomAttributes does): "md5" starts 3
// to 7 bytes before a sign, "status" 6 to 10.
static void locateMd5AndStatus(const ScanState& state, std::int32_t from, std::int32_t& md5, std::int32_t& status)
{
    const char* line = state.line;
    const std::int32_t length = state.lineLength;
    md5 = status = -1;
    for (std::int32_t equals = findInLine(state, from, length, '=');
         equals < length && (md5 < 0 || status < 0);
         equals = findInLine(state, equals + 1, length, '=')) {
        for (std::int32_t i = equals - 10 > from ? equals - 10 : from; i + 3 <= equals; i++) {
            const std::int32_t gap = equals - i;
            if (md5 < 0 && gap <= 7 && line[i] == 'm' && line[i + 1] == 'd' && line[i + 2] == '5')
                md5 = i;
            if (status < 0 && gap >= 6 && std::memcmp(line + i, "status", 6) == 0)
                status = i;
        }
    }
}

// The name: the general search finds "name" right after the space and its
// value's opening quote after the equals sign, and with no '&' the decoded
// copy is the bytes up to the closing quote, from which the other searches
// start. Then size, crc and sha as locateUsualRom says.
template <bool withStatus>
bool locateUsualRom(const ScanState& state, std::int32_t from, UsualRom& rom)
{
    constexpr ValueKind value = withStatus ? ValueKind::HashBeforeStatus : ValueKind::Hash;
    const char* line = state.line;
    const std::int32_t end = contentEnd(state);
    std::int32_t at = from;
    if (!nextUsualValue<ValueKind::Name>(line, end, " name=\"", at, rom.name) ||
        !nextUsualValue<value>(line, end, "\" size=\"", at, rom.size) ||
        !nextUsualValue<value>(line, end, "\" crc=\"", at, rom.crc) ||
        !nextUsualValue<value>(line, end, "\" sha1=\"", at, rom.sha1))
        return false;
    if constexpr (withStatus) {
        locateMd5AndStatus(state, at + 1, rom.md5Match, rom.statusMatch);
    } else {
        // md5 alone: the search for its first letter passes over the rest
        // of the line faster than the window of each equals sign.
        rom.md5Match = locateAttribute(state, "md5", at + 1);
        rom.statusMatch = -1;
    }
    return true;
}

bool locateUsualSoftware(const ScanState& state, std::int32_t from, UsualSoftware& software)
{
    const char* line = state.line;
    const std::int32_t end = contentEnd(state);
    std::int32_t at = from;
    if (!nextUsualValue<ValueKind::SoftwareName>(line, end, " name=\"", at, software.name))
        return false;
    software.parent = ValueSpan{at, at};
    software.closes = textAt(line, end, at, "\">", 2);
    software.supported = !software.closes && textAt(line, end, at, "\" supported=\"", 12);
    return software.closes || software.supported ||
           nextUsualValue<ValueKind::Parent>(line, end, "\" cloneof=\"", at, software.parent);
}

template bool locateUsualRom<false>(const ScanState&, std::int32_t, UsualRom&);
template bool locateUsualRom<true>(const ScanState&, std::int32_t, UsualRom&);

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

std::int32_t copyQuotedPlain(ScanState& state, std::int32_t match, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    if (!enterQuotedValue(state, match))
        return 0;
    std::int32_t close = closingQuote(state);
    appendBytes(field, state.line + state.pos, close - state.pos);
    state.pos = close;
    return textLength(field);
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

std::int32_t copyQuotedDecoded(ScanState& state, std::int32_t match, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    if (!enterQuotedValue(state, match))
        return 0;
    appendSpanDecoded(state, field, closingQuote(state));
    return textLength(field);
}

// Where element text from `from` ends: at the first "</", or where the
// piece's text ends.
static std::int32_t textEnd(const ScanState& state, std::int32_t from)
{
    const std::int32_t end = contentEnd(state);
    std::int32_t close = from < end ? from : end;
    for (;;) {
        close = findInLine(state, close, end, '<');
        if (close == end || (close + 1 < end && state.line[close + 1] == '/'))
            return close;
        close++;
    }
}

std::int32_t copyTextDecoded(ScanState& state, std::int32_t from, char* target, int capacity)
{
    Field field = fieldOf(target, capacity);
    const std::int32_t end = contentEnd(state);
    state.pos = from < end ? from : end;
    appendSpanDecoded(state, field, textEnd(state, state.pos));
    return textLength(field);
}

// line[from, to) as a plain copy into a field of `capacity` would hold it.
static std::string_view plainSpan(const ScanState& state, std::int32_t from, std::int32_t to, int capacity)
{
    if (to - from > capacity - 1)
        to = from + capacity - 1;
    to = findInLine(state, from, to, '\0');
    return std::string_view(state.line + from, static_cast<std::size_t>(to - from));
}

std::string_view plainValue(ScanState& state, std::int32_t match, int capacity)
{
    if (match < 0 || !enterQuotedValue(state, match))
        return std::string_view();
    const std::int32_t start = state.pos;
    state.pos = closingQuote(state);
    return plainSpan(state, start, state.pos, capacity);
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
