// Field extraction: finding an attribute by its keyword and a nearby equals
// sign, and copying a quoted value or an element's text into a fixed-capacity
// field, plainly or with "&apos;" and "&amp;" decoded. Nothing is read past
// the current piece; a copy stops at the piece's LF and stores at most what
// its field holds, while `pos` still moves to where the copy ended.
#pragma once

#include <cstring>

#include "platform/find_byte.h"
#include "scan/scan_state.h"

// A bounded text field being filled: bytes go to text[0, capacity - 1).
struct Field {
    char* text;
    int capacity;
    int length;
};

inline Field fieldOf(char* text, int capacity)
{
    text[0] = '\0';
    return Field{text, capacity, 0};
}

// The equals sign may stand at any of the five offsets after the keyword.
constexpr int windowWidth = 5;

// The index of the first keyword at or after `from` that has an equals sign
// in the five characters after it, or -1 when the piece holds none. (Inline,
// so that a keyword known at the call folds into the search.)
inline std::int32_t locateAttribute(const ScanState& state, const char* keyword, std::int32_t from)
{
    const char* line = state.line;
    const std::int32_t length = state.lineLength;
    const std::int32_t size = static_cast<std::int32_t>(std::strlen(keyword));
    std::int32_t i = from;
    const std::int32_t lastStart = length - size;
    while (i <= lastStart) {
        i += static_cast<std::int32_t>(findByte(line + i, static_cast<std::size_t>(lastStart + 1 - i), keyword[0]));
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

// The ROM attributes' keywords, in the order the ROM handler fills them.
enum RomKeyword { romSizeKey, romCrcKey, romShaKey, romMd5Key, romKeywordCount };

// What locateAttribute returns for each of "size", "crc", "sha" and "md5"
// from `from`, found in one pass over the equals signs of the piece.
void locateRomAttributes(const ScanState& state, std::int32_t from, std::int32_t (&found)[romKeywordCount]);

// A quoted value in the piece: line[start, end), `end` at its closing quote.
struct ValueSpan {
    std::int32_t start;
    std::int32_t end;
};

// The usual ROM line: right after the name's closing quote at `nameQuote`,
// ` size="S" crc="C" sha1="H"`, none of the three values holding an 'i',
// 'r', 'h' or 'm' (so that no keyword can start inside one). Then the
// general search would find size, crc and sha exactly there: their values'
// spans are returned, with what it finds for md5 (searched after sha1's
// value, as nothing before it can match). False for any other line.
bool locateUsualRomValues(const ScanState& state, std::int32_t nameQuote, ValueSpan (&spans)[romMd5Key],
                          std::int32_t& md5Match);

// Copies a value's bytes into target (as copyQuotedPlain would, given the
// match that leads to it); `pos` ends on its closing quote.
void copySpan(ScanState& state, ValueSpan span, char* target, int capacity);

// Copies the quoted value behind a match at `match` into target; `pos` ends on
// the closing quote (or where the piece's text ends, when a quote is missing).
void copyQuotedPlain(ScanState& state, std::int32_t match, char* target, int capacity);
void copyQuotedDecoded(ScanState& state, std::int32_t match, char* target, int capacity);

// Copies element text from `from` up to the first "</", decoded.
void copyTextDecoded(ScanState& state, std::int32_t from, char* target, int capacity);

// Appends the character or entity at `pos` to the field and moves past it.
void appendDecoded(ScanState& state, Field& field);
