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
// copy ended. True when the sha1 is not empty.
template <bool allValues>
bool readDisk(ScanState& state, std::int32_t from);

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

template <DatWriter Writer>
inline void handleDescription(ScanState& state, Writer& writer, std::int32_t from)
{
    readDescription(state, from);
    writer.gameOpens(GameFound{state.softwareName.view(), state.descriptionText.view(), state.cloneOf.view(),
                               restOfLine(state, from)});
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
    state.romHeld = false;
    const RomValues afterName{
        romSize(state.rom.size.view(), state.romChunks != 0, state.romChunksValid, state.romChunkSum),
        state.rom.crc.view(), state.rom.md5.view(), state.rom.sha1.view()};
    if constexpr (!Writer::readsAllValues)
        writer.romFound(RomFound{state.romName.view(), {}, afterName, {}, false});
    else
        writer.romFound(RomFound{state.romName.view(),
                                 state.romNameRawIsName ? state.romName.view() : state.romNameRaw.view(), afterName,
                                 wholeRomValues(state, afterName), state.romBadDump});
}

template <DatWriter Writer>
inline void handleDisk(ScanState& state, Writer& writer, std::int32_t from)
{
    if (readDisk<Writer::readsAllValues>(state, from))
        writer.diskFound(DiskFound{state.diskName.view(), state.diskNameRaw.view(), state.diskSha1.view(),
                                   state.diskBadDump});
}

template <DatWriter Writer>
inline void handleSoftwareClose(ScanState&, Writer& writer)
{
    writer.gameCloses();
}
