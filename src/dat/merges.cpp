// The merges of one list DAT.
#include "dat/merges.h"

#include <algorithm>
#include <cassert>

#include "bytes/prefetch.h"
#include "bytes/small_copy.h"
#include "bytes/text_hash.h"

Merges::Merges()
{
    lines_.reserve(1 << 17);
    sets_.reserve(1 << 15);
    namesUsed_.reserve(1 << 15);
}

Merges::NameSlot& Merges::slotOf(std::string_view name, std::uint32_t hash)
{
    const std::size_t mask = names_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        NameSlot& slot = names_[at];
        if (slot.setPlusOne == 0 || (slot.hash == hash && sets_[slot.setPlusOne - 1].nameText() == name))
            return slot;
    }
}

// The hash of a set's name.
static std::uint32_t nameHash(std::string_view name)
{
    return static_cast<std::uint32_t>(textHash(name));
}

// The first set of that name (whose hash is `hash`), or ~0.
std::uint32_t Merges::firstSetNamed(std::string_view name, std::uint32_t hash)
{
    return slotOf(name, hash).setPlusOne - 1;
}

// Notes the set's name (whose hash is `hash`), unless an earlier set has
// it, in a table never more than half full.
void Merges::addName(std::uint32_t set, std::uint32_t hash)
{
    if (2 * (namesUsed_.size() + 1) > names_.size()) {
        std::vector<NameSlot> old(std::max<std::size_t>(256, 2 * names_.size()), NameSlot{0, 0});
        old.swap(names_);
        namesUsed_.clear();
        for (const NameSlot& slot : old) {
            if (slot.setPlusOne != 0) {
                NameSlot& moved = slotOf(sets_[slot.setPlusOne - 1].nameText(), slot.hash);
                moved = slot;
                namesUsed_.push_back(static_cast<std::uint32_t>(&moved - names_.data()));
            }
        }
    }
    NameSlot& slot = slotOf(sets_[set].nameText(), hash);
    if (slot.setPlusOne == 0) {
        slot = NameSlot{hash, set + 1};
        namesUsed_.push_back(static_cast<std::uint32_t>(&slot - names_.data()));
    }
}

void Merges::setComing(std::string_view name, std::string_view parent)
{
    comingNameHash_ = nameHash(name);
    comingParentHash_ = parent.empty() ? 0 : nameHash(parent);
    comingTold_ = true;
    if (names_.empty())
        return;
    const std::size_t mask = names_.size() - 1;
    prefetchForUse(&names_[comingNameHash_ & mask]);
    if (!parent.empty())
        prefetchForUse(&names_[comingParentHash_ & mask]);
}

void Merges::setOpens(std::string_view name, std::string_view parent)
{
    if (!comingTold_)
        setComing(name, parent);
    comingTold_ = false;
    assert(comingNameHash_ == nameHash(name) && comingParentHash_ == (parent.empty() ? 0 : nameHash(parent)));
    const auto set = static_cast<std::uint32_t>(sets_.size());
    const auto lines = static_cast<std::uint32_t>(lines_.size());
    assert(name.size() <= 0xFFFF && parent.size() <= 0xFFFF);
    sets_.push_back(Set{texts_.keep(name).data(), nullptr, lines, lines, ~0u, static_cast<std::uint16_t>(name.size()), 0});
    addName(set, comingNameHash_);
    // Its parent, when met before (the first set of that name is final);
    // else its name, kept for the DAT's end.
    if (!parent.empty()) {
        const std::uint32_t first = firstSetNamed(parent, comingParentHash_);
        if (first == ~0u) {
            sets_.back().parent = texts_.keep(parent).data();
            sets_.back().parentSize = static_cast<std::uint16_t>(parent.size());
            anyParentLater_ = true;
        } else if (first != set) {
            sets_.back().parentSet = first;
        }
    }
    openParent_ = sets_.back().parentSet;
    inSet_ = true;
}

void Merges::setCloses()
{
    inSet_ = false;
    openParent_ = ~0u;
}

bool Merges::romComes(std::string_view size, std::string_view crc, std::string_view sha1)
{
    if (!inSet_ || size.empty() || crc.empty() || sha1.empty())
        return false;
    // Each value ended by a NUL, which none of them holds (a NUL ends a
    // value), so that the key tells them apart.
    const std::size_t keySize = size.size() + crc.size() + sha1.size() + 3;
    assert(keySize <= 0xFFFF);
    char* const key = texts_.room(keySize);
    char* at = key;
    for (std::string_view value : {size, crc, sha1}) {
        copySmall(at, value.data(), value.size());
        at += value.size();
        *at++ = '\0';
    }
    coming_ = Line{key, 0, static_cast<std::uint16_t>(keySize), 0, 0, false};
    return true;
}

bool Merges::diskComes(std::string_view sha1)
{
    if (!inSet_ || sha1.empty())
        return false;
    const std::string_view key = texts_.keep(sha1);
    coming_ = Line{key.data(), 0, static_cast<std::uint16_t>(key.size()), 0, 0, true};
    return true;
}

bool Merges::merge(MergeFound& parentLine)
{
    const std::uint32_t line = openParent_ == ~0u ? ~0u : firstParentLine(openParent_, coming_.keyText(), coming_.disk);
    if (line == ~0u)
        return false;
    parentLine = MergeFound{0, lines_[line].nameAt, lines_[line].nameSize};
    return true;
}

// Keys compare as values: the hashes' hex letters A-F as a-f. Kept as
// written, they are folded only where they are compared or hashed, which
// few lines are (those of clones and of their parents).
static char foldedHex(char c)
{
    return c >= 'A' && c <= 'F' ? static_cast<char>(c + ('a' - 'A')) : c;
}

static bool sameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i])
        i++;
    for (; i < a.size(); i++)
        if (foldedHex(a[i]) != foldedHex(b[i]))
            return false;
    return true;
}

// A parent's line that a clone's line of this kind and key merges from: the
// same key, and a name to give (an empty one gives no merge).
static bool mergesFrom(const auto& line, std::string_view key, bool disk)
{
    return line.disk == disk && line.nameSize != 0 && sameKey(line.keyText(), key);
}

// A line's key is hashed with its kind, folded as sameKey compares it.
static std::uint64_t keyHash(std::string_view key, bool disk)
{
    // A size, a crc and a sha1, each at most 255 bytes (a value's room), and their ends.
    char folded[3 * 256];
    assert(key.size() <= sizeof folded);
    const std::size_t size = std::min(key.size(), sizeof folded);
    for (std::size_t i = 0; i < size; i++)
        folded[i] = foldedHex(key[i]);
    return textHash(std::string_view(folded, size), disk);
}

// The first line of the parent's set of that kind and key, or ~0. A parent
// of few lines is searched line by line; one of many by the hashes of its
// lines, sorted once.
std::uint32_t Merges::firstParentLine(std::uint32_t parent, std::string_view key, bool disk)
{
    const Set& set = sets_[parent];
    if (set.endLine - set.firstLine <= fewLines) {
        for (std::uint32_t line = set.firstLine; line < set.endLine; line++)
            if (mergesFrom(lines_[line], key, disk))
                return line;
        return ~0u;
    }
    auto keyed = std::find_if(keyedParents_.begin(), keyedParents_.end(), [&](const auto& p) { return p.first == parent; });
    if (keyed == keyedParents_.end()) {
        keyedParents_.emplace_back(parent, keyedLines_.size());
        keyed = keyedParents_.end() - 1;
        for (std::uint32_t line = set.firstLine; line < set.endLine; line++)
            keyedLines_.push_back(HashedIndex{keyHash(lines_[line].keyText(), lines_[line].disk), line});
        std::sort(keyedLines_.begin() + static_cast<std::ptrdiff_t>(keyed->second), keyedLines_.end());
    }
    const auto first = keyedLines_.begin() + static_cast<std::ptrdiff_t>(keyed->second);
    const auto end = first + (set.endLine - set.firstLine);
    const std::uint64_t hash = keyHash(key, disk);
    for (auto at = std::lower_bound(first, end, HashedIndex{hash, 0}); at != end && at->hash == hash; ++at) {
        if (mergesFrom(lines_[at->index], key, disk))
            return at->index;
    }
    return ~0u;
}

void Merges::find(std::vector<MergeFound>& found)
{
    found.clear();
    if (!anyParentLater_)
        return;
    for (std::uint32_t i = 0; i < sets_.size(); i++) {
        const Set& clone = sets_[i];
        if (!clone.parentLater())
            continue;
        const std::uint32_t parent = firstSetNamed(clone.parentText(), nameHash(clone.parentText()));
        if (parent == ~0u || parent == i)
            continue;
        for (std::uint32_t line = clone.firstLine; line < clone.endLine; line++) {
            const Line& l = lines_[line];
            const std::uint32_t match = firstParentLine(parent, l.keyText(), l.disk);
            if (match != ~0u)
                found.push_back(MergeFound{l.nameAt + l.mergeAfterName, lines_[match].nameAt, lines_[match].nameSize});
        }
    }
}

void Merges::clear()
{
    texts_.clear();
    lines_.clear();
    sets_.clear();
    for (std::uint32_t slot : namesUsed_)
        names_[slot] = NameSlot{0, 0};
    namesUsed_.clear();
    inSet_ = anyParentLater_ = comingTold_ = false;
    openParent_ = ~0u;
    keyedParents_.clear();
    keyedLines_.clear();
}
