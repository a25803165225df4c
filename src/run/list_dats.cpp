// One DAT per list.
//
// The scan writes through `state.output`: the sink until the first list
// line, then from each list line on either the run's output, opened on that
// list's DAT (written as OUT/NAME.dat.part, renamed to OUT/NAME.dat at the
// end), or the sink again for a list that cannot be a DAT, or `broken` (a
// failed stream, which stops the scan) when a DAT cannot be opened or the
// last one could not be written. What the sink takes before the first list
// is reported as a list of no name that begins at line 1.
#include "run/list_dats.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "dat/dat_writer.h"
#include "platform/file_names.h"
#include "platform/interrupts.h"

namespace {

const char* outDirectory = nullptr;
bool createdDirectory = false;
std::vector<std::string> writtenLists;   // the lists whose DATs this run began, in order
std::unordered_set<std::string> metLists;   // the same, to find a name met again
std::string skippedLines;                // one stderr line per list skipped
std::string failedDat;                   // the DAT that failed to open, be written or be renamed
bool openFailed = false;
TextOutput* datOutput = nullptr;         // the run's output, when it holds a list's DAT
bool datOpen = false;
bool sinkHoldsPreamble = true;           // the sink takes what comes before the first list
TextOutput sink;
TextOutput broken;

std::string datPath(std::string_view list, const char* suffix)
{
    std::string path = outDirectory;
    path += '/';
    path.append(list);
    path += suffix;
    return path;
}

bool isDeviceName(std::string_view name)
{
    std::string base;
    for (char c : name.substr(0, name.find('.')))
        base += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    if (base == "con" || base == "nul" || base == "aux" || base == "prn")
        return true;
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' && base[3] <= '9';
}

// Why a list of this name cannot have a DAT of its own, or nullptr.
const char* whyNoDat(std::string_view name)
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
    if (metLists.contains(std::string(name)))
        return "name met before in this run";
    return nullptr;
}

void noteSkipped(std::int64_t line, std::string_view name, const char* reason)
{
    char head[64];
    std::snprintf(head, sizeof head, "softlist2dat: line %lld: list '", static_cast<long long>(line));
    skippedLines += head;
    for (char byte : name) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            skippedLines += escaped;
        } else {
            skippedLines += byte;
        }
    }
    skippedLines += "' skipped: ";
    skippedLines += reason;
    skippedLines += '\n';
}

// Ends what the scan wrote to so far. False when the DAT could not be
// written completely.
bool finishCurrent()
{
    if (datOpen) {
        datOpen = false;
        if (!closeTextOutput(*datOutput)) {
            failedDat = datPath(writtenLists.back(), ".dat");
            return false;
        }
    } else if (sinkHoldsPreamble && wroteAnything(sink)) {
        noteSkipped(1, "", "written before the first list");
    }
    sinkHoldsPreamble = false;
    return true;
}

TextOutput* brokenOutput()
{
    openTextOutputToNothing(broken);
    broken.failed = true;
    return &broken;
}

TextOutput* beginList(void* /*context*/, const ScanState& state)
{
    if (!finishCurrent())
        return brokenOutput();
    const std::string_view name(state.listName, static_cast<std::size_t>(state.listNameLength));
    if (const char* reason = whyNoDat(name)) {
        noteSkipped(state.lineCount + 1, name, reason);
        openTextOutputToNothing(sink);
        return &sink;
    }
    writtenLists.emplace_back(name);
    metLists.emplace(name);
    const std::string part = datPath(name, ".dat.part");
    removeOnInterrupt(part.c_str());
    // Something under the name (a DAT begun by a killed run) is removed and
    // the open tried once more.
    bool opened = openTextOutput(*datOutput, part.c_str());
    if (!opened && errno == EEXIST && removeNamed(part.c_str()) == 0)
        opened = openTextOutput(*datOutput, part.c_str());
    if (!opened) {
        writtenLists.pop_back();
        metLists.erase(std::string(name));
        openFailed = true;
        failedDat = datPath(name, ".dat");
        return brokenOutput();
    }
    datOpen = true;
    std::string_view description(state.listDescription, static_cast<std::size_t>(state.listDescriptionLength));
    writeListHeader(*datOutput, name, description.empty() ? name : description);
    return datOutput;
}

}  // namespace

bool prepareListDirectory(const char* directory)
{
    outDirectory = directory;
    bool regular = false;
    std::uint64_t size = 0;
    if (statNamed(directory, regular, size)) {
        if (leadsToDirectory(directory))
            return true;
        errno = ENOTDIR;
        return false;
    }
    removeOnInterrupt(directory);
    if (makeDirectoryNamed(directory) != 0)
        return false;
    createdDirectory = true;
    return true;
}

void followLists(ScanState& state, TextOutput& output)
{
    datOutput = &output;
    openTextOutputToNothing(sink);
    state.perList = true;
    state.listBegins = beginList;
    state.listContext = nullptr;
    state.output = &sink;
}

bool closeListDats()
{
    return finishCurrent() && !openFailed;
}

bool listDatFailedToOpen()
{
    return openFailed;
}

const char* failedDatName()
{
    return failedDat.c_str();
}

bool replaceListDats()
{
    for (std::size_t i = 0; i < writtenLists.size(); i++) {
        const std::string final = datPath(writtenLists[i], ".dat");
        if (replaceNamed(datPath(writtenLists[i], ".dat.part").c_str(), final.c_str()) != 0) {
            failedDat = final;
            for (std::size_t j = i; j < writtenLists.size(); j++)
                removeNamed(datPath(writtenLists[j], ".dat.part").c_str());
            return false;
        }
    }
    return true;
}

void discardListDats()
{
    if (datOpen) {
        datOpen = false;
        closeTextOutput(*datOutput);
    }
    for (const std::string& list : writtenLists)
        removeNamed(datPath(list, ".dat.part").c_str());
    if (createdDirectory)
        removeDirectoryNamed(outDirectory);
}

bool reportSkippedLists()
{
    std::fflush(stdout);
    std::fputs(skippedLines.c_str(), stderr);
    return !skippedLines.empty();
}

int listDatCount()
{
    return static_cast<int>(writtenLists.size());
}
