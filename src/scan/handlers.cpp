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

// Empties the field, then fills it from the keyword's value if the keyword
// stands at or after `attrStart`.
static void copyRomValue(ScanState& state, const char* keyword, char* target)
{
    target[0] = '\0';
    std::int32_t match = locateAttribute(state, keyword, state.attrStart);
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
    std::int32_t match = locateAttribute(state, "name", from);
    if (match < 0) {
        state.romName[0] = '\0';
        state.attrStart = state.lineLength;
    } else {
        copyQuotedDecoded(state, match, state.romName, nameCapacity);
        state.attrStart = state.pos;
    }
    copyRomValue(state, "size", state.romSize);
    copyRomValue(state, "crc", state.romCrc);
    copyRomValue(state, "sha", state.romSha1);
    copyRomValue(state, "md5", state.romMd5);
    if (state.romCrc[0] != '\0' || state.romSha1[0] != '\0' || state.romMd5[0] != '\0')
        writeRom(*state.output, state.romName, state.romSize, state.romCrc, state.romMd5, state.romSha1);
}

void handleSoftwareClose(ScanState& state)
{
    closeGame(*state.output, state.listName);
}
