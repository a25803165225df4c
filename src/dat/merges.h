// The merges of one list DAT: a clone's ROM whose size, crc and sha1 (as the
// DAT writes them, none empty; the hashes' hex digits without regard to
// case) equal those of a named ROM of its parent's set gets that ROM's name
// as its merge, the first such ROM in the parent's order; a clone's disk
// likewise by its sha1. The parent is the first set of the DAT
// with the name the clone gives (never the clone itself). Where the parent
// came first, a clone's merges are found as its lines are written; where it
// may come later, they are found when the DAT is complete and put in then.
// What is noted is what one list needs (each set's names, each line's key
// and where its name stands), never the collection.
#pragma once

#include <cassert>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "dat/held_text.h"

// Where a rom or disk line's name stands in the DAT, as written, and where
// a merge goes in that line.
struct NamePlace {
    std::uint64_t nameAt;
    std::uint64_t nameEnd;
    std::uint64_t mergeAt;
};

// A merge: it goes in at `mergeAt` of the clone's line, naming the
// parent's line whose name stands at parentNameAt (as written).
struct MergeFound {
    std::uint64_t mergeAt;
    std::uint64_t parentNameAt;
    std::uint32_t parentNameSize;
};

// A parent's line, found by a hash of its kind and key: sorted by hash, then
// by line, so that among lines of one hash the first comes first.
struct HashedIndex {
    std::uint64_t hash;
    std::uint32_t index;
    bool operator<(const HashedIndex& other) const
    {
        return hash != other.hash ? hash < other.hash : index < other.index;
    }
};

class Merges {
public:
    // Sets aside room for the lines and sets of a large list at once: grown
    // by doubling, the vectors would be copied and twice the memory touched
    // (each page new to the process costs a fault), which the largest of
    // MAME's lists pays in milliseconds. Only what is used is touched.
    Merges();

    // The set that opens next, as known before its lines are read: the
    // table slots setOpens will look at are fetched meanwhile.
    void setComing(std::string_view name, std::string_view parent);
    // A set opened in the DAT, with its name and parent (empty for none),
    // as the DAT writes them (those given to setComing, when it was told).
    // The lines written after it are its own.
    void setOpens(std::string_view name, std::string_view parent);
    // The set ended: the lines written after it belong to no set.
    void setCloses();

    // The line about to be written, a rom line by its size, crc and sha1 or
    // a disk line by its sha1: true when it takes part (it stands in a set,
    // and none of its values is empty). Then `merge` says whether its merge
    // is known already (its set's parent came first), with the parent's
    // line; and `written` notes the line once it is written.
    bool romComes(std::string_view size, std::string_view crc, std::string_view sha1);
    bool diskComes(std::string_view sha1);
    // Whether the open set's parent came before it (only then may `merge`
    // find one).
    bool parentCameFirst() const { return openParent_ != ~0u; }
    bool merge(MergeFound& parentLine);
    void written(const NamePlace& place)
    {
        assert(place.nameEnd - place.nameAt <= 0xFFFF && place.mergeAt - place.nameAt <= 0xFFFF);
        coming_.nameAt = place.nameAt;
        coming_.nameSize = static_cast<std::uint16_t>(place.nameEnd - place.nameAt);
        coming_.mergeAfterName = static_cast<std::uint16_t>(place.mergeAt - place.nameAt);
        lines_.push_back(coming_);
        sets_.back().endLine = static_cast<std::uint32_t>(lines_.size());
    }

    // The merges left for the DAT's end, in the order of their lines.
    void find(std::vector<MergeFound>& found);
    // Forgets everything, for the next DAT.
    void clear();

private:
    // Lines and sets kept small: a large list holds tens of thousands.
    struct Line {
        const char* key;          // size, crc and sha1, or a disk's sha1 (set apart by `disk`)
        std::uint64_t nameAt;
        std::uint16_t keySize;
        std::uint16_t nameSize;
        std::uint16_t mergeAfterName;   // mergeAt - nameAt
        bool disk;
        std::string_view keyText() const { return std::string_view(key, keySize); }
    };
    struct Set {
        const char* name;
        const char* parent;        // kept where it came later: it names a parent not met before it
        std::uint32_t firstLine;
        std::uint32_t endLine;
        std::uint32_t parentSet;   // the parent, when known as the set opened; else ~0
        std::uint16_t nameSize;
        std::uint16_t parentSize;
        std::string_view nameText() const { return std::string_view(name, nameSize); }
        std::string_view parentText() const { return std::string_view(parent, parentSize); }
        bool parentLater() const { return parent != nullptr; }
    };
    // The first set of each name: a slot of an open-addressed table, small
    // so that the table stays in the cache (the set's own name is compared
    // where the hashes agree); 0 for an empty slot.
    struct NameSlot {
        std::uint32_t hash;
        std::uint32_t setPlusOne;
    };
    NameSlot& slotOf(std::string_view name, std::uint32_t hash);
    void addName(std::uint32_t set, std::uint32_t hash);
    std::uint32_t firstSetNamed(std::string_view name, std::uint32_t hash);
    std::uint32_t firstParentLine(std::uint32_t parent, std::string_view key, bool disk);

    // A parent holds this many lines at most to be searched line by line.
    static constexpr std::uint32_t fewLines = 32;

    TextStore texts_;
    std::vector<Line> lines_;
    std::vector<Set> sets_;
    std::vector<NameSlot> names_;            // half full at most
    std::vector<std::uint32_t> namesUsed_;   // the slots in use, to empty at the DAT's end
    bool inSet_ = false;
    std::uint32_t openParent_ = ~0u;         // the open set's parentSet
    bool comingTold_ = false;                // setComing's hashes are those of the set opening
    std::uint32_t comingNameHash_ = 0;
    std::uint32_t comingParentHash_ = 0;
    bool anyParentLater_ = false;
    Line coming_{};                          // the line about to be written
    // The lines of a parent with many, by the hash of kind and key (made
    // when first searched): its set, and where they start in keyedLines_.
    std::vector<std::pair<std::uint32_t, std::size_t>> keyedParents_;
    std::vector<HashedIndex> keyedLines_;
};
