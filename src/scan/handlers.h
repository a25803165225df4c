// The element handlers: they remember the list and software names and report
// to the DAT writer each list line, a game at each description, each ROM with
// a hash (held until the next line, which may add a chunk's size), when asked
// for each disk with a sha1, and the game's end at each software closing
// line. Each handler reads its line into the record (made for either kind of
// writer: what a writer does not read stays empty), then reports to the
// writer; the reports are made for each writer type.
#pragma once

#include <cassert>
#include <string_view>

#include "bytes/inlining.h"
#include "dat/dat_writer.h"
#include "scan/scan_state.h"

// Reading a line into the record, from `from` (just past the tag's name).
// `allValues` is the writer's readsAllValues.
void readSoftwareList(ScanState& state, std::int32_t from);
template <bool allValues>
void readSoftware(ScanState& state, std::int32_t from);
void readDescription(ScanState& state, std::int32_t from);
template <bool allValues>
void readRom(ScanState& state, std::int32_t from);
// A disk line: the name decoded, the sha1 searched from where the name's
// copy ended. True when the disk is to be reported now: its sha1 is not
// empty, and its start tag ends in the piece.
template <bool allValues>
bool readDisk(ScanState& state, std::int32_t from);

// A piece that continues the open start tag, its first non-blank byte at
// `p`: each of the tag's values still empty searched before the piece's
// first '>'. True when the piece holds one (the tag ends with it).
template <bool allValues>
bool continueStartTag(ScanState& state, std::int32_t p);

// Ends the open start tag: the ROM held when it has a hash; true when the
// disk is to be reported.
template <bool allValues>
bool closeStartTag(ScanState& state);

// With a ROM held, the next line, its first non-blank byte at `p`: true when
// it is a chunk row (`<rom` and a blank, no name, no hash, a "continue" or
// "ignore" loadflag and a size in its start tag), whose size then joins the
// held ROM's. Such a row writes nothing of its own.
bool joinChunkRow(ScanState& state, std::int32_t p);

// For the list DATs: the held ROM's values, each empty after the name taken
// from before it, with the true size.
RomValues wholeRomValues(const ScanState& state, const RomValues& afterName);

// The piece's text from `from` on (empty past its end).
inline std::string_view restOfLine(const ScanState& state, std::int32_t from)
{
    const std::int32_t end = contentEnd(state);
    return from < end ? std::string_view(state.line + from, static_cast<std::size_t>(end - from)) : std::string_view();
}

template <DatWriter Writer>
inline void handleSoftwareList(ScanState& state, Writer& writer, std::int32_t from)
{
    readSoftwareList(state, from);
    writer.listBegins(ListFound{state.listName.view(), state.listDescription.view(), state.lineCount + 1});
}

template <DatWriter Writer>
inline void handleSoftware(ScanState& state, Writer&, std::int32_t from)
{
    readSoftware<Writer::readsAllValues>(state, from);
}

// A writer that reads all values decodes the title from the raw text
// itself: the scan's own decoded copy is made only for the others.
template <DatWriter Writer>
inline void handleDescription(ScanState& state, Writer& writer, std::int32_t from)
{
    if constexpr (!Writer::readsAllValues)
        readDescription(state, from);
    writer.gameOpens(GameFound{state.softwareName.view(), state.softwareNameRaw.view(),
                               Writer::readsAllValues ? std::string_view() : state.descriptionText.view(),
                               state.cloneOf.view(), restOfLine(state, from)});
}

// A <year> or <publisher> line: its text, as it stands, to the writer.
template <DatWriter Writer>
inline void handleDetail(ScanState& state, Writer& writer, Detail kind, std::int32_t from)
{
    writer.detailFound(kind, restOfLine(state, from));
}

template <DatWriter Writer>
inline void handleRom(ScanState& state, Writer&, std::int32_t from)
{
    readRom<Writer::readsAllValues>(state, from);
}

// Reports the held ROM: its size the sum of its own and its chunks' when
// there are chunks and all are numbers summing below 2^64.
template <DatWriter Writer>
inline void writeHeldRom(ScanState& state, Writer& writer)
{
    assert(state.romHeld);
    state.romHeld = state.waits = false;
    const RomValues afterName{
        romSize(state.rom.size.view(), state.romChunks != 0, state.romChunksValid, state.romChunkSum),
        state.rom.crc.view(), state.rom.md5.view(), state.rom.sha1.view()};
    if constexpr (!Writer::readsAllValues)
        writer.romFound(RomFound{state.romName.view(), {}, afterName, {}, false, false});
    else
        writer.romFound(RomFound{state.romName.view(),
                                 state.romNameRawIsName ? state.romName.view() : state.romNameRaw.view(), afterName,
                                 wholeRomValues(state, afterName), state.romBadDump, state.romNameRawIsName});
}

template <DatWriter Writer>
inline void reportDisk(ScanState& state, Writer& writer)
{
    writer.diskFound(DiskFound{state.diskName.view(), state.diskNameRaw.view(), state.diskSha1.view(),
                               state.diskBadDump});
}

template <DatWriter Writer>
inline void handleDisk(ScanState& state, Writer& writer, std::int32_t from)
{
    if (readDisk<Writer::readsAllValues>(state, from))
        reportDisk(state, writer);
}

// The open start tag ends: its disk reported, or its ROM held.
template <DatWriter Writer>
inline void endStartTag(ScanState& state, Writer& writer)
{
    if (closeStartTag<Writer::readsAllValues>(state))
        reportDisk(state, writer);
}

// With a start tag open, the next piece, its first non-blank byte at `p`:
// true when it continues the tag (it is counted, and writes nothing); a
// piece that opens with '<' ends the tag and is classified as any.
template <DatWriter Writer>
RARELY_TAKEN bool takeTagContinuation(ScanState& state, Writer& writer, std::int32_t p)
{
    if (p < state.lineLength && state.line[p] == '<') {
        endStartTag(state, writer);
        return false;
    }
    if (continueStartTag<Writer::readsAllValues>(state, p) || --state.tagPiecesLeft == 0)
        endStartTag(state, writer);
    return true;
}

template <DatWriter Writer>
inline void handleSoftwareClose(ScanState&, Writer& writer)
{
    writer.gameCloses();
}
