// A text kept for later in room of its own: at most N bytes and their count.
// The scan keeps a line's values in them, the list DATs a set's.
#pragma once

#include <cassert>
#include <cstddef>
#include <string_view>

template <std::size_t N>
struct HeldText {
    static constexpr std::size_t room = N;
    char bytes[N];
    std::size_t size;

    void keep(std::string_view text)
    {
        assert(text.size() <= N);
        size = text.copy(bytes, N);
    }
    void clear() { size = 0; }
    bool empty() const { return size == 0; }
    std::string_view view() const { return std::string_view(bytes, size); }
};
