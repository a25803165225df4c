// The seam between the scan and the DAT: the scan reports what it finds, in
// input order, to a DatWriter, one call per event, and knows nothing of the
// DAT's form. The run chooses the writer once (the combined DAT, or one DAT
// per list) and asks it, around the scan, to create, close, commit or
// abandon its files and to report the outcome. A writer is a struct that
// starts with a DatWriter whose operations it filled in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/text_output.h"

// The texts are as the scan stored them: names and values plainly, the ROM
// and disk names and the title with "&apos;" and "&amp;" decoded; each
// `raw` text is the same value exactly as the list writes it, for writers
// that decode every reference themselves.

// The longest values the scan reports: a name or value, and a text (a
// description's, a list's description).
constexpr std::size_t longestValue = 255;
constexpr std::size_t longestText = 1023;

// Element text as the scan stores a text: from `rest` (the line after the
// element's start tag, up to its end) the bytes before the first "</", at
// most longestText of them, up to the first NUL.
inline std::string_view elementText(std::string_view rest)
{
    rest = rest.substr(0, rest.find("</"));
    rest = rest.substr(0, longestText);
    return rest.substr(0, rest.find('\0'));
}

// A list line: the list's name and description (raw; empty when it has
// none), and its line number, counted from 1.
struct ListFound {
    std::string_view name;
    std::string_view description;
    std::int64_t line;
};

// A description line: the software's name, the description text, and the
// parent named by the software line (empty for none); `rawRest` is the line
// after "<description>" (its raw title is elementText(rawRest)).
struct GameFound {
    std::string_view name;
    std::string_view title;
    std::string_view parent;
    std::string_view rawRest;
};

// The values of one ROM line: those searched after its name (size, crc, md5,
// sha1), and for the list DATs the same with each that is empty there
// searched between "<rom" and the name instead (`whole`). Each size is the
// file's true size where chunk rows joined it. A ROM is reported when one
// of either set's hashes is not empty.
struct RomValues {
    std::string_view size;
    std::string_view crc;
    std::string_view md5;
    std::string_view sha1;
};

// What a writer of Reading::CombinedValues does not read is left empty:
// a game's parent, rawName, `whole`, badDump.
struct RomFound {
    std::string_view name;
    std::string_view rawName;
    RomValues afterName;
    RomValues whole;
    bool badDump;   // its status (after the name, or else before it) is "baddump"
};

// A disk with a sha1.
struct DiskFound {
    std::string_view name;
    std::string_view rawName;
    std::string_view sha1;
    bool badDump;
};

// How much of each set a writer reads; the scan is made for each (a loop
// per kind, chosen once per scan), so what a writer never reads costs it
// nothing. The combined DAT reads the list's name, the software's name and
// title, each ROM's name and the values after it, and disks; all values
// are read for the list DATs: parents, years, publishers, statuses, the ROM
// values before a name, and names as written.
enum class Reading { CombinedValues, AllValues };

// A <year> or a <publisher> line; the event hands over the line after the
// start tag (the raw text is elementText of it).
enum class Detail { Year, Publisher };

struct DatWriter {
    // The scan's events.
    void (*listBegins)(DatWriter& writer, const ListFound& list);
    void (*gameOpens)(DatWriter& writer, const GameFound& game);
    void (*detailFound)(DatWriter& writer, Detail kind, std::string_view rawRest);
    void (*romFound)(DatWriter& writer, const RomFound& rom);
    void (*diskFound)(DatWriter& writer, const DiskFound& disk);
    void (*gameCloses)(DatWriter& writer);
    void (*inputEnds)(DatWriter& writer);

    // The run's steps, in this order: prepare once (the directory the DATs
    // go to made); removeLeftovers once the run holds its turn at that
    // directory (so that what it finds there was left by a run that no
    // longer lives); then open before the scan; close after it; commit or
    // abandon; report. False means failure, named by `failedDat`.
    bool (*prepare)(DatWriter& writer);
    void (*removeLeftovers)(DatWriter& writer);
    bool (*open)(DatWriter& writer);
    bool (*close)(DatWriter& writer);
    bool (*commit)(DatWriter& writer);
    void (*abandon)(DatWriter& writer);
    // Prints the summary of a complete run of `lines` lines; returns the exit
    // status.
    int (*report)(DatWriter& writer, std::int64_t lines);

    Reading reading = Reading::AllValues;
    // The directory the DATs go to, as the user named it: OUT for the list
    // DATs, nullptr for the working directory.
    const char* directory = nullptr;
    // Where the DAT text goes now; the scan stops once it has failed.
    TextOutput* output = nullptr;
    // The DAT a failure concerns, and whether it could not be created at all.
    const char* failedDat = "";
    bool failedToOpen = false;
};
