// A search for one byte value, inlined for the short distances of a line:
// eight bytes at a time, with the platform's memchr for the long stretches.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The first index of `value` in bytes[0, size), or size when there is none.
inline std::size_t findByte(const char* bytes, std::size_t size, char value)
{
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t ones = 0x0101010101010101u;
        const std::uint64_t highs = 0x8080808080808080u;
        const std::uint64_t pattern = ones * static_cast<unsigned char>(value);
        std::size_t i = 0;
        for (int words = 0; words < 8 && i + 8 <= size; words++, i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            std::uint64_t x = word ^ pattern;
            std::uint64_t hits = (x - ones) & ~x & highs;
            if (hits != 0)
                return i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
        }
        const void* found = std::memchr(bytes + i, value, size - i);
        return found == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    } else {
        const void* found = std::memchr(bytes, value, size);
        return found == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    }
}
