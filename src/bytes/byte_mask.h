// The byte tricks of the scan, each with its plain twin: "which bytes of a
// block equal c" as one bit per byte (SSE2 where the processor has it, a
// loop elsewhere), and the classic test for a byte value in a word. Every
// SIMD register and word trick of the tool is used through here. A caller
// that uses them is a shortcut: it asks fastPathsOn() once, on entry, and
// takes its general twin when the general paths are chosen.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bytes/fast_paths.h"

#if defined(__SSE2__) && !defined(SOFTLIST2DAT_SCALAR)
#include <emmintrin.h>
constexpr bool simdAvailable = true;
#else
constexpr bool simdAvailable = false;
#endif

// One bit per byte of bytes[0, count) equal to `value` (bit i for byte i),
// a byte at a time.
inline unsigned equalMaskPlain(const char* bytes, int count, char value)
{
    assert(count <= 32);
    unsigned bits = 0;
    for (int i = 0; i < count; i++)
        bits |= static_cast<unsigned>(bytes[i] == value) << i;
    return bits;
}

// One bit per byte of bytes[0, 16) equal to `value` (bit i for byte i).
inline unsigned equalMask16(const char* bytes, char value)
{
#if defined(__SSE2__) && !defined(SOFTLIST2DAT_SCALAR)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(value))));
#else
    return equalMaskPlain(bytes, 16, value);
#endif
}

// The same for bytes[0, 8).
inline unsigned equalMask8(const char* bytes, char value)
{
#if defined(__SSE2__) && !defined(SOFTLIST2DAT_SCALAR)
    const __m128i block = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(value)))) & 0xFFu;
#else
    return equalMaskPlain(bytes, 8, value);
#endif
}

// One bit per byte of bytes[0, 16) that XML text cannot take as it stands:
// a control (below 0x20), a byte of 0x80 or above, '&', '<', '>' or '"'.
inline unsigned xmlSpecialMask16(const char* bytes)
{
#if defined(__SSE2__) && !defined(SOFTLIST2DAT_SCALAR)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    // Signed bytes: 0x80 and above compare below 0x20 too.
    __m128i special = _mm_cmplt_epi8(block, _mm_set1_epi8(0x20));
    special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('&')));
    special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('<')));
    special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('>')));
    special = _mm_or_si128(special, _mm_cmpeq_epi8(block, _mm_set1_epi8('"')));
    return static_cast<unsigned>(_mm_movemask_epi8(special));
#else
    unsigned bits = 0;
    for (int i = 0; i < 16; i++) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const bool special = c < 0x20 || c >= 0x80 || c == '&' || c == '<' || c == '>' || c == '"';
        bits |= static_cast<unsigned>(special) << i;
    }
    return bits;
#endif
}

// The high bit of each byte of `word` equal to `value`, exact up to the
// lowest such byte (the classic zero-byte test after XOR: a borrow can flag
// a 0x01 byte above a hit, never below one).
template <typename Word>
inline Word bytesEqualInWord(Word word, unsigned char value)
{
    const Word ones = static_cast<Word>(~Word{0}) / 0xFF;
    const Word x = word ^ static_cast<Word>(ones * value);
    return (x - ones) & ~x & static_cast<Word>(ones << 7);
}

// True when the word holds a byte equal to `value`.
template <typename Word>
inline bool wordHolds(Word word, unsigned char value)
{
    return bytesEqualInWord(word, value) != 0;
}

// Whether `word` holds a byte that XML text cannot take as it stands (as
// xmlSpecialMask16 tells them): one below 0x20 (the classic has-less test,
// exact as to whether there is one), one of 0x80 or above, or '&', '<', '>'
// or '"'.
template <typename Word>
inline bool xmlSpecialInWord(Word word)
{
    constexpr Word ones = static_cast<Word>(~Word(0) / 255);
    constexpr Word high = static_cast<Word>(ones * 0x80);
    const Word belowSpace = static_cast<Word>((word - static_cast<Word>(ones * 0x20)) & ~word & high);
    return (belowSpace | (word & high) | bytesEqualInWord(word, '&') | bytesEqualInWord(word, '<') |
            bytesEqualInWord(word, '>') | bytesEqualInWord(word, '"')) != 0;
}

// The index of the first byte equal to `value` among the 8 at `bytes`, or 8.
inline std::size_t firstInWord(const char* bytes, char value)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t word;
        std::memcpy(&word, bytes, 8);
        const std::uint64_t hits = bytesEqualInWord(word, static_cast<unsigned char>(value));
        return hits != 0 ? static_cast<std::size_t>(std::countr_zero(hits)) / 8 : 8;
    }
    const void* found = std::memchr(bytes, value, 8);
    return found == nullptr ? 8 : static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
}
