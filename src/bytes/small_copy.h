// Copying and comparing a few bytes without a call: the short values and
// lines of the scan and the writer are mostly under 64 bytes, where the
// library's memcpy and memcmp cost more in the call than in the work.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bytes/byte_mask.h"
#include "bytes/inlining.h"

// What a seeing copy looks for, as it passes the bytes through registers:
// `block` the bits of a 16-byte block, `word` whether a word holds one,
// `plain` the general twin over a range.
template <char value, char other = value>
struct SeeingBytes {
    static unsigned block(const char* bytes)
    {
        if constexpr (other == value)
            return equalMask16(bytes, value);
        return equalMask16(bytes, value) | equalMask16(bytes, other);
    }
    template <typename Word>
    ALWAYS_INLINE static bool word(Word w)
    {
        if constexpr (other == value)
            return wordHolds(w, static_cast<unsigned char>(value));
        return wordHolds(w, static_cast<unsigned char>(value)) || wordHolds(w, static_cast<unsigned char>(other));
    }
    static bool byte(char c) { return c == value || c == other; }
    static bool plain(const char* bytes, std::size_t size)
    {
        return std::memchr(bytes, value, size) != nullptr ||
               (other != value && std::memchr(bytes, other, size) != nullptr);
    }
};

// Nothing: a plain copy.
struct SeeingNothing {
    template <typename Word>
    static bool word(Word)
    {
        return false;
    }
};

// The bytes XML text cannot take as they stand (see xmlSpecialMask16).
struct SeeingXmlSpecial {
    static unsigned block(const char* bytes) { return xmlSpecialMask16(bytes); }
    template <typename Word>
    static bool word(Word w)
    {
        return xmlSpecialInWord(w);
    }
    static bool byte(char c)
    {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u >= 0x80 || u == '&' || u == '<' || u == '>' || u == '"';
    }
    static bool plain(const char* bytes, std::size_t size)
    {
        for (std::size_t i = 0; i < size; i++)
            if (byte(bytes[i]))
                return true;
        return false;
    }
};

// Copies bytes[0, size), where sizeof(Word) <= size <= 2 * sizeof(Word), as
// two words that overlap within the range; tells whether a byte Seen looks
// for went by.
template <typename Word, typename Seen>
ALWAYS_INLINE bool copyWordPair(char* to, const char* bytes, std::size_t size)
{
    assert(size >= sizeof(Word) && size <= 2 * sizeof(Word));
    Word head, tail;
    std::memcpy(&head, bytes, sizeof head);
    std::memcpy(&tail, bytes + size - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + size - sizeof tail, &tail, sizeof tail);
    return Seen::word(head) || Seen::word(tail);
}

// Copies bytes[0, size) to `to` (the ranges do not overlap). Up to 64 bytes
// go in at most four pairs of word moves that overlap within the range;
// nothing outside bytes[0, size) or to[0, size) is touched. An empty text's
// pointer may be null.
inline void copySmall(char* to, const char* bytes, std::size_t size)
{
    assert(reinterpret_cast<std::uintptr_t>(to) + size <= reinterpret_cast<std::uintptr_t>(bytes) ||
           reinterpret_cast<std::uintptr_t>(bytes) + size <= reinterpret_cast<std::uintptr_t>(to));
    if (size > 64 || !fastPathsOn()) {
        if (size != 0)
            std::memcpy(to, bytes, size);
    } else if (size >= 16) {
        for (std::size_t i = 0; i + 16 < size; i += 16)
            std::memcpy(to + i, bytes + i, 16);
        std::memcpy(to + size - 16, bytes + size - 16, 16);
    } else if (size >= 8) {
        copyWordPair<std::uint64_t, SeeingNothing>(to, bytes, size);
    } else if (size >= 4) {
        copyWordPair<std::uint32_t, SeeingNothing>(to, bytes, size);
    } else {
        for (std::size_t i = 0; i < size; i++)
            to[i] = bytes[i];
    }
}

// Copies like copySmall, and tells whether the bytes held one that `Seen`
// looks for, looked for in the registers the copy passes through (a look at
// `to` right after the stores would wait for them).
template <typename Seen>
ALWAYS_INLINE bool copySmallSeen(char* to, const char* bytes, std::size_t size)
{
    if (size > 64 || !fastPathsOn()) {
        if (size == 0)
            return false;   // an empty text's pointer may be null
        std::memcpy(to, bytes, size);
        return Seen::plain(bytes, size);
    }
    if (size >= 16) {
        if constexpr (simdAvailable) {
            unsigned seen = 0;
            for (std::size_t i = 0; i + 16 < size; i += 16) {
                seen |= Seen::block(bytes + i);
                std::memcpy(to + i, bytes + i, 16);
            }
            seen |= Seen::block(bytes + size - 16);
            std::memcpy(to + size - 16, bytes + size - 16, 16);
            return seen != 0;
        } else {
            std::memcpy(to, bytes, size);
            return Seen::plain(bytes, size);
        }
    }
    if (size >= 8)
        return copyWordPair<std::uint64_t, Seen>(to, bytes, size);
    if (size >= 4)
        return copyWordPair<std::uint32_t, Seen>(to, bytes, size);
    bool seen = false;
    for (std::size_t i = 0; i < size; i++) {
        to[i] = bytes[i];
        seen |= Seen::byte(bytes[i]);
    }
    return seen;
}

// The same for an LF to translate, a NUL that ends a text, a reference to
// decode (and `other`, where one is given: a quote to write otherwise).
template <char value, char other = value>
ALWAYS_INLINE bool copySmallSeeing(char* to, const char* bytes, std::size_t size)
{
    return copySmallSeen<SeeingBytes<value, other>>(to, bytes, size);
}

// True when a[0, size) equals b[0, size), where sizeof(Word) <= size <=
// 2 * sizeof(Word): compared as two words that overlap within the range.
template <typename Word>
inline bool sameWordPair(const char* a, const char* b, std::size_t size)
{
    assert(size >= sizeof(Word) && size <= 2 * sizeof(Word));
    const std::size_t last = size - sizeof(Word);
    Word a1, b1, a2, b2;
    std::memcpy(&a1, a, sizeof a1);
    std::memcpy(&b1, b, sizeof b1);
    std::memcpy(&a2, a + last, sizeof a2);
    std::memcpy(&b2, b + last, sizeof b2);
    return a1 == b1 && a2 == b2;
}

// True when the `size` bytes of `text` stand at line[at], entirely before
// `end` (with `size` a constant at the call, the branches fold away);
// nothing outside line[at, at + size) is read.
inline bool textAt(const char* line, std::int32_t end, std::int32_t at, const char* text, std::int32_t size)
{
    if (at + size > end)
        return false;
    if (!fastPathsOn() || size > 16)
        return std::memcmp(line + at, text, static_cast<std::size_t>(size)) == 0;
    if (size >= 8)
        return sameWordPair<std::uint64_t>(line + at, text, static_cast<std::size_t>(size));
    if (size >= 4)
        return sameWordPair<std::uint32_t>(line + at, text, static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; i++)
        if (line[at + i] != text[i])
            return false;
    return true;
}
