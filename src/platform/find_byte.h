// A search for one byte value, inlined for the short distances of a line:
// sixteen bytes at a time with SSE2 where the processor has it, eight at a
// time elsewhere, and the platform's memchr for whatever is left.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// How far the inline loop looks before handing over to memchr.
constexpr std::size_t inlineSearchReach = 128;

// The index of the first byte equal to `value` among the 8 at `bytes`, or 8;
// little-endian words only. The lowest byte the classic zero-byte test flags
// is exact.
inline std::size_t firstInWord(const char* bytes, char value)
{
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t highs = 0x8080808080808080u;
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(value));
    const std::uint64_t hits = (x - ones) & ~x & highs;
    return hits != 0 ? static_cast<std::size_t>(std::countr_zero(hits)) / 8 : 8;
}

// The first index of `value` in bytes[0, size), or size when there is none.
// Reads nothing outside bytes[0, size).
inline std::size_t findByte(const char* bytes, std::size_t size, char value)
{
    constexpr bool littleEndian = std::endian::native == std::endian::little;
    std::size_t i = 0;
    std::size_t reach = size < inlineSearchReach ? size : inlineSearchReach;
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(value);
    for (; i + 16 <= reach; i += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, pattern)));
        if (hits != 0)
            return i + static_cast<std::size_t>(std::countr_zero(hits));
    }
#else
    if constexpr (littleEndian) {
        for (; i + 8 <= reach; i += 8) {
            std::size_t at = firstInWord(bytes + i, value);
            if (at < 8)
                return i + at;
        }
    }
#endif
    if (i == size)
        return size;
    if (littleEndian && size - i < 16 && size >= 8) {
        // The tail in two words that overlap within bytes[0, size) (bytes
        // before i hold no match).
        const std::size_t starts[2] = {size - i >= 8 ? i : size - 8, size - 8};
        for (std::size_t start : starts) {
            std::size_t at = firstInWord(bytes + start, value);
            if (at < 8)
                return start + at;
        }
        return size;
    }
    const void* found = std::memchr(bytes + i, value, size - i);
    return found == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
}

// One bit for each byte of bytes[0, 64) that equals `value` (bit i for byte i).
inline std::uint64_t byteBits64(const char* bytes, char value)
{
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(value);
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; i += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        bits |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, pattern))))
                << i;
    }
    return bits;
#else
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; i++)
        bits |= static_cast<std::uint64_t>(bytes[i] == value) << i;
    return bits;
#endif
}
