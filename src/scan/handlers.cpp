// The element handlers.
#include "scan/handlers.h"

#include <cassert>
#include <cstdint>

#include "bytes/fast_paths.h"
#include "bytes/find_byte.h"
#include "bytes/inlining.h"
#include "bytes/small_copy.h"
#include "dat/sizes.h"
#include "scan/extract.h"

// Copies the "name" value found from `from` plainly; empty when there is none.
template <std::size_t N>
static void copyNamePlain(ScanState& state, std::int32_t from, HeldText<N>& target)
{
    std::int32_t match = locateAttribute(state, "name", from);
    target.clear();
    if (match >= 0)
        copyQuotedPlain(state, match, target);
}

// Copies the "name" value found from `from` decoded into `target` (empty
// when there is none). Returns where the searches for the other values
// start: the name's closing quote, or the end of the piece when there is
// no name.
static std::int32_t copyNameDecoded(ScanState& state, std::int32_t from, ValueText& target)
{
    const std::int32_t match = locateAttribute(state, "name", from);
    target.clear();
    if (match < 0)
        return state.lineLength;
    copyQuotedDecoded(state, match, target);
    return state.pos;
}

// Copies the "name" value found from `from` decoded into `target` (empty
// when there is none) and as it stands into `raw`. Returns where the
// searches for the other values start: the name's closing quote, or the end
// of the piece when there is no name. `match` receives where the name
// keyword stands (-1 for none).
static std::int32_t copyNameBoth(ScanState& state, std::int32_t from, ValueText& target, RawText& raw,
                                 std::int32_t& match)
{
    match = locateAttribute(state, "name", from);
    target.clear();
    raw.clear();
    if (match < 0)
        return state.lineLength;
    copyQuotedPlain(state, match, raw);
    copyQuotedDecoded(state, match, target);
    return state.pos;
}

// Empties the field, then fills it from the value behind `match`, if any.
static void copyRomValue(ScanState& state, std::int32_t match, ValueText& target)
{
    target.clear();
    if (match >= 0)
        copyQuotedPlain(state, match, target);
}

// Copies the value of the attribute `keyword` found from `from` within the
// line's start tag (before its first '>') plainly; empty when there is none.
template <std::size_t N>
static void copyTagAttribute(ScanState& state, const char* keyword, std::int32_t from, HeldText<N>& target)
{
    std::int32_t match = locateAttributeBefore(state, keyword, from, startTagEnd(state, from));
    target.clear();
    if (match >= 0)
        copyQuotedPlain(state, match, target);
}

void readSoftwareList(ScanState& state, std::int32_t from)
{
    copyNamePlain(state, from, state.listName);
    copyTagAttribute(state, "description", from, state.listDescription);
}

// The usual software line (see locateUsualSoftware): its name and its
// parent's taken off at once, or the parent searched after ` supported="`.
// False for any other line, which the general path reads (nothing is
// changed then).
static bool readUsualSoftware(ScanState& state, std::int32_t from)
{
    UsualSoftware software;
    if (!locateUsualSoftware(state, from, software))
        return false;
    copyUsualValue(state, software.name, state.softwareNameRaw);
    if (software.supported)
        copyTagAttribute(state, "cloneof", software.name.end + 1, state.cloneOf);
    else
        copyUsualValue(state, software.parent, state.cloneOf);
    return true;
}

template <bool allValues>
INLINE_ALL_CALLS void readSoftware(ScanState& state, std::int32_t from)
{
    if constexpr (!allValues) {
        copyNamePlain(state, from, state.softwareName);
        return;
    }
    // The name as the scan keeps names is the raw name's start.
    if (!fastPathsOn() || !readUsualSoftware(state, from)) {
        copyNamePlain(state, from, state.softwareNameRaw);
        copyTagAttribute(state, "cloneof", from, state.cloneOf);
    }
    state.softwareName.keep(state.softwareNameRaw.view().substr(0, longestValue));
}

void readDescription(ScanState& state, std::int32_t from)
{
    copyTextDecoded(state, from, state.descriptionText);
}

// For the list DATs: a ROM value that is empty after the name (`after`),
// searched between "<rom" (`from`) and the name keyword (`nameMatch`).
static void copyValueBeforeName(ScanState& state, const char* keyword, std::int32_t from, std::int32_t nameMatch,
                                const ValueText& after, ValueText& target)
{
    target.clear();
    if (after.empty() && nameMatch > from)
        copyRomValue(state, locateAttributeBefore(state, keyword, from, nameMatch), target);
}

// For the list DATs, the rest of a ROM line (its name keyword at
// `nameMatch`, -1 for none, its status keyword found after the name at
// `statusMatch`): each value empty after the name as found before it, and
// the dump status.
static void readRomRest(ScanState& state, std::int32_t from, std::int32_t nameMatch, std::int32_t statusMatch)
{
    copyValueBeforeName(state, "size", from, nameMatch, state.rom.size, state.romBefore.size);
    copyValueBeforeName(state, "crc", from, nameMatch, state.rom.crc, state.romBefore.crc);
    copyValueBeforeName(state, "sha", from, nameMatch, state.rom.sha1, state.romBefore.sha1);
    copyValueBeforeName(state, "md5", from, nameMatch, state.rom.md5, state.romBefore.md5);
    std::string_view status = plainValue(state, statusMatch, nameCapacity);
    if (status.empty() && nameMatch > from)
        status = plainValue(state, locateAttributeBefore(state, "status", from, nameMatch), nameCapacity);
    state.romHasStatus = !status.empty();
    state.romBadDump = status == "baddump";
}

// True when the ROM found holds a hash (before its name too, for the list
// DATs, which read those).
template <bool allValues>
static bool romHasHash(const ScanState& state)
{
    const bool after = !state.rom.crc.empty() || !state.rom.sha1.empty() || !state.rom.md5.empty();
    if constexpr (!allValues)
        return after;
    return after || !state.romBefore.crc.empty() || !state.romBefore.sha1.empty() || !state.romBefore.md5.empty();
}

// Whether the line's start tag, begun at `from`, ends in the piece: a '>'
// stands after `from`. The usual line's text ends with it.
static bool startTagEnds(const ScanState& state, std::int32_t from)
{
    const std::int32_t end = contentEnd(state);
    return (end > from && state.line[end - 1] == '>') || startTagEnd(state, from) < state.lineLength;
}

// Opens a start tag of the kind when the line has no '>' for it.
static void noteOpenTag(ScanState& state, LineKind kind, std::int32_t from)
{
    if (startTagEnds(state, from)) {
        state.tagPiecesLeft = 0;
        return;
    }
    state.openTag = kind;
    state.tagPiecesLeft = maxTagPieces;
}

template <bool allValues>
INLINE_ALL_CALLS void readRom(ScanState& state, std::int32_t from)
{
    // Each keyword is searched afresh from attrStart, the name's closing
    // quote: read off the usual line at once where it is one (nothing then
    // stands before the name), else the name and then all four keywords in
    // one pass.
    std::int32_t nameMatch = -1;
    std::int32_t statusMatch = -1;
    UsualRom rom;
    if (fastPathsOn() && locateUsualRom<allValues>(state, from, rom)) {
        copyUsualValue(state, rom.name, state.romName);
        if constexpr (allValues)
            state.romNameRawIsName = true;   // the name holds no reference: its raw text is the name
        state.attrStart = rom.name.end;
        copyUsualValue(state, rom.size, state.rom.size);
        copyUsualValue(state, rom.crc, state.rom.crc);
        copyUsualValue(state, rom.sha1, state.rom.sha1);
        copyRomValue(state, rom.md5Match, state.rom.md5);
        statusMatch = rom.statusMatch;
    } else {
        if constexpr (allValues) {
            state.attrStart = copyNameBoth(state, from, state.romName, state.romNameRaw, nameMatch);
            state.romNameRawIsName = false;
        } else {
            state.attrStart = copyNameDecoded(state, from, state.romName);
        }
        std::int32_t found[romKeywordCount];
        locateRomAttributes(state, state.attrStart, found);
        copyRomValue(state, found[romSizeKey], state.rom.size);
        copyRomValue(state, found[romCrcKey], state.rom.crc);
        copyRomValue(state, found[romShaKey], state.rom.sha1);
        copyRomValue(state, found[romMd5Key], state.rom.md5);
        if constexpr (allValues)
            statusMatch = locateAttribute(state, "status", state.attrStart);
    }
    if constexpr (allValues)
        readRomRest(state, from, nameMatch, statusMatch);
    noteOpenTag(state, LineKind::Rom, from);
    state.romHeld = state.tagPiecesLeft == 0 && romHasHash<allValues>(state);
    state.waits = state.tagPiecesLeft > 0 || state.romHeld;
    state.romChunks = 0;
    state.romChunksValid = true;
    state.romChunkSum = 0;
}

// Copies the value of `keyword` whose keyword and equals sign stand in
// line[from, tagEnd) into target (empty when there is none); the value
// itself is copied as any value is, up to its closing quote.
static void copyStartTagValue(ScanState& state, const char* keyword, std::int32_t from, std::int32_t tagEnd,
                              ValueText& target)
{
    copyRomValue(state, locateAttributeBefore(state, keyword, from, tagEnd), target);
}

// True when the line, its first non-blank byte at `p`, is a chunk row; its
// size is then in `size`.
static bool isChunkRow(ScanState& state, std::int32_t p, ValueText& size)
{
    const std::int32_t from = p + 4;
    if (!textAt(state.line, state.lineLength, p, "<rom", 4) || from >= state.lineLength ||
        (state.line[from] != ' ' && state.line[from] != '\t'))
        return false;
    if (locateAttribute(state, "name", from) >= 0)
        return false;
    const std::int32_t tagEnd = startTagEnd(state, from);
    ValueText value;
    for (const char* hash : {"crc", "sha", "md5"}) {
        copyStartTagValue(state, hash, from, tagEnd, value);
        if (!value.empty())
            return false;
    }
    copyStartTagValue(state, "loadflag", from, tagEnd, value);
    if (value.view() != "continue" && value.view() != "ignore")
        return false;
    copyStartTagValue(state, "size", from, tagEnd, size);
    return !size.empty();
}

bool joinChunkRow(ScanState& state, std::int32_t p)
{
    assert(state.romHeld);
    ValueText size;
    if (!isChunkRow(state, p, size))
        return false;
    state.romChunks++;
    std::uint64_t chunk = 0;
    if (state.romChunksValid && sizeNumber(size.view(), chunk) && chunk <= UINT64_MAX - state.romChunkSum)
        state.romChunkSum += chunk;
    else
        state.romChunksValid = false;
    return true;
}

// A value found after the name, or else the one found before it.
static std::string_view eitherOf(const ValueText& after, const ValueText& before)
{
    return !after.empty() ? after.view() : before.view();
}

RomValues wholeRomValues(const ScanState& state, const RomValues& afterName)
{
    const RomTexts& before = state.romBefore;
    if (before.size.empty() && before.crc.empty() && before.md5.empty() && before.sha1.empty())
        return afterName;
    return RomValues{romSize(eitherOf(state.rom.size, before.size), state.romChunks != 0, state.romChunksValid,
                             state.romChunkSum),
                     eitherOf(state.rom.crc, before.crc), eitherOf(state.rom.md5, before.md5),
                     eitherOf(state.rom.sha1, before.sha1)};
}

template <bool allValues>
bool readDisk(ScanState& state, std::int32_t from)
{
    std::int32_t nameMatch = -1;
    std::int32_t shaFrom = 0;
    if constexpr (allValues)
        shaFrom = copyNameBoth(state, from, state.diskName, state.diskNameRaw, nameMatch);
    else
        shaFrom = copyNameDecoded(state, from, state.diskName);
    copyRomValue(state, locateAttribute(state, "sha", shaFrom), state.diskSha1);
    if constexpr (allValues) {
        const std::string_view status = plainValue(state, locateAttribute(state, "status", shaFrom), nameCapacity);
        state.diskHasStatus = !status.empty();
        state.diskBadDump = status == "baddump";
    }
    noteOpenTag(state, LineKind::Disk, from);
    state.waits = state.tagPiecesLeft > 0;
    return state.tagPiecesLeft == 0 && !state.diskSha1.empty();
}

// Copies, where it is still empty, the value of `keyword` whose keyword and
// equals sign stand in line[from, tagEnd).
static void fillEmptyValue(ScanState& state, const char* keyword, std::int32_t from, std::int32_t tagEnd,
                           ValueText& value, bool alsoEmpty = true)
{
    if (value.empty() && alsoEmpty)
        copyRomValue(state, locateAttributeBefore(state, keyword, from, tagEnd), value);
}

// A status still missing, searched in line[from, tagEnd).
static void fillStatus(ScanState& state, std::int32_t from, std::int32_t tagEnd, bool& has, bool& badDump)
{
    if (has)
        return;
    const std::string_view status =
        plainValue(state, locateAttributeBefore(state, "status", from, tagEnd), nameCapacity);
    has = !status.empty();
    badDump = status == "baddump";
}

// A name still missing (its tag's first line had none), searched in
// line[from, tagEnd): decoded into `name`, and for the list DATs as written
// into `raw`. True when it was found.
template <bool allValues>
static bool fillEmptyName(ScanState& state, std::int32_t from, std::int32_t tagEnd, ValueText& name, RawText& raw)
{
    if (!name.empty())
        return false;
    const std::int32_t match = locateAttributeBefore(state, "name", from, tagEnd);
    if (match < 0)
        return false;
    if constexpr (allValues)
        copyQuotedPlain(state, match, raw);
    copyQuotedDecoded(state, match, name);
    return true;
}

template <bool allValues>
bool continueStartTag(ScanState& state, std::int32_t p)
{
    const std::int32_t tagEnd = startTagEnd(state, p);
    if (state.openTag == LineKind::Rom) {
        if (fillEmptyName<allValues>(state, p, tagEnd, state.romName, state.romNameRaw))
            state.romNameRawIsName = false;
        RomTexts& rom = state.rom;
        const RomTexts& before = state.romBefore;
        fillEmptyValue(state, "size", p, tagEnd, rom.size, !allValues || before.size.empty());
        fillEmptyValue(state, "crc", p, tagEnd, rom.crc, !allValues || before.crc.empty());
        fillEmptyValue(state, "sha", p, tagEnd, rom.sha1, !allValues || before.sha1.empty());
        fillEmptyValue(state, "md5", p, tagEnd, rom.md5, !allValues || before.md5.empty());
        if constexpr (allValues)
            fillStatus(state, p, tagEnd, state.romHasStatus, state.romBadDump);
    } else {
        fillEmptyName<allValues>(state, p, tagEnd, state.diskName, state.diskNameRaw);
        fillEmptyValue(state, "sha", p, tagEnd, state.diskSha1);
        if constexpr (allValues)
            fillStatus(state, p, tagEnd, state.diskHasStatus, state.diskBadDump);
    }
    return tagEnd < state.lineLength;
}

template <bool allValues>
bool closeStartTag(ScanState& state)
{
    state.tagPiecesLeft = 0;
    if (state.openTag == LineKind::Rom) {
        state.romHeld = romHasHash<allValues>(state);
        state.waits = state.romHeld;
        return false;
    }
    state.waits = false;
    return !state.diskSha1.empty();
}

template void readSoftware<false>(ScanState&, std::int32_t);
template void readSoftware<true>(ScanState&, std::int32_t);
template void readRom<false>(ScanState&, std::int32_t);
template void readRom<true>(ScanState&, std::int32_t);
template bool readDisk<false>(ScanState&, std::int32_t);
template bool readDisk<true>(ScanState&, std::int32_t);
template bool continueStartTag<false>(ScanState&, std::int32_t);
template bool continueStartTag<true>(ScanState&, std::int32_t);
template bool closeStartTag<false>(ScanState&);
template bool closeStartTag<true>(ScanState&);
