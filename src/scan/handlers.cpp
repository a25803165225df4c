// The element handlers.
#include "scan/handlers.h"

#include <cassert>
#include <cstdint>

#include "bytes/fast_paths.h"
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

// Copies the "name" value found from `from` decoded (empty when there is
// none) and sets `length` to the length stored. Returns where the searches
// for the other values start: the name's closing quote, or the end of the
// piece when there is no name.
static std::int32_t copyNameDecoded(ScanState& state, std::int32_t from, char* target, std::int32_t& length)
{
    std::int32_t match = locateAttribute(state, "name", from);
    if (match < 0) {
        target[0] = '\0';
        length = 0;
        return state.lineLength;
    }
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
// line's start tag (before its first '>'), decoded or plainly; empty when
// there is none. Returns the length stored.
static std::int32_t copyTagAttribute(ScanState& state, const char* keyword, std::int32_t from, char* target,
                                     int capacity, bool decoded)
{
    std::int32_t match = locateAttributeBefore(state, keyword, from, startTagEnd(state, from));
    if (match < 0) {
        target[0] = '\0';
        return 0;
    }
    return decoded ? copyQuotedDecoded(state, match, target, capacity) : copyQuotedPlain(state, match, target, capacity);
}

void handleSoftwareList(ScanState& state, std::int32_t from)
{
    state.listNameLength = copyNamePlain(state, from, state.listName);
    state.listDescriptionLength =
        copyTagAttribute(state, "description", from, state.listDescription, descriptionCapacity, true);
    DatWriter& writer = *state.writer;
    writer.listBegins(writer, ListFound{textOf(state.listName, state.listNameLength),
                                        textOf(state.listDescription, state.listDescriptionLength),
                                        state.lineCount + 1});
}

void handleSoftware(ScanState& state, std::int32_t from)
{
    state.softwareNameLength = copyNamePlain(state, from, state.softwareName);
    state.cloneOfLength = copyTagAttribute(state, "cloneof", from, state.cloneOf, nameCapacity, false);
}

void handleDescription(ScanState& state, std::int32_t from)
{
    state.descriptionLength = copyTextDecoded(state, from, state.descriptionText, descriptionCapacity);
    DatWriter& writer = *state.writer;
    writer.gameOpens(writer, GameFound{textOf(state.softwareName, state.softwareNameLength),
                                       textOf(state.descriptionText, state.descriptionLength),
                                       textOf(state.cloneOf, state.cloneOfLength)});
}

void handleRom(ScanState& state, std::int32_t from)
{
    // Each keyword is searched afresh from attrStart, the name's closing
    // quote: read off the usual line at once where it is one, else the name
    // and then all four keywords in one pass.
    std::int32_t lengths[romKeywordCount];
    std::int32_t nameLength = 0;
    UsualRom rom;
    if (fastPathsOn() && locateUsualRom(state, from, rom)) {
        nameLength = copyUsualValue(state, rom.name, state.romName, nameCapacity);
        state.attrStart = rom.name.end;
        lengths[romSizeKey] = copyUsualValue(state, rom.size, state.romSize, nameCapacity);
        lengths[romCrcKey] = copyUsualValue(state, rom.crc, state.romCrc, nameCapacity);
        lengths[romShaKey] = copyUsualValue(state, rom.sha1, state.romSha1, nameCapacity);
        lengths[romMd5Key] = copyRomValue(state, rom.md5Match, state.romMd5);
    } else {
        state.attrStart = copyNameDecoded(state, from, state.romName, nameLength);
        std::int32_t found[romKeywordCount];
        locateRomAttributes(state, state.attrStart, found);
        lengths[romSizeKey] = copyRomValue(state, found[romSizeKey], state.romSize);
        lengths[romCrcKey] = copyRomValue(state, found[romCrcKey], state.romCrc);
        lengths[romShaKey] = copyRomValue(state, found[romShaKey], state.romSha1);
        lengths[romMd5Key] = copyRomValue(state, found[romMd5Key], state.romMd5);
    }
    state.romNameLength = nameLength;
    state.romSizeLength = lengths[romSizeKey];
    state.romCrcLength = lengths[romCrcKey];
    state.romSha1Length = lengths[romShaKey];
    state.romMd5Length = lengths[romMd5Key];
    state.romHeld = lengths[romCrcKey] != 0 || lengths[romShaKey] != 0 || lengths[romMd5Key] != 0;
    state.romChunks = 0;
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
    if (state.romChunks == 0)
        state.romSumValid = sizeNumber(textOf(state.romSize, state.romSizeLength), state.romSum);
    state.romChunks++;
    std::uint64_t chunk = 0;
    if (state.romSumValid && sizeNumber(textOf(size, sizeLength), chunk) && chunk <= UINT64_MAX - state.romSum)
        state.romSum += chunk;
    else
        state.romSumValid = false;
    return true;
}

void writeHeldRom(ScanState& state)
{
    assert(state.romHeld);
    std::string_view size = textOf(state.romSize, state.romSizeLength);
    char digits[decimalRoom];
    if (state.romChunks > 0 && state.romSumValid) {
        const int first = decimalDigits(state.romSum, digits);
        size = std::string_view(digits + first, static_cast<std::size_t>(decimalRoom - first));
    }
    DatWriter& writer = *state.writer;
    writer.romFound(writer, RomFound{textOf(state.romName, state.romNameLength), size,
                                     textOf(state.romCrc, state.romCrcLength), textOf(state.romMd5, state.romMd5Length),
                                     textOf(state.romSha1, state.romSha1Length)});
    state.romHeld = false;
}

void handleDisk(ScanState& state, std::int32_t from)
{
    std::int32_t nameLength = 0;
    std::int32_t shaFrom = copyNameDecoded(state, from, state.diskName, nameLength);
    std::int32_t shaLength = copyRomValue(state, locateAttribute(state, "sha", shaFrom), state.diskSha1);
    if (shaLength != 0)
        state.writer->diskFound(*state.writer, DiskFound{textOf(state.diskName, nameLength), textOf(state.diskSha1, shaLength)});
}

void handleSoftwareClose(ScanState& state)
{
    state.writer->gameCloses(*state.writer);
}
