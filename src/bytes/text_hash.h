// A hash of a text, eight bytes at a time, for finding equal texts among
// many: equal texts hash alike (the texts found are compared all the same,
// so a collision costs a comparison, never a wrong result).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

inline std::uint64_t textHash(std::string_view text, std::uint64_t seed = 0)
{
    std::uint64_t hash = (seed + 0x9E3779B97F4A7C15u) ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
        hash ^= hash >> 32;
    }
    // The last 0 to 7 bytes: the text's last eight where it has eight (those
    // before i hashed twice), else its bytes one by one.
    std::uint64_t tail = 0;
    if (text.size() >= 8) {
        std::memcpy(&tail, text.data() + text.size() - 8, 8);
    } else {
        for (std::size_t k = 0; k < text.size(); k++)
            tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[k])) << (8 * k);
    }
    hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53u;
    return hash ^ hash >> 29;
}
