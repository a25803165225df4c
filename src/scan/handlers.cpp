// The element handlers.
#include "scan/handlers.h"

#include <cassert>
#include <cstdint>

#include "bytes/fast_paths.h"
#include "bytes/inlining.h"
#include "bytes/small_copy.h"
#include "dat/dat_writer.h"
#include "dat/sizes.h"
#include "scan/extract.h"

// Copies the "name" value found from `from` plainly; empty when there is none.
// Returns the length stored.
static std::int32_t copyNamePlain(ScanState& state, std::int32_t from, char* target)
{
    std::int32_t match = locateAttribute(state, "name", from);
    if (match < 0) {
        target[0] = '\0';
        return 0;
    }
    return copyQuotedPlain(state, match, target, nameCapacity);
}

// Copies the "name" value found from `from` decoded into `target` (empty
// when there is none) and sets its length. Returns where the searches for
// the other values start: the name's closing quote, or the end of the piece
// when there is no name.
static std::int32_t copyNameDecoded(ScanState& state, std::int32_t from, char* target, std::int32_t& length)
{
    const std::int32_t match = locateAttribute(state, "name", from);
    if (match < 0) {
        target[0] = '\0';
        length = 0;
        return state.lineLength;
    }
    length = copyQuotedDecoded(state, match, target, nameCapacity);
    return state.pos;
}

// Copies the "name" value found from `from` decoded into `target` (empty
// when there is none) and as it stands into `raw`, and sets the lengths.
// Returns where the searches for the other values start: the name's
// closing quote, or the end of the piece when there is no name. `match`
// receives where the name keyword stands (-1 for none).
static std::int32_t copyNameBoth(ScanState& state, std::int32_t from, char* target, std::int32_t& length, char* raw,
                                 std::int32_t& rawLength, std::int32_t& match)
{
    match = locateAttribute(state, "name", from);
    if (match < 0) {
        target[0] = raw[0] = '\0';
        length = rawLength = 0;
        return state.lineLength;
    }
    rawLength = copyQuotedPlain(state, match, raw, nameCapacity);
    length = copyQuotedDecoded(state, match, target, nameCapacity);
    return state.pos;
}

// Empties the field, then fills it from the value behind `match`, if any.
// Returns the length stored.
static std::int32_t copyRomValue(ScanState& state, std::int32_t match, char* target)
{
    target[0] = '\0';
    if (match < 0)
        return 0;
    return copyQuotedPlain(state, match, target, nameCapacity);
}

// The text of a field whose length is known.
static std::string_view textOf(const char* text, std::int32_t length)
{
    return std::string_view(text, static_cast<std::size_t>(length));
}

// Copies the value of the attribute `keyword` found from `from` within the
// line's start tag (before its first '>') plainly; empty when
// there is none. Returns the length stored.
static std::int32_t copyTagAttribute(ScanState& state, const char* keyword, std::int32_t from, char* target,
                                     int capacity)
{
    std::int32_t match = locateAttributeBefore(state, keyword, from, startTagEnd(state, from));
    if (match < 0) {
        target[0] = '\0';
        return 0;
    }
    return copyQuotedPlain(state, match, target, capacity);
}

// The piece's text from `from` on (empty past its end).
static std::string_view restOfLine(const ScanState& state, std::int32_t from)
{
    const std::int32_t end = contentEnd(state);
    return from < end ? std::string_view(state.line + from, static_cast<std::size_t>(end - from)) : std::string_view();
}

void handleSoftwareList(ScanState& state, std::int32_t from)
{
    state.listNameLength = copyNamePlain(state, from, state.listName);
    state.listDescriptionLength =
        copyTagAttribute(state, "description", from, state.listDescription, descriptionCapacity);
    DatWriter& writer = *state.writer;
    writer.listBegins(writer, ListFound{textOf(state.listName, state.listNameLength),
                                        textOf(state.listDescription, state.listDescriptionLength),
                                        state.lineCount + 1});
}

template <Reading reading>
void handleSoftware(ScanState& state, std::int32_t from)
{
    state.softwareNameLength = copyNamePlain(state, from, state.softwareName);
    if constexpr (reading == Reading::AllValues)
        state.cloneOfLength = copyTagAttribute(state, "cloneof", from, state.cloneOf, nameCapacity);
}

void handleDescription(ScanState& state, std::int32_t from)
{
    state.descriptionLength = copyTextDecoded(state, from, state.descriptionText, descriptionCapacity);
    DatWriter& writer = *state.writer;
    writer.gameOpens(writer, GameFound{textOf(state.softwareName, state.softwareNameLength),
                                       textOf(state.descriptionText, state.descriptionLength),
                                       textOf(state.cloneOf, state.cloneOfLength),
                                       restOfLine(state, from)});
}

void handleDetail(ScanState& state, Detail kind, std::int32_t from)
{
    state.writer->detailFound(*state.writer, kind, restOfLine(state, from));
}

// For the list DATs: a ROM value that is empty after the name, searched
// between "<rom" (`from`) and the name keyword (`nameMatch`).
static std::int32_t copyValueBeforeName(ScanState& state, const char* keyword, std::int32_t from,
                                        std::int32_t nameMatch, std::int32_t lengthAfter, char* target)
{
    target[0] = '\0';
    if (lengthAfter != 0 || nameMatch <= from)
        return 0;
    return copyRomValue(state, locateAttributeBefore(state, keyword, from, nameMatch), target);
}

// For the list DATs, the rest of a ROM line (its name keyword at
// `nameMatch`, -1 for none, its status keyword found after the name at
// `statusMatch`): each value empty after the name as found before it, and
// the dump status.
static void readRomRest(ScanState& state, std::int32_t from, std::int32_t nameMatch, std::int32_t statusMatch,
                        const std::int32_t (&lengths)[romKeywordCount])
{
    state.romSizeBeforeLength =
        copyValueBeforeName(state, "size", from, nameMatch, lengths[romSizeKey], state.romSizeBefore);
    state.romCrcBeforeLength = copyValueBeforeName(state, "crc", from, nameMatch, lengths[romCrcKey], state.romCrcBefore);
    state.romSha1BeforeLength =
        copyValueBeforeName(state, "sha", from, nameMatch, lengths[romShaKey], state.romSha1Before);
    state.romMd5BeforeLength = copyValueBeforeName(state, "md5", from, nameMatch, lengths[romMd5Key], state.romMd5Before);
    std::string_view status = plainValue(state, statusMatch, nameCapacity);
    if (status.empty() && nameMatch > from)
        status = plainValue(state, locateAttributeBefore(state, "status", from, nameMatch), nameCapacity);
    state.romBadDump = status == "baddump";
}

template <Reading reading>
INLINE_ALL_CALLS void handleRom(ScanState& state, std::int32_t from)
{
    constexpr bool allValues = reading == Reading::AllValues;
    // Each keyword is searched afresh from attrStart, the name's closing
    // quote: read off the usual line at once where it is one (nothing then
    // stands before the name), else the name and then all four keywords in
    // one pass.
    std::int32_t lengths[romKeywordCount];
    std::int32_t nameLength = 0;
    std::int32_t nameMatch = -1;
    std::int32_t statusMatch = -1;
    UsualRom rom;
    if (fastPathsOn() && locateUsualRom(state, from, rom, allValues)) {
        nameLength = copyUsualValue(state, rom.name, state.romName, nameCapacity);
        if constexpr (allValues)
            state.romNameRawLength = -1;   // the name holds no reference: its raw text is the name
        state.attrStart = rom.name.end;
        lengths[romSizeKey] = copyUsualValue(state, rom.size, state.romSize, nameCapacity);
        lengths[romCrcKey] = copyUsualValue(state, rom.crc, state.romCrc, nameCapacity);
        lengths[romShaKey] = copyUsualValue(state, rom.sha1, state.romSha1, nameCapacity);
        lengths[romMd5Key] = copyRomValue(state, rom.md5Match, state.romMd5);
        statusMatch = rom.statusMatch;
    } else {
        if constexpr (allValues)
            state.attrStart = copyNameBoth(state, from, state.romName, nameLength, state.romNameRaw,
                                           state.romNameRawLength, nameMatch);
        else
            state.attrStart = copyNameDecoded(state, from, state.romName, nameLength);
        std::int32_t found[romKeywordCount];
        locateRomAttributes(state, state.attrStart, found);
        lengths[romSizeKey] = copyRomValue(state, found[romSizeKey], state.romSize);
        lengths[romCrcKey] = copyRomValue(state, found[romCrcKey], state.romCrc);
        lengths[romShaKey] = copyRomValue(state, found[romShaKey], state.romSha1);
        lengths[romMd5Key] = copyRomValue(state, found[romMd5Key], state.romMd5);
        if constexpr (allValues)
            statusMatch = locateAttribute(state, "status", state.attrStart);
    }
    state.romNameLength = nameLength;
    state.romSizeLength = lengths[romSizeKey];
    state.romCrcLength = lengths[romCrcKey];
    state.romSha1Length = lengths[romShaKey];
    state.romMd5Length = lengths[romMd5Key];
    if constexpr (allValues)
        readRomRest(state, from, nameMatch, statusMatch, lengths);
    state.romHeld = lengths[romCrcKey] != 0 || lengths[romShaKey] != 0 || lengths[romMd5Key] != 0 ||
                    state.romCrcBeforeLength != 0 || state.romSha1BeforeLength != 0 || state.romMd5BeforeLength != 0;
    state.romChunks = 0;
    state.romChunksValid = true;
    state.romChunkSum = 0;
}


// Copies the value of `keyword` whose keyword and equals sign stand in
// line[from, tagEnd) into target (empty when there is none); the value
// itself is copied as any value is, up to its closing quote.
static std::int32_t copyStartTagValue(ScanState& state, const char* keyword, std::int32_t from, std::int32_t tagEnd,
                                      char* target)
{
    return copyRomValue(state, locateAttributeBefore(state, keyword, from, tagEnd), target);
}

// True when the line, its first non-blank byte at `p`, is a chunk row; its
// size is then in `size`.
static bool isChunkRow(ScanState& state, std::int32_t p, char (&size)[nameCapacity], std::int32_t& sizeLength)
{
    const std::int32_t from = p + 4;
    if (!textAt(state.line, state.lineLength, p, "<rom", 4) || from >= state.lineLength ||
        (state.line[from] != ' ' && state.line[from] != '\t'))
        return false;
    if (locateAttribute(state, "name", from) >= 0)
        return false;
    const std::int32_t tagEnd = startTagEnd(state, from);
    char value[nameCapacity];
    if (copyStartTagValue(state, "crc", from, tagEnd, value) != 0 ||
        copyStartTagValue(state, "sha", from, tagEnd, value) != 0 ||
        copyStartTagValue(state, "md5", from, tagEnd, value) != 0)
        return false;
    const std::string_view loadFlag = textOf(value, copyStartTagValue(state, "loadflag", from, tagEnd, value));
    if (loadFlag != "continue" && loadFlag != "ignore")
        return false;
    sizeLength = copyStartTagValue(state, "size", from, tagEnd, size);
    return sizeLength != 0;
}

bool joinChunkRow(ScanState& state, std::int32_t p)
{
    assert(state.romHeld);
    char size[nameCapacity];
    std::int32_t sizeLength = 0;
    if (!isChunkRow(state, p, size, sizeLength))
        return false;
    state.romChunks++;
    std::uint64_t chunk = 0;
    if (state.romChunksValid && sizeNumber(textOf(size, sizeLength), chunk) && chunk <= UINT64_MAX - state.romChunkSum)
        state.romChunkSum += chunk;
    else
        state.romChunksValid = false;
    return true;
}

// The size a ROM of size `own` is reported with: the sum of its own and its
// chunks' sizes in decimal (in `digits`) where chunks joined it, all are
// numbers and the sum is below 2^64; else `own` as it stands.
static std::string_view trueSize(const ScanState& state, std::string_view own, char (&digits)[decimalRoom])
{
    std::uint64_t value = 0;
    if (state.romChunks == 0 || !state.romChunksValid || !sizeNumber(own, value) ||
        value > UINT64_MAX - state.romChunkSum)
        return own;
    const int first = decimalDigits(value + state.romChunkSum, digits);
    return std::string_view(digits + first, static_cast<std::size_t>(decimalRoom - first));
}

// A value found after the name, or else the one found before it.
static std::string_view eitherOf(const char* after, std::int32_t afterLength, const char* before,
                                 std::int32_t beforeLength)
{
    return afterLength != 0 ? textOf(after, afterLength) : textOf(before, beforeLength);
}

template <Reading reading>
void writeHeldRom(ScanState& state)
{
    assert(state.romHeld);
    char afterDigits[decimalRoom];
    char wholeDigits[decimalRoom];
    const RomValues afterName{trueSize(state, textOf(state.romSize, state.romSizeLength), afterDigits),
                              textOf(state.romCrc, state.romCrcLength), textOf(state.romMd5, state.romMd5Length),
                              textOf(state.romSha1, state.romSha1Length)};
    RomValues whole{};
    if constexpr (reading == Reading::CombinedValues) {
        state.writer->romFound(*state.writer, RomFound{textOf(state.romName, state.romNameLength), {}, afterName,
                                                       whole, false});
        state.romHeld = false;
        return;
    }
    whole = afterName;
    if (state.romSizeBeforeLength != 0 || state.romCrcBeforeLength != 0 || state.romMd5BeforeLength != 0 ||
        state.romSha1BeforeLength != 0)
        whole = RomValues{
            trueSize(state,
                     eitherOf(state.romSize, state.romSizeLength, state.romSizeBefore, state.romSizeBeforeLength),
                     wholeDigits),
            eitherOf(state.romCrc, state.romCrcLength, state.romCrcBefore, state.romCrcBeforeLength),
            eitherOf(state.romMd5, state.romMd5Length, state.romMd5Before, state.romMd5BeforeLength),
            eitherOf(state.romSha1, state.romSha1Length, state.romSha1Before, state.romSha1BeforeLength)};
    const RomFound rom{textOf(state.romName, state.romNameLength),
                       state.romNameRawLength < 0 ? textOf(state.romName, state.romNameLength)
                                                  : textOf(state.romNameRaw, state.romNameRawLength),
                       afterName, whole, state.romBadDump};
    state.writer->romFound(*state.writer, rom);
    state.romHeld = false;
}

template <Reading reading>
void handleDisk(ScanState& state, std::int32_t from)
{
    std::int32_t nameLength = 0;
    std::int32_t rawLength = 0;
    std::int32_t nameMatch = -1;
    char raw[nameCapacity];
    std::int32_t shaFrom = 0;
    if constexpr (reading == Reading::AllValues)
        shaFrom = copyNameBoth(state, from, state.diskName, nameLength, raw, rawLength, nameMatch);
    else
        shaFrom = copyNameDecoded(state, from, state.diskName, nameLength);
    std::int32_t shaLength = copyRomValue(state, locateAttribute(state, "sha", shaFrom), state.diskSha1);
    if (shaLength == 0)
        return;
    bool badDump = false;
    if constexpr (reading == Reading::AllValues)
        badDump = plainValue(state, locateAttribute(state, "status", shaFrom), nameCapacity) == "baddump";
    state.writer->diskFound(*state.writer, DiskFound{textOf(state.diskName, nameLength), textOf(raw, rawLength),
                                                     textOf(state.diskSha1, shaLength), badDump});
}

void handleSoftwareClose(ScanState& state)
{
    state.writer->gameCloses(*state.writer);
}

template void handleSoftware<Reading::CombinedValues>(ScanState&, std::int32_t);
template void handleSoftware<Reading::AllValues>(ScanState&, std::int32_t);
template void handleRom<Reading::CombinedValues>(ScanState&, std::int32_t);
template void handleRom<Reading::AllValues>(ScanState&, std::int32_t);
template void handleDisk<Reading::CombinedValues>(ScanState&, std::int32_t);
template void handleDisk<Reading::AllValues>(ScanState&, std::int32_t);
template void writeHeldRom<Reading::CombinedValues>(ScanState&);
template void writeHeldRom<Reading::AllValues>(ScanState&);
