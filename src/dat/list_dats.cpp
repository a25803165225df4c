// One DAT per list.
//
// The scan writes through `output`: the sink until the first list line, then
// from each list line on either `out`, opened on that list's DAT, or the sink
// again for a list that cannot be a DAT, or `broken` (a failed stream, which
// stops the scan) when a DAT cannot be created or the last one could not be
// written. Whatever the scan reports before the first list (a set, a ROM, a
// disk, a set's end) is reported as a list of no name that begins at line 1.
#include "dat/list_dats.h"

#include <cassert>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "dat/dat_text.h"
#include "dat/dat_xml.h"
#include "dat/references.h"
#include "platform/file_names.h"

namespace {

ListDats& lists(DatWriter& writer)
{
    return static_cast<ListDats&>(writer);
}

std::string datPath(const ListDats& dats, std::string_view list)
{
    std::string path = dats.directory;
    path += '/';
    path.append(list);
    path += ".dat";
    return path;
}

// The name with A-Z as a-z: names that differ only so are one file's on
// Windows and macOS.
std::string caseFolded(std::string_view name)
{
    std::string folded;
    for (char c : name)
        folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return folded;
}

bool isDeviceName(std::string_view name)
{
    const std::string base = caseFolded(name.substr(0, name.find('.')));
    if (base == "con" || base == "nul" || base == "aux" || base == "prn")
        return true;
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' && base[3] <= '9';
}

// Why a list of this name cannot have a DAT of its own, or nullptr.
const char* whyNoDat(const ListDats& dats, std::string_view name)
{
    if (name.empty())
        return "empty name";
    if (name.size() > 200)
        return "name longer than 200 bytes";
    if (name[0] == '.')
        return "name starts with a dot";
    for (char c : name) {
        bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || c == '.';
        if (!safe)
            return "name holds a byte other than A-Z a-z 0-9 _ - .";
    }
    if (isDeviceName(name))
        return "name is a Windows device name";
    if (dats.met.contains(caseFolded(name)))
        return "name met before in this run";
    return nullptr;
}

void noteSkipped(ListDats& dats, std::int64_t line, std::string_view name, const char* reason)
{
    char head[64];
    std::snprintf(head, sizeof head, "softlist2dat: line %lld: list '", static_cast<long long>(line));
    dats.skippedLines += head;
    for (char byte : name) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            dats.skippedLines += escaped;
        } else {
            dats.skippedLines += byte;
        }
    }
    dats.skippedLines += "' skipped: ";
    dats.skippedLines += reason;
    dats.skippedLines += '\n';
}

// A value decoded into `room`, which holds at least raw.size() bytes (a
// value the scan reports fits the room for its kind): line breaks only where
// the form can hold them (XML). A value without references is itself.
template <std::size_t N>
std::string_view decoded(const ListDats& dats, std::string_view raw, char (&room)[N])
{
    assert(raw.size() <= N);
    if (raw.find('&') == std::string_view::npos)
        return raw;
    return std::string_view(room, decodeReferences(raw, room, dats.xml));
}

// Writes the waiting set's lines.
void writeSet(ListDats& dats)
{
    PendingSet& set = dats.set;
    if (!set.waiting)
        return;
    set.waiting = false;
    char name[longestValue], title[longestText], parent[longestValue], year[longestText], publisher[longestText];
    const SetLines lines{decoded(dats, set.name.view(), name), decoded(dats, set.title.view(), title),
                         decoded(dats, set.parent.view(), parent), decoded(dats, set.year.view(), year),
                         decoded(dats, set.publisher.view(), publisher)};
    if (dats.xml) {
        openXmlGame(*dats.output, lines);
        set.open = true;
    } else {
        openListGame(*dats.output, lines);
    }
}

// Something of a set is reported: before the first list it counts as a
// list of no name.
void noteReported(ListDats& dats)
{
    dats.reportedBeforeFirstList |= dats.sinkHoldsPreamble;
}

// Ends the XML form's open set.
void closeOpenSet(ListDats& dats)
{
    if (dats.set.open) {
        closeXmlGame(*dats.output);
        dats.set.open = false;
    }
}

// Ends what the scan wrote to so far. False when the DAT could not be
// written completely.
bool finishCurrent(ListDats& dats)
{
    writeSet(dats);
    if (dats.xml && dats.datOpen) {
        closeOpenSet(dats);
        closeXmlDatafile(*dats.out);
    }
    dats.set.open = false;
    if (dats.datOpen) {
        dats.datOpen = false;
        if (!closeTextOutput(*dats.out)) {
            dats.failedName = dats.files.empty() ? "" : targetOf(dats.files.back());
            dats.failedDat = dats.failedName.c_str();
            return false;
        }
    } else if (dats.sinkHoldsPreamble && dats.reportedBeforeFirstList) {
        noteSkipped(dats, 1, "", "written before the first list");
    }
    dats.sinkHoldsPreamble = false;
    return true;
}

TextOutput* brokenOutput(ListDats& dats)
{
    openTextOutputToNothing(dats.broken);
    dats.broken.failed = true;
    return &dats.broken;
}

// Opens the list's DAT on `out`: a new .part file, or the memory.
bool openListDat(ListDats& dats, std::string_view name)
{
    if (dats.memory != nullptr) {
        openTextOutputToMemory(*dats.out, *dats.memory);
        return true;
    }
    dats.files.emplace_back();
    if (createPendingFile(dats.files.back(), *dats.out, datPath(dats, name).c_str()))
        return true;
    dats.failedName = targetOf(dats.files.back());
    dats.failedDat = dats.failedName.c_str();
    dats.failedToOpen = true;
    dats.files.pop_back();
    return false;
}

TextOutput* beginList(ListDats& dats, const ListFound& list)
{
    if (!finishCurrent(dats))
        return brokenOutput(dats);
    if (const char* reason = whyNoDat(dats, list.name)) {
        noteSkipped(dats, list.line, list.name, reason);
        openTextOutputToNothing(dats.sink);
        return &dats.sink;
    }
    if (!openListDat(dats, list.name))
        return brokenOutput(dats);
    dats.met.emplace(caseFolded(list.name));
    dats.datOpen = true;
    char room[longestText];
    const std::string_view description = list.description.empty() ? list.name : decoded(dats, list.description, room);
    if (dats.xml)
        writeXmlHeader(*dats.out, list.name, description);
    else
        writeListHeader(*dats.out, list.name, description);
    return dats.out;
}

void listBegins(DatWriter& writer, const ListFound& list)
{
    writer.output = beginList(lists(writer), list);
}

void gameOpens(DatWriter& writer, const GameFound& game)
{
    ListDats& dats = lists(writer);
    noteReported(dats);
    writeSet(dats);
    closeOpenSet(dats);
    PendingSet& set = dats.set;
    set.waiting = true;
    set.hasYear = set.hasPublisher = false;
    set.name.keep(game.name);
    set.title.keep(elementText(game.rawRest));
    set.parent.keep(game.parent);
    set.year.size = set.publisher.size = 0;
}

// A year or publisher counts between the set's description and its first
// ROM or disk, once.
void detailFound(DatWriter& writer, Detail kind, std::string_view rawRest)
{
    PendingSet& set = lists(writer).set;
    bool& has = kind == Detail::Year ? set.hasYear : set.hasPublisher;
    if (!set.waiting || has)
        return;
    has = true;
    (kind == Detail::Year ? set.year : set.publisher).keep(elementText(rawRest));
}

void romFound(DatWriter& writer, const RomFound& rom)
{
    ListDats& dats = lists(writer);
    noteReported(dats);
    writeSet(dats);
    char name[longestValue];
    const RomValues& v = rom.whole;
    if (!dats.xml)
        writeListRom(*writer.output, decoded(dats, rom.rawName, name), v.size, v.crc, v.md5, v.sha1, rom.badDump);
    else if (dats.set.open)
        writeXmlRom(*writer.output, decoded(dats, rom.rawName, name), v.size, v.crc, v.md5, v.sha1, rom.badDump);
}

void diskFound(DatWriter& writer, const DiskFound& disk)
{
    ListDats& dats = lists(writer);
    noteReported(dats);
    writeSet(dats);
    char name[longestValue];
    if (!dats.xml)
        writeListDisk(*writer.output, decoded(dats, disk.rawName, name), disk.sha1, disk.badDump);
    else if (dats.set.open)
        writeXmlDisk(*writer.output, decoded(dats, disk.rawName, name), disk.sha1, disk.badDump);
}

void gameCloses(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    noteReported(dats);
    writeSet(dats);
    if (dats.xml)
        closeOpenSet(dats);
    else
        closeListGame(*writer.output);
}

// The input has ended: the last DAT is closed, and in memory the skipped
// lists follow the DATs.
void inputEnds(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    if (!finishCurrent(dats))
        writer.output = brokenOutput(dats);
    if (dats.memory != nullptr)
        *dats.memory += dats.skippedLines;
}

// OUT is created (one level) when missing.
bool prepare(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    dats.failedDat = dats.directory;
    if (dats.memory != nullptr)
        return true;
    bool regular = false;
    std::uint64_t size = 0;
    if (statNamed(dats.directory, regular, size)) {
        if (leadsToDirectory(dats.directory))
            return true;
        errno = ENOTDIR;
        return false;
    }
    dats.createdDirectory = createDirectoryRemovedOnInterrupt(dats.directory);
    // Another run may have made it since: it is then not this run's.
    return dats.createdDirectory || (errno == EEXIST && leadsToDirectory(dats.directory));
}

// A DAT's leftover is removed when its own is created.
void removeLeftovers(DatWriter&) {}

bool open(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    dats.files.clear();
    dats.met.clear();
    dats.skippedLines.clear();
    dats.failedDat = "";
    dats.failedToOpen = false;
    dats.datOpen = false;
    dats.sinkHoldsPreamble = true;
    dats.reportedBeforeFirstList = false;
    dats.set.waiting = dats.set.open = false;
    openTextOutputToNothing(dats.sink);
    writer.output = &dats.sink;
    return true;
}

// False when a DAT could not be created or written completely.
bool close(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    return finishCurrent(dats) && !writer.output->failed;
}

// Puts every DAT in place; at the first that cannot be, the rest are removed.
bool commit(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    for (std::size_t i = 0; i < dats.files.size(); i++) {
        if (!commitPendingFile(dats.files[i])) {
            dats.failedName = targetOf(dats.files[i]);
            dats.failedDat = dats.failedName.c_str();
            for (std::size_t j = i + 1; j < dats.files.size(); j++)
                abandonPendingFile(dats.files[j]);
            return false;
        }
    }
    return true;
}

// Removes every DAT begun, and OUT when this run created it.
void abandon(DatWriter& writer)
{
    ListDats& dats = lists(writer);
    if (dats.datOpen) {
        dats.datOpen = false;
        closeTextOutput(*dats.out);
    }
    for (PendingFile& file : dats.files)
        abandonPendingFile(file);
    if (dats.createdDirectory)
        removeDirectoryNamed(dats.directory);
}

// The skipped lists on stderr, then the summary; 3 when a list was skipped.
int report(DatWriter& writer, std::int64_t lines)
{
    ListDats& dats = lists(writer);
    std::fflush(stdout);
    std::fputs(dats.skippedLines.c_str(), stderr);
    std::printf("\nConverted %" PRId64 " XML lines into %d DAT files in %s\n", lines, static_cast<int>(dats.files.size()),
                dats.directory);
    return dats.skippedLines.empty() ? 0 : 3;
}

}  // namespace

void startListDats(ListDats& dats, TextOutput& out, const char* directory, std::string* memory, bool xml)
{
    dats.xml = xml;
    dats.listBegins = listBegins;
    dats.gameOpens = gameOpens;
    dats.detailFound = detailFound;
    dats.romFound = romFound;
    dats.diskFound = diskFound;
    dats.gameCloses = gameCloses;
    dats.inputEnds = inputEnds;
    dats.prepare = prepare;
    dats.removeLeftovers = removeLeftovers;
    dats.open = open;
    dats.close = close;
    dats.commit = commit;
    dats.abandon = abandon;
    dats.report = report;
    dats.reading = Reading::AllValues;
    dats.directory = directory;
    dats.memory = memory;
    dats.createdDirectory = false;
    dats.out = &out;
    open(dats);
}
