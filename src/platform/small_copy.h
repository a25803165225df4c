// Copying a few bytes without a call: the short values and lines of the scan
// and the writer are mostly under 64 bytes, where the library's memcpy costs
// more in the call than in the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// True when the word holds a byte equal to `value` (exact: the classic test
// of a zero byte after XOR).
template <typename Word>
inline bool wordHolds(Word word, unsigned char value)
{
    const Word ones = static_cast<Word>(~Word{0}) / 0xFF;
    const Word x = word ^ static_cast<Word>(ones * value);
    return ((x - ones) & ~x & static_cast<Word>(ones << 7)) != 0;
}

// Copies bytes[0, size), where sizeof(Word) <= size <= 2 * sizeof(Word), as
// two words that overlap within the range; tells whether `value` went by.
template <typename Word>
inline bool copyWordPair(char* to, const char* bytes, std::size_t size, unsigned char value)
{
    Word head, tail;
    std::memcpy(&head, bytes, sizeof head);
    std::memcpy(&tail, bytes + size - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + size - sizeof tail, &tail, sizeof tail);
    return wordHolds(head, value) || wordHolds(tail, value);
}

// Copies bytes[0, size) to `to` (the ranges do not overlap). Up to 64 bytes
// go in at most four pairs of word moves that overlap within the range;
// nothing outside bytes[0, size) or to[0, size) is touched.
inline void copySmall(char* to, const char* bytes, std::size_t size)
{
    if (size > 64) {
        std::memcpy(to, bytes, size);
    } else if (size >= 16) {
        for (std::size_t i = 0; i + 16 < size; i += 16)
            std::memcpy(to + i, bytes + i, 16);
        std::memcpy(to + size - 16, bytes + size - 16, 16);
    } else if (size >= 8) {
        copyWordPair<std::uint64_t>(to, bytes, size, 0);
    } else if (size >= 4) {
        copyWordPair<std::uint32_t>(to, bytes, size, 0);
    } else {
        for (std::size_t i = 0; i < size; i++)
            to[i] = bytes[i];
    }
}

// Copies like copySmall, and tells whether the bytes held `value` (an LF to
// translate, a NUL that ends a text), looked for in the registers the copy
// passes through (a look at `to` right after the stores would wait for them).
template <char value>
inline bool copySmallSeeing(char* to, const char* bytes, std::size_t size)
{
    if (size > 64) {
        std::memcpy(to, bytes, size);
        return std::memchr(bytes, value, size) != nullptr;
    }
    if (size >= 16) {
#if defined(__SSE2__)
        const __m128i pattern = _mm_set1_epi8(value);
        __m128i seen = _mm_setzero_si128();
        auto move = [&](std::size_t at) {
            __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
            seen = _mm_or_si128(seen, _mm_cmpeq_epi8(block, pattern));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), block);
        };
        for (std::size_t i = 0; i + 16 < size; i += 16)
            move(i);
        move(size - 16);
        return _mm_movemask_epi8(seen) != 0;
#else
        std::memcpy(to, bytes, size);
        return std::memchr(bytes, value, size) != nullptr;
#endif
    }
    if (size >= 8)
        return copyWordPair<std::uint64_t>(to, bytes, size, static_cast<unsigned char>(value));
    if (size >= 4)
        return copyWordPair<std::uint32_t>(to, bytes, size, static_cast<unsigned char>(value));
    bool seen = false;
    for (std::size_t i = 0; i < size; i++) {
        to[i] = bytes[i];
        seen |= bytes[i] == value;
    }
    return seen;
}
