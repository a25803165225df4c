// Copying a few bytes without a call: the short values and lines of the scan
// and the writer are mostly under 64 bytes, where the library's memcpy costs
// more in the call than in the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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
        std::uint64_t head, tail;
        std::memcpy(&head, bytes, 8);
        std::memcpy(&tail, bytes + size - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + size - 8, &tail, 8);
    } else if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, bytes, 4);
        std::memcpy(&tail, bytes + size - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + size - 4, &tail, 4);
    } else {
        for (std::size_t i = 0; i < size; i++)
            to[i] = bytes[i];
    }
}
