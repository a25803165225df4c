// The seam between the scan and the DAT: the scan reports what it finds, in
// input order, to a DAT writer, one call per event, and knows nothing of the
// DAT's form. A writer is a class with the events and the run's steps that
// DatWriter names, and what it reads of each set as a constant of its type;
// the scan is made for each writer type, so that its events are plain calls.
// The run chooses the writer once (the combined DAT, or one DAT per list in
// one of its forms) and asks it, around the scan, to create, close, commit
// or abandon its files and to report the outcome.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bytes/find_byte.h"
#include "dat/sizes.h"
#include "platform/text_output.h"

// The texts are as the scan stored them: names and values plainly, the ROM
// and disk names and the title with "&apos;" and "&amp;" decoded; each
// `raw` text is the same value exactly as the list writes it, whole, for
// writers that decode every reference themselves (and cut what they
// decoded as the scan cuts its values).

// The longest values a DAT holds: a name or value, and a text (a
// description's, a list's description); a value as the list writes it lies
// within one piece of a line.
constexpr std::size_t longestValue = 255;
constexpr std::size_t longestText = 1023;
constexpr std::size_t longestRawValue = 2047;

// Element text as the list writes it: from `rest` (the line after the
// element's start tag, up to its end) the bytes before the first "</", up to
// the first NUL.
inline std::string_view elementText(std::string_view rest)
{
    // The first NUL or "</", whichever comes first.
    for (std::size_t at = 0;; at++) {
        at += findAnyByte<'<', '\0'>(rest.data() + at, rest.size() - at);
        if (at >= rest.size() || rest[at] == '\0' || (at + 1 < rest.size() && rest[at + 1] == '/'))
            return rest.substr(0, at);
    }
}

// A list line: the list's name (as the scan stores names) and description
// (raw; empty when it has none), and its line number, counted from 1.
struct ListFound {
    std::string_view name;
    std::string_view description;
    std::int64_t line;
};

// A description line: the software's name (and, whole, `rawName`), the
// description text, the parent named by the software line (raw; empty for
// none), and `rawRest`, the line after "<description>" (its raw title is
// elementText(rawRest)).
struct GameFound {
    std::string_view name;
    std::string_view rawName;
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
    RomSize size;
    std::string_view crc;
    std::string_view md5;
    std::string_view sha1;
};

// What a writer that does not read all values (see DatWriter) does not read
// is left empty: a game's rawName and parent, a ROM's rawName, `whole`,
// badDump. One that reads them all gets no decoded title: it decodes the
// raw one (elementText of rawRest) itself.
struct RomFound {
    std::string_view name;
    std::string_view rawName;
    RomValues afterName;
    RomValues whole;
    bool badDump;   // its status (after the name, or else before it) is "baddump"
    bool rawNameHoldsNoReference;   // known by the scan: decoded, rawName is itself
};

// A disk with a sha1.
struct DiskFound {
    std::string_view name;
    std::string_view rawName;
    std::string_view sha1;
    bool badDump;
};

// A <year> or a <publisher> line; the event hands over the line after the
// start tag (the raw text is elementText of it).
enum class Detail { Year, Publisher };

// What every writer shows the scan and the run besides its events.
struct DatOutcome {
    // Where the DAT text goes now; the scan stops once it has failed.
    TextOutput* output = nullptr;
    // The directory the DATs go to, as the user named it: OUT for the list
    // DATs, nullptr for the working directory.
    const char* directory = nullptr;
    // The DAT a failure concerns, and whether it could not be created at all
    // or not put in place.
    const char* failedDat = "";
    bool failedToOpen = false;
    bool failedToReplace = false;
};

// A DAT writer. `readsAllValues` says how much of each set it reads, and
// the scan is made for each: the combined DAT (false) reads the list's
// name, the software's name and title, each ROM's name and the values after
// it, and disks; with true, all values are read: parents, years,
// publishers, statuses, the ROM values before a name, and names as written.
//
// The scan's events come in input order. The run's steps, in this order:
// prepare once the run holds its turn at the directory the DATs go to (made
// by the turn when missing, `madeDirectory` then true); removeLeftovers
// then (what it finds there was left by a run that no longer lives); open
// before the scan; close after it;
// commit or abandon; report, which prints the summary of a complete run of
// `lines` lines and returns the exit status. False means failure, named by
// `failedDat`.
template <typename W>
concept DatWriter = std::derived_from<W, DatOutcome> &&
    requires(W& writer, const ListFound& list, const GameFound& game, Detail detail, std::string_view rest,
             const RomFound& rom, const DiskFound& disk, std::int64_t lines, bool madeDirectory) {
        { W::readsAllValues } -> std::convertible_to<bool>;
        { writer.listBegins(list) } -> std::same_as<void>;
        { writer.gameOpens(game) } -> std::same_as<void>;
        { writer.detailFound(detail, rest) } -> std::same_as<void>;
        { writer.romFound(rom) } -> std::same_as<void>;
        { writer.diskFound(disk) } -> std::same_as<void>;
        { writer.gameCloses() } -> std::same_as<void>;
        { writer.inputEnds() } -> std::same_as<void>;
        { writer.prepare(madeDirectory) } -> std::same_as<bool>;
        { writer.removeLeftovers() } -> std::same_as<void>;
        { writer.open() } -> std::same_as<bool>;
        { writer.close() } -> std::same_as<bool>;
        { writer.commit() } -> std::same_as<bool>;
        { writer.abandon() } -> std::same_as<void>;
        { writer.report(lines) } -> std::same_as<int>;
    };
