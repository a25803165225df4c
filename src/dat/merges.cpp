// The merges of one list DAT.
#include "dat/merges.h"

#include <algorithm>
#include <cassert>

#include "bytes/text_hash.h"

void Merges::setOpens(std::string_view name, std::string_view parent)
{
    const auto lines = static_cast<std::uint32_t>(lines_.size());
    sets_.push_back(Set{texts_.keep(name), texts_.keep(parent), lines, lines});
    anyParent_ |= !parent.empty();
    inSet_ = true;
}

void Merges::setCloses()
{
    inSet_ = false;
}

void Merges::note(std::string_view key, const NamePlace& place, bool disk)
{
    assert(inSet_ && key.size() <= 0xFFFF && place.mergeAt - place.nameAt <= 0xFFFF);
    lines_.push_back(Line{key.data(), place.nameAt, static_cast<std::uint32_t>(sets_.size() - 1),
                          static_cast<std::uint16_t>(key.size()), static_cast<std::uint16_t>(place.nameEnd - place.nameAt),
                          static_cast<std::uint16_t>(place.mergeAt - place.nameAt), disk});
    sets_.back().endLine = static_cast<std::uint32_t>(lines_.size());
}

void Merges::romWritten(std::string_view size, std::string_view crc, std::string_view sha1, const NamePlace& place)
{
    if (!inSet_ || size.empty() || crc.empty() || sha1.empty())
        return;
    // Each value ended by a NUL, which none of them holds (a NUL ends a
    // value), so that the key tells them apart.
    const std::size_t keySize = size.size() + crc.size() + sha1.size() + 3;
    char* const key = texts_.room(keySize);
    char* at = key;
    for (std::string_view value : {size, crc, sha1}) {
        at += value.copy(at, value.size());
        *at++ = '\0';
    }
    note(std::string_view(key, keySize), place, false);
}

void Merges::diskWritten(std::string_view sha1, const NamePlace& place)
{
    if (inSet_ && !sha1.empty())
        note(texts_.keep(sha1), place, true);
}

// A line's key is hashed with its set and kind.
static std::uint64_t hashOf(std::string_view text, std::uint64_t set = 0, bool disk = false)
{
    return textHash(text, set << 1 | disk);
}

// The first element of the sorted `sorted` whose hash is `hash` and that
// `matches`, or nullptr.
template <typename Matches>
static const std::uint32_t* firstMatching(const std::vector<HashedIndex>& sorted, std::uint64_t hash, Matches matches)
{
    auto at = std::lower_bound(sorted.begin(), sorted.end(), HashedIndex{hash, 0});
    for (; at != sorted.end() && at->hash == hash; ++at)
        if (matches(at->index))
            return &at->index;
    return nullptr;
}

std::uint32_t Merges::firstSetNamed(std::string_view name) const
{
    const std::uint32_t* set =
        firstMatching(setsByName_, hashOf(name), [&](std::uint32_t i) { return sets_[i].name == name; });
    return set != nullptr ? *set : ~0u;
}

// The first line of the parent's set of the clone's kind and key, or ~0.
std::uint32_t Merges::firstParentLine(std::uint32_t parent, const Line& clone) const
{
    const std::uint32_t* line = firstMatching(parentLines_, hashOf(clone.keyText(), parent, clone.disk), [&](std::uint32_t i) {
        const Line& l = lines_[i];
        return l.set == parent && l.disk == clone.disk && l.keyText() == clone.keyText();
    });
    return line != nullptr ? *line : ~0u;
}

void Merges::find(std::vector<MergeFound>& found)
{
    found.clear();
    if (!anyParent_)
        return;
    setsByName_.clear();
    for (std::uint32_t i = 0; i < sets_.size(); i++)
        setsByName_.push_back(HashedIndex{hashOf(sets_[i].name), i});
    std::sort(setsByName_.begin(), setsByName_.end());
    // Each clone's parent: the first set of the name it gives, not itself.
    parentOf_.assign(sets_.size(), ~0u);
    std::vector<bool> isParent(sets_.size(), false);
    for (std::uint32_t i = 0; i < sets_.size(); i++) {
        if (sets_[i].parent.empty() || sets_[i].firstLine == sets_[i].endLine)
            continue;
        const std::uint32_t parent = firstSetNamed(sets_[i].parent);
        if (parent != ~0u && parent != i) {
            parentOf_[i] = parent;
            isParent[parent] = true;
        }
    }
    parentLines_.clear();
    for (std::uint32_t line = 0; line < lines_.size(); line++) {
        const Line& l = lines_[line];
        if (isParent[l.set])
            parentLines_.push_back(HashedIndex{hashOf(l.keyText(), l.set, l.disk), line});
    }
    std::sort(parentLines_.begin(), parentLines_.end());
    for (const Line& clone : lines_) {
        const std::uint32_t parent = parentOf_[clone.set];
        const std::uint32_t match = parent == ~0u ? ~0u : firstParentLine(parent, clone);
        if (match != ~0u)
            found.push_back(MergeFound{clone.nameAt + clone.mergeAfterName, lines_[match].nameAt, lines_[match].nameSize});
    }
}

void Merges::clear()
{
    texts_.clear();
    lines_.clear();
    sets_.clear();
    inSet_ = false;
    anyParent_ = false;
}
