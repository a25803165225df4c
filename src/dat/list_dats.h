// One DAT per list: OUT/LIST.dat for each list the scan meets, in a list
// form (the ClrMamePro text form or Logiqx XML), each set titled by the
// software's description alone, a clone linked to its parent, with its year
// and manufacturer and its ROMs' bad dumps, every value decoded; no
// rebuildto line. Each DAT is written as its .part and all are put in place
// once every one was written, all or none. A list whose name cannot be a
// file's (or was met before, in any ASCII case: such names are one file on
// some systems) is skipped and named on stderr; what comes before the first
// list is reported as a list of no name. One list's DAT is open at a time;
// what is kept for the end grows with the number of lists.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "dat/dat_writer.h"
#include "dat/held_text.h"
#include "dat/list_form.h"
#include "dat/merges.h"
#include "platform/pending_file.h"

// The set being written: its lines wait for its first ROM or disk (or its
// end), so that the year and the publisher after its description join them.
struct PendingSet {
    bool waiting;       // the set's lines are not written yet
    bool open;          // a set is open that the form ends itself (keepsToSets)
    bool hasYear;
    bool hasPublisher;
    HeldText<longestValue> name;   // decoded, and cut as the scan cuts its values
    HeldText<longestText> title;
    HeldText<longestValue> parent;
    HeldText<longestText> year;
    HeldText<longestText> publisher;
};

// The list DATs' files, whatever their form: where each list's DAT goes (or
// why it cannot have one), the DATs begun, and the run's steps on them.
class ListFiles : public DatOutcome {
public:
    static constexpr bool readsAllValues = true;

    // OUT is there (made by this run when `madeDirectory`).
    bool prepare(bool madeDirectory);
    // A DAT's leftover is removed when its own is created.
    void removeLeftovers() {}
    // Puts every DAT in place, or none: when one cannot be, or an interrupt
    // comes meanwhile, every DAT is left as it was (false).
    bool commit();
    // Removes every DAT begun, and OUT when this run made it and it is
    // empty.
    void abandon();
    // The skipped lists on stderr, then the summary; 3 when a list was
    // skipped.
    int report(std::int64_t lines);

protected:
    // Into the directory `dats`, each DAT through `out` in turn; with
    // `memory`, no file is touched: the DATs are appended there one after
    // the other, and the skipped lists' lines after them when the input
    // ends.
    ListFiles(TextOutput& out, const char* dats, std::string_view version, std::string* memory);

    // Before a scan: no DAT begun, the sink taking what comes first.
    void startScan();
    // A list line: the output its DAT goes to, opened (`opened` then true),
    // or the sink for a list that cannot have one, or a failed stream when
    // the DAT cannot be created.
    TextOutput* beginDat(const ListFound& list, bool& opened);
    // Ends what the scan wrote to so far, once the form has ended the open
    // DAT. False when the DAT could not be written completely.
    bool endDat();
    // Something of a set is reported: before the first list it counts as a
    // list of no name.
    void noteReported() { reportedBeforeFirstList_ |= sinkHoldsPreamble_; }
    // A failed stream that stops the scan.
    TextOutput* brokenOutput();
    // The skipped lists' lines follow the DATs in memory.
    void appendSkippedToMemory();

    TextOutput* out_;   // the stream of the DAT being written
    std::string_view version_;   // every header's (none when empty)
    bool datOpen_ = false;

private:
    const char* whyNoDat(std::string_view name) const;
    void noteSkipped(std::int64_t line, std::string_view name, const char* reason);
    bool openDat(std::string_view name);

    std::string* memory_;                     // instead of files
    bool createdDirectory_ = false;
    std::deque<PendingFile> files_;           // the DATs this run began, in order (growing copies none)
    std::unordered_set<std::string> met_;     // their lists' names, case-folded
    std::string skippedLines_;                // one stderr line per list skipped
    std::string failedName_;                  // the DAT a failure concerns
    bool sinkHoldsPreamble_ = true;           // the sink takes what comes before the first list
    bool reportedBeforeFirstList_ = false;    // a set, ROM or disk came before it
    TextOutput sink_;                         // takes a skipped list's text
    TextOutput broken_;                       // a failed stream that stops the scan
};

// The list DATs in the form `Form`.
template <ListForm Form>
class ListDats : public ListFiles {
public:
    ListDats(TextOutput& out, const char* dats, std::string_view version, std::string* memory = nullptr);

    void listBegins(const ListFound& list);
    void gameOpens(const GameFound& game);
    // A year or publisher counts between the set's description and its
    // first ROM or disk, once.
    void detailFound(Detail kind, std::string_view rawRest);
    void romFound(const RomFound& rom);
    void diskFound(const DiskFound& disk);
    void gameCloses();
    // The last DAT is closed, and in memory the skipped lists follow.
    void inputEnds();

    bool open();
    // False when a DAT could not be created or written completely.
    bool close();

private:
    // Room for a value decoded: never more bytes than it had.
    struct DecodingRoom {
        char bytes[longestRawValue];
    };
    std::string_view decoded(std::string_view raw, std::size_t most, DecodingRoom& room) const;
    template <std::size_t N>
    void keepDecoded(HeldText<N>& held, std::string_view raw) const;
    template <std::size_t N>
    void keepElementText(HeldText<N>& held, std::string_view rest) const;
    void writeSet();
    bool setTakesLine();
    bool appendMerge(std::string& into, const MergeFound& merge);
    std::string_view knownMerge();
    void writeDisk(std::string_view name, std::string_view sha1, bool badDump);
    void closeOpenSet();
    bool writeMerges();
    bool finishCurrent();

    // A disk of the open set, held for the end of its ROMs (disksAfterRoms).
    struct HeldDisk {
        HeldText<longestValue> name;
        HeldText<longestValue> sha1;
        bool badDump;
    };

    PendingSet set_;
    std::vector<HeldDisk> heldDisks_;
    Merges merges_;
    std::vector<MergeFound> mergesFound_;
    std::string mergeText_;                 // a line's merge, known as it is written
    std::string mergeTexts_;                // what goes in at the end, one after the other
    std::vector<std::size_t> mergeEnds_;    // where each ends in mergeTexts_
    std::vector<TextInsertion> insertions_;
};
