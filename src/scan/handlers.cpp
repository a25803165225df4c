// The element handlers.
#include "scan/handlers.h"

#include "dat/dat_writer.h"
#include "scan/extract.h"

// Copies the "name" value found from `from` plainly; empty when there is none.
static void copyNamePlain(ScanState& state, std::int32_t from, char* target)
{
    std::int32_t match = locateAttribute(state, "name", from);
    if (match < 0)
        target[0] = '\0';
    else
        copyQuotedPlain(state, match, target, nameCapacity);
}

// Copies the "name" value found from `from` decoded (empty when there is
// none) and returns where the searches for the other values start: the
// name's closing quote, or the end of the piece when there is no name.
static std::int32_t copyNameDecoded(ScanState& state, std::int32_t from, char* target)
{
    std::int32_t match = locateAttribute(state, "name", from);
    if (match < 0) {
        target[0] = '\0';
        return state.lineLength;
    }
    copyQuotedDecoded(state, match, target, nameCapacity);
    return state.pos;
}

// Empties the field, then fills it from the value behind `match`, if any.
static void copyRomValue(ScanState& state, std::int32_t match, char* target)
{
    target[0] = '\0';
    if (match >= 0)
        copyQuotedPlain(state, match, target, nameCapacity);
}

void handleSoftwareList(ScanState& state, std::int32_t from)
{
    copyNamePlain(state, from, state.listName);
}

void handleSoftware(ScanState& state, std::int32_t from)
{
    copyNamePlain(state, from, state.softwareName);
}

void handleDescription(ScanState& state, std::int32_t from)
{
    copyTextDecoded(state, from, state.descriptionText, descriptionCapacity);
    openGame(*state.output, state.listName, state.softwareName, state.descriptionText);
}

void handleRom(ScanState& state, std::int32_t from)
{
    state.attrStart = copyNameDecoded(state, from, state.romName);
    // Each keyword is searched afresh from attrStart: read off the usual
    // layout where the line has it, else all four in one pass.
    ValueSpan spans[romMd5Key];
    std::int32_t md5Match = -1;
    if (locateUsualRomValues(state, state.attrStart, spans, md5Match)) {
        copySpan(state, spans[romSizeKey], state.romSize, nameCapacity);
        copySpan(state, spans[romCrcKey], state.romCrc, nameCapacity);
        copySpan(state, spans[romShaKey], state.romSha1, nameCapacity);
        copyRomValue(state, md5Match, state.romMd5);
    } else {
        std::int32_t found[romKeywordCount];
        locateRomAttributes(state, state.attrStart, found);
        copyRomValue(state, found[romSizeKey], state.romSize);
        copyRomValue(state, found[romCrcKey], state.romCrc);
        copyRomValue(state, found[romShaKey], state.romSha1);
        copyRomValue(state, found[romMd5Key], state.romMd5);
    }
    if (state.romCrc[0] != '\0' || state.romSha1[0] != '\0' || state.romMd5[0] != '\0')
        writeRom(*state.output, state.romName, state.romSize, state.romCrc, state.romMd5, state.romSha1);
}

void handleDisk(ScanState& state, std::int32_t from)
{
    std::int32_t shaFrom = copyNameDecoded(state, from, state.diskName);
    copyRomValue(state, locateAttribute(state, "sha", shaFrom), state.diskSha1);
    if (state.diskSha1[0] != '\0')
        writeDisk(*state.output, state.diskName, state.diskSha1);
}

void handleSoftwareClose(ScanState& state)
{
    closeGame(*state.output, state.listName);
}
