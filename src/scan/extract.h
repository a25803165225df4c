// Field extraction: finding an attribute by its keyword and a nearby equals
// sign, and copying a quoted value or an element's text into a fixed-capacity
// field, plainly or with "&apos;" and "&amp;" decoded. Nothing is read past
// the current piece; a copy stops at the piece's LF and stores at most what
// its field holds, while `pos` still moves to where the copy ended.
#pragma once

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

// The index of the first keyword at or after `from` that has an equals sign
// in the five characters after it, or -1 when the piece holds none.
std::int32_t locateAttribute(const ScanState& state, const char* keyword, std::int32_t from);

// The ROM attributes' keywords, in the order the ROM handler fills them.
enum RomKeyword { romSizeKey, romCrcKey, romShaKey, romMd5Key, romKeywordCount };

// What locateAttribute returns for each of "size", "crc", "sha" and "md5"
// from `from`, found in one pass over the equals signs of the piece.
void locateRomAttributes(const ScanState& state, std::int32_t from, std::int32_t (&found)[romKeywordCount]);

// Copies the quoted value behind a match at `match` into target; `pos` ends on
// the closing quote (or where the piece's text ends, when a quote is missing).
void copyQuotedPlain(ScanState& state, std::int32_t match, char* target, int capacity);
void copyQuotedDecoded(ScanState& state, std::int32_t match, char* target, int capacity);

// Copies element text from `from` up to the first "</", decoded.
void copyTextDecoded(ScanState& state, std::int32_t from, char* target, int capacity);

// Appends the character or entity at `pos` to the field and moves past it.
void appendDecoded(ScanState& state, Field& field);
