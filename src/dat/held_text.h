// Texts kept for later: one in room of its own (at most N bytes and their
// count; the scan keeps a line's values in them, the list DATs a set's), or
// many in a store (a list DAT's names and values, kept until its end).
#pragma once

#include <cassert>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

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

// Many texts, each copied into blocks that never move, so that a view of
// one stays valid until the store is cleared; clearing keeps the blocks for
// the next texts, so that the store's memory is that of its fullest use.
class TextStore {
public:
    static constexpr std::size_t blockSize = 64 * 1024;

    // Room for `size` bytes (at most blockSize), to be filled at once.
    char* room(std::size_t size)
    {
        assert(size <= blockSize);
        if (blocks_.empty()) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
        } else if (blockSize - used_ < size) {
            if (++block_ == blocks_.size())
                blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
            used_ = 0;
        }
        char* const at = blocks_[block_].get() + used_;
        used_ += size;
        return at;
    }

    // A copy of the text (of at most blockSize bytes).
    std::string_view keep(std::string_view text)
    {
        char* const at = room(text.size());
        text.copy(at, text.size());
        return std::string_view(at, text.size());
    }

    void clear()
    {
        block_ = 0;
        used_ = 0;
    }

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t block_ = 0;   // the block being filled
    std::size_t used_ = 0;    // its bytes in use
};
