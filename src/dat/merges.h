// The merges of one list DAT: a clone's ROM whose size, crc and sha1 (as the
// DAT writes them, none empty) equal those of a ROM of its parent's set gets
// that ROM's name as its merge, the first such ROM in the parent's order; a
// clone's disk likewise by its sha1. The parent is the first set of the DAT
// with the name the clone gives (never the clone itself). Since a parent may
// come after its clones, what is written is noted as it goes and the merges
// are found when the DAT is complete. What is noted is what one list needs
// (the sets, and each line's values and place), never the collection.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "dat/held_text.h"

// Where a rom or disk line's name stands in the DAT, as written, and where
// a merge goes in that line.
struct NamePlace {
    std::uint64_t nameAt;
    std::uint64_t nameEnd;
    std::uint64_t mergeAt;
};

// A merge found: the clone's line gets, at `mergeAt`, the name of the
// parent's line that stands at parentNameAt (as written).
struct MergeFound {
    std::uint64_t mergeAt;
    std::uint64_t parentNameAt;
    std::uint32_t parentNameSize;
};

// A set's name or a parent's line, found by a hash of its text: sorted by
// hash, then by set or line, so that among texts of one hash the first of
// each text comes first.
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
    // A set opened in the DAT, with its name and parent (empty for none),
    // as the DAT writes them. The lines written after it are its own.
    void setOpens(std::string_view name, std::string_view parent);
    // The set ended: the lines written after it belong to no set.
    void setCloses();
    // A rom line written: its values as written. Noted in a set when size,
    // crc and sha1 are all there.
    void romWritten(std::string_view size, std::string_view crc, std::string_view sha1, const NamePlace& place);
    // A disk line written.
    void diskWritten(std::string_view sha1, const NamePlace& place);
    // The merges of the DAT, in the order of their lines.
    void find(std::vector<MergeFound>& found);
    // Forgets everything, for the next DAT.
    void clear();

private:
    struct Line {
        const char* key;          // size, crc and sha1, or a disk's sha1 (set apart by `disk`)
        std::uint64_t nameAt;
        std::uint32_t set;
        std::uint16_t keySize;
        std::uint16_t nameSize;
        std::uint16_t mergeAfterName;   // mergeAt - nameAt
        bool disk;
        std::string_view keyText() const { return std::string_view(key, keySize); }
    };
    struct Set {
        std::string_view name;
        std::string_view parent;
        std::uint32_t firstLine;
        std::uint32_t endLine;
    };
    void note(std::string_view key, const NamePlace& place, bool disk);
    std::uint32_t firstSetNamed(std::string_view name) const;
    std::uint32_t firstParentLine(std::uint32_t parent, const Line& clone) const;

    TextStore texts_;
    std::vector<Line> lines_;
    std::vector<Set> sets_;
    bool inSet_ = false;
    bool anyParent_ = false;                  // some set names a parent
    // Room for find(), kept from list to list.
    std::vector<HashedIndex> setsByName_;
    std::vector<std::uint32_t> parentOf_;
    std::vector<HashedIndex> parentLines_;    // hashed with their set and kind
};
