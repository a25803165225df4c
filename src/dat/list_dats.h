// One DAT per list: OUT/LIST.dat for each list the scan meets, in the
// ClrMamePro text form or in Logiqx XML, each set titled by the software's
// description alone, a clone linked to its parent, with its year and
// manufacturer and its ROMs' bad dumps, every value decoded; no rebuildto
// line. Each DAT is written as its .part and all are put in place once every
// one was written. A list whose name cannot be a file's (or was met before,
// in any ASCII case: such names are one file on some systems) is skipped and
// named on stderr; what comes before the first list is reported as a list of
// no name. One list's DAT is open at a time; what is kept for the end grows
// with the number of lists.
#pragma once

#include <cassert>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>

#include "dat/dat_writer.h"
#include "platform/pending_file.h"

// A value kept for later, of at most N bytes.
template <std::size_t N>
struct HeldText {
    char bytes[N];
    std::size_t size;

    void keep(std::string_view text)
    {
        assert(text.size() <= N);
        size = text.copy(bytes, N);
    }
    std::string_view view() const { return std::string_view(bytes, size); }
};

// The set being written: its lines wait for its first ROM or disk (or its
// end), so that the year and the publisher after its description join them.
struct PendingSet {
    bool waiting;       // the set's lines are not written yet
    bool open;          // a game block is open (the XML form closes it)
    bool hasYear;
    bool hasPublisher;
    HeldText<longestValue> name;   // raw, as the list writes them
    HeldText<longestText> title;
    HeldText<longestValue> parent;
    HeldText<longestText> year;
    HeldText<longestText> publisher;
};

struct ListDats : DatWriter {
    bool xml;                                // Logiqx XML, not the text form
    std::string* memory;                     // instead of files: every DAT in turn, then the skipped lines
    bool createdDirectory;
    std::deque<PendingFile> files;           // the DATs this run began, in order (growing copies none)
    std::unordered_set<std::string> met;     // their lists' names, case-folded
    std::string skippedLines;                // one stderr line per list skipped
    std::string failedName;                  // the DAT a failure concerns
    TextOutput* out;                         // the stream of the DAT being written
    bool datOpen;
    bool sinkHoldsPreamble;                  // the sink takes what comes before the first list
    bool reportedBeforeFirstList;            // a set, ROM or disk came before it
    TextOutput sink;                         // takes a skipped list's text
    TextOutput broken;                       // a failed stream that stops the scan
    PendingSet set;
};

// A writer of the list DATs into `directory`, each through `out` in turn, as
// Logiqx XML with `xml`. With `memory`, no file is touched: the DATs are
// appended there one after the other, and the skipped lists' lines after
// them when the input ends.
void startListDats(ListDats& dats, TextOutput& out, const char* directory, std::string* memory = nullptr,
                   bool xml = false);
