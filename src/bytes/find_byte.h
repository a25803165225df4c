// A search for one byte value, inlined for the short distances of a line:
// sixteen bytes at a time with SSE2 where the processor has it, eight at a
// time elsewhere, fewer than eight one by one, and the platform's memchr for
// whatever is left.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bytes/byte_mask.h"

// How far the inline loop looks before handing over to memchr.
constexpr std::size_t inlineSearchReach = 128;

// The first index of `value` in bytes[0, size), a byte at a time.
inline std::size_t findBytePlain(const char* bytes, std::size_t size, char value)
{
    std::size_t i = 0;
    while (i < size && bytes[i] != value)
        i++;
    return i;
}

// The first index of `value` in bytes[0, size), or size when there is none.
// Reads nothing outside bytes[0, size).
inline std::size_t findByte(const char* bytes, std::size_t size, char value)
{
    if (!fastPathsOn())
        return findBytePlain(bytes, size, value);
    constexpr bool littleEndian = std::endian::native == std::endian::little;
    std::size_t i = 0;
    std::size_t reach = size < inlineSearchReach ? size : inlineSearchReach;
    if constexpr (simdAvailable) {
        for (; i + 16 <= reach; i += 16) {
            unsigned hits = equalMask16(bytes + i, value);
            if (hits != 0)
                return i + static_cast<std::size_t>(std::countr_zero(hits));
        }
    } else if constexpr (littleEndian) {
        for (; i + 8 <= reach; i += 8) {
            std::size_t at = firstInWord(bytes + i, value);
            if (at < 8)
                return i + at;
        }
    }
    if (i == size)
        return size;
    // Fewer than eight bytes: cheaper looked at one by one than in a call.
    if (size < 8)
        return findBytePlain(bytes, size, value);
    if (littleEndian && size - i < 16) {
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

// The first index of any of `values` in bytes[0, size), a byte at a time.
template <char... values>
inline std::size_t findAnyBytePlain(const char* bytes, std::size_t size)
{
    std::size_t i = 0;
    while (i < size && ((bytes[i] != values) && ...))
        i++;
    return i;
}

// One bit per byte of bytes[0, 16) equal to any of `values`.
template <char... values>
inline unsigned anyEqualMask16(const char* bytes)
{
    return (equalMask16(bytes, values) | ...);
}

// The first index of any of `values` in bytes[0, size), or size when none
// is there; sixteen bytes at a time where SSE2 is, the last sixteen
// overlapping those looked at already. Reads nothing outside bytes[0, size).
template <char... values>
inline std::size_t findAnyByte(const char* bytes, std::size_t size)
{
    if (!fastPathsOn() || !simdAvailable || size < 16)
        return findAnyBytePlain<values...>(bytes, size);
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const unsigned hits = anyEqualMask16<values...>(bytes + i);
        if (hits != 0)
            return i + static_cast<std::size_t>(std::countr_zero(hits));
    }
    if (i == size)
        return size;
    const unsigned hits = anyEqualMask16<values...>(bytes + size - 16);
    return hits != 0 ? size - 16 + static_cast<std::size_t>(std::countr_zero(hits)) : size;
}

// One bit for each byte of bytes[0, 64) that equals `value` (bit i for byte i).
inline std::uint64_t byteBits64(const char* bytes, char value)
{
    if (!fastPathsOn())
        return equalMaskPlain(bytes, 32, value) | static_cast<std::uint64_t>(equalMaskPlain(bytes + 32, 32, value)) << 32;
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; i += 16)
        bits |= static_cast<std::uint64_t>(equalMask16(bytes + i, value)) << i;
    return bits;
}
