// Field extraction: finding an attribute by its keyword and a nearby equals
// sign, and copying a quoted value or an element's text into a fixed-capacity
// field, plainly or with "&apos;" and "&amp;" decoded. Nothing is read past
// the current piece; a copy stops at the piece's LF and stores at most what
// its field holds, while `pos` still moves to where the copy ended.
#pragma once

#include <cassert>
#include <cstring>
#include <string_view>

#include "bytes/find_byte.h"
#include "bytes/small_copy.h"
#include "scan/scan_state.h"

// A bounded text field being filled: bytes go to text[0, capacity - 1).
// A NUL byte of the input is stored like any other, and ends the text.
struct Field {
    char* text;
    int capacity;
    int length;
    bool holdsNul;   // a NUL byte was stored
};

inline Field fieldOf(char* text, int capacity)
{
    text[0] = '\0';
    return Field{text, capacity, 0, false};
}

// The length of the field's text: up to the first NUL stored.
inline std::int32_t textLength(const Field& field)
{
    return field.holdsNul ? static_cast<std::int32_t>(std::strlen(field.text)) : field.length;
}

// The equals sign may stand at any of the five offsets after the keyword.
constexpr int windowWidth = 5;

// The index of the first keyword at or after `from`, and before `end`, that
// has an equals sign in the five characters after it (and before `end`), or
// -1 when there is none. (Inline, so that a keyword known at the call folds
// into the search.)
inline std::int32_t locateAttributeBefore(const ScanState& state, const char* keyword, std::int32_t from,
                                          std::int32_t end)
{
    assert(end <= state.lineLength);
    const char* line = state.line;
    const std::int32_t size = static_cast<std::int32_t>(std::strlen(keyword));
    std::int32_t i = from;
    const std::int32_t lastStart = end - size;
    while (i <= lastStart) {
        i += static_cast<std::int32_t>(findByte(line + i, static_cast<std::size_t>(lastStart + 1 - i), keyword[0]));
        if (i > lastStart)
            return -1;
        std::int32_t same = 1;
        while (same < size && line[i + same] == keyword[same])
            same++;
        if (same == size) {
            std::int32_t windowEnd = i + size + windowWidth;
            if (windowEnd > end)
                windowEnd = end;
            for (std::int32_t at = i + size; at < windowEnd; at++)
                if (line[at] == '=')
                    return i;
        }
        i++;
    }
    return -1;
}

// The same over the whole piece.
inline std::int32_t locateAttribute(const ScanState& state, const char* keyword, std::int32_t from)
{
    return locateAttributeBefore(state, keyword, from, state.lineLength);
}

// The index of the piece's first '>' at or after `from`, or the piece's
// length when it holds none: where an element's start tag ends.
std::int32_t startTagEnd(const ScanState& state, std::int32_t from);

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

// The usual ROM line, read off at once: from `from` (just after "<rom"),
// ` name="N" size="S" crc="C" sha1="H"`, where N holds no '&' (so that its
// decoded copy is its bytes) and S, C and H no 'i', 'r', 'h', 'm', nor with
// `withStatus` 's' (so that no keyword searched can start inside one), and
// none holds a NUL. Then the
// general searches would find the name and size, crc and sha exactly there,
// and the later ones start at N's closing quote: the four values' spans are
// returned, with what locateAttribute finds for md5 and, when `withStatus`,
// status (searched after H, as nothing before it can match; else
// statusMatch is -1). Nothing stands between "<rom" and the name. False for
// any other line.
struct UsualRom {
    ValueSpan name, size, crc, sha1;
    std::int32_t md5Match;
    std::int32_t statusMatch;
};
template <bool withStatus>
bool locateUsualRom(const ScanState& state, std::int32_t from, UsualRom& rom);

// The usual software line, read off at once: from `from` (just after
// "<software"), ` name="N"` and then `>`, ` supported="` or
// ` cloneof="P"`, where N holds no '=', '>' nor NUL and P no NUL. The
// general search finds the name there, and the parent's keyword, where it
// follows the name, just there too (no keyword with an equals sign in its
// window can stand before it, nor the tag's end). The spans of N and P are
// returned (P empty, at N's closing quote, where the name is followed
// otherwise); with ` supported="` after the name, the parent is to be
// searched after it. False for any other line.
struct UsualSoftware {
    ValueSpan name, parent;
    bool closes;      // `">` follows the name
    bool supported;   // ` supported="` follows the name
};
bool locateUsualSoftware(const ScanState& state, std::int32_t from, UsualSoftware& software);

// Copies a value of the usual ROM line into a held text, cut to its room
// less one (as the general copies would, given the match that leads to it);
// `pos` ends on its closing quote.
template <std::size_t N>
inline void copyUsualValue(ScanState& state, ValueSpan span, HeldText<N>& target)
{
    std::size_t length = static_cast<std::size_t>(span.end - span.start);
    if (length > N - 1)
        length = N - 1;
    copySmall(target.bytes, state.line + span.start, length);
    target.size = length;
    state.pos = span.end;
}

// Copies the quoted value behind a match at `match` into target; `pos` ends on
// the closing quote (or where the piece's text ends, when a quote is missing).
std::int32_t copyQuotedPlain(ScanState& state, std::int32_t match, char* target, int capacity);
std::int32_t copyQuotedDecoded(ScanState& state, std::int32_t match, char* target, int capacity);

// Copies element text from `from` up to the first "</", decoded.
std::int32_t copyTextDecoded(ScanState& state, std::int32_t from, char* target, int capacity);

// The quoted value behind a match at `match` (empty for none) as a plain
// copy into a field of `capacity` would hold it: cut at capacity - 1 bytes
// and at its first NUL; `pos` ends on its closing quote, as after
// copyQuotedPlain.
std::string_view plainValue(ScanState& state, std::int32_t match, int capacity);

// Appends the character or entity at `pos` to the field and moves past it.
void appendDecoded(ScanState& state, Field& field);

// The copies above into a held text: its size is the length stored.
template <std::size_t N>
inline void copyQuotedPlain(ScanState& state, std::int32_t match, HeldText<N>& target)
{
    target.size = static_cast<std::size_t>(copyQuotedPlain(state, match, target.bytes, static_cast<int>(N)));
}

template <std::size_t N>
inline void copyQuotedDecoded(ScanState& state, std::int32_t match, HeldText<N>& target)
{
    target.size = static_cast<std::size_t>(copyQuotedDecoded(state, match, target.bytes, static_cast<int>(N)));
}

template <std::size_t N>
inline void copyTextDecoded(ScanState& state, std::int32_t from, HeldText<N>& target)
{
    target.size = static_cast<std::size_t>(copyTextDecoded(state, from, target.bytes, static_cast<int>(N)));
}

