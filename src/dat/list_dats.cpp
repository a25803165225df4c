// One DAT per list.
//
// The scan writes through `output`: the sink until the first list line, then
// from each list line on either `out_`, opened on that list's DAT, or the
// sink again for a list that cannot be a DAT, or `broken_` (a failed stream,
// which stops the scan) when a DAT cannot be created or the last one could
// not be written. Whatever the scan reports before the first list (a set, a
// ROM, a disk, a set's end) is reported as a list of no name that begins at
// line 1.
#include "dat/list_dats.h"

#include <cassert>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "bytes/find_byte.h"
#include "bytes/shown_text.h"
#include "bytes/small_copy.h"
#include "dat/list_text.h"
#include "dat/list_xml.h"
#include "dat/references.h"
#include "platform/file_names.h"
#include "platform/interrupts.h"

namespace {

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

}  // namespace

ListFiles::ListFiles(TextOutput& out, const char* dats, std::string_view version, std::string* memory)
    : out_(&out), version_(version), memory_(memory)
{
    directory = dats;
    startScan();
}

// Why a list of this name cannot have a DAT of its own, or nullptr.
const char* ListFiles::whyNoDat(std::string_view name) const
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
    if (met_.contains(caseFolded(name)))
        return "name met before in this run";
    return nullptr;
}

void ListFiles::noteSkipped(std::int64_t line, std::string_view name, const char* reason)
{
    char head[64];
    std::snprintf(head, sizeof head, "softlist2dat: line %lld: list '", static_cast<long long>(line));
    skippedLines_ += head;
    appendShown(skippedLines_, name);
    skippedLines_ += "' skipped: ";
    skippedLines_ += reason;
    skippedLines_ += '\n';
}

void ListFiles::startScan()
{
    files_.clear();
    met_.clear();
    skippedLines_.clear();
    failedDat = "";
    failedToOpen = false;
    failedToReplace = false;
    datOpen_ = false;
    sinkHoldsPreamble_ = true;
    reportedBeforeFirstList_ = false;
    openTextOutputToNothing(sink_);
    output = &sink_;
}

TextOutput* ListFiles::brokenOutput()
{
    openTextOutputToNothing(broken_);
    broken_.failed = true;
    return &broken_;
}

// Opens the list's DAT on `out_`: a new .part file, or the memory.
bool ListFiles::openDat(std::string_view name)
{
    if (memory_ != nullptr) {
        openTextOutputToMemory(*out_, *memory_);
        return true;
    }
    std::string path = directory;
    path += '/';
    path.append(name);
    path += ".dat";
    files_.emplace_back();
    if (createPendingFile(files_.back(), *out_, path.c_str()))
        return true;
    failedName_ = path;
    failedDat = failedName_.c_str();
    failedToOpen = true;
    files_.pop_back();
    return false;
}

TextOutput* ListFiles::beginDat(const ListFound& list, bool& opened)
{
    opened = false;
    if (!endDat())
        return brokenOutput();
    if (const char* reason = whyNoDat(list.name)) {
        noteSkipped(list.line, list.name, reason);
        openTextOutputToNothing(sink_);
        return &sink_;
    }
    if (!openDat(list.name))
        return brokenOutput();
    met_.emplace(caseFolded(list.name));
    datOpen_ = opened = true;
    return out_;
}

bool ListFiles::endDat()
{
    if (datOpen_) {
        datOpen_ = false;
        if (!closeTextOutput(*out_)) {
            failedName_ = files_.empty() ? "" : targetOf(files_.back());
            failedDat = failedName_.c_str();
            return false;
        }
    } else if (sinkHoldsPreamble_ && reportedBeforeFirstList_) {
        noteSkipped(1, "", "written before the first list");
    }
    sinkHoldsPreamble_ = false;
    return true;
}

void ListFiles::appendSkippedToMemory()
{
    if (memory_ != nullptr)
        *memory_ += skippedLines_;
}

bool ListFiles::prepare(bool madeDirectory)
{
    failedDat = directory;
    createdDirectory_ = madeDirectory;
    return memory_ != nullptr || leadsToDirectory(directory);
}

// The DATs are swapped in with interrupts held back, each previous DAT
// kept; only once every one is in place, and no interrupt came, are the
// previous ones removed. Otherwise each swap is undone, newest first.
bool ListFiles::commit()
{
    std::size_t swapped = 0;
    bool whole = holdInterrupts();
    while (whole && swapped < files_.size()) {
        if (!swapPendingFile(files_[swapped])) {
            failedName_ = targetOf(files_[swapped]);
            failedDat = failedName_.c_str();
            failedToReplace = true;
            whole = false;
            break;
        }
        swapped++;
        whole = !interruptWaiting();
    }
    if (whole) {
        for (PendingFile& file : files_)
            finishPendingSwap(file);
    } else {
        while (swapped > 0)
            undoPendingSwap(files_[--swapped]);
    }
    releaseInterrupts();
    return whole;
}

void ListFiles::abandon()
{
    if (datOpen_) {
        datOpen_ = false;
        closeTextOutput(*out_);
    }
    for (PendingFile& file : files_)
        abandonPendingFile(file);
    if (createdDirectory_)
        removeDirectoryNamed(directory);
}

int ListFiles::report(std::int64_t lines)
{
    std::fflush(stdout);
    std::fputs(skippedLines_.c_str(), stderr);
    std::printf("\nConverted %" PRId64 " XML lines into %d DAT files in %s\n", lines, static_cast<int>(files_.size()),
                directory);
    return skippedLines_.empty() ? 0 : 3;
}

template <ListForm Form>
ListDats<Form>::ListDats(TextOutput& out, const char* dats, std::string_view version, std::string* memory)
    : ListFiles(out, dats, version, memory)
{
    set_.waiting = set_.open = false;
}

// A value decoded (into `room` where it holds a reference; line breaks only
// where the form keeps them), then cut at `most` bytes, as the scan cuts the
// values it decodes.
template <ListForm Form>
std::string_view ListDats<Form>::decoded(std::string_view raw, std::size_t most, DecodingRoom& room) const
{
    assert(raw.size() <= sizeof room.bytes);
    if (findByte(raw.data(), raw.size(), '&') < raw.size())
        raw = std::string_view(room.bytes, decodeReferences(raw, room.bytes, Form::keepsLineBreaks));
    return raw.substr(0, most);
}

// Keeps `raw` decoded, cut at the held text's room. A short text is copied
// as it stands and looked over for a reference on the way; only one that
// holds a reference is decoded.
template <ListForm Form>
template <std::size_t N>
void ListDats<Form>::keepDecoded(HeldText<N>& held, std::string_view raw) const
{
    static_assert(N >= 64);
    if (raw.size() <= 64 && !copySmallSeeing<'&'>(held.bytes, raw.data(), raw.size())) {
        held.size = raw.size();
        return;
    }
    DecodingRoom room;
    held.keep(decoded(raw, N, room));
}

// Keeps the element text of `rest` decoded, cut at the held text's room.
// The usual text, ended by "</" with neither a reference nor a NUL before
// it, is found in one search and copied as it stands; any other is taken
// as elementText and keepDecoded take it.
template <ListForm Form>
template <std::size_t N>
void ListDats<Form>::keepElementText(HeldText<N>& held, std::string_view rest) const
{
    const std::size_t at = fastPathsOn() ? findAnyByte<'<', '&', '\0'>(rest.data(), rest.size()) : rest.size();
    if (at <= N && at + 1 < rest.size() && rest[at] == '<' && rest[at + 1] == '/') {
        copySmall(held.bytes, rest.data(), at);
        held.size = at;
        return;
    }
    keepDecoded(held, elementText(rest));
}

// Writes the waiting set's lines.
template <ListForm Form>
void ListDats<Form>::writeSet()
{
    if (!set_.waiting)
        return;
    set_.waiting = false;
    Form::openSet(*output, SetLines{set_.name.view(), set_.title.view(), set_.parent.view(), set_.year.view(),
                                    set_.publisher.view()});
    if (datOpen_)
        merges_.setOpens(set_.name.view(), set_.parent.view());
    set_.open = Form::keepsToSets;
}

// A rom or disk line comes: the waiting set's lines go first. False where
// the form keeps its lines to sets and none is open (the line is left out).
template <ListForm Form>
bool ListDats<Form>::setTakesLine()
{
    noteReported();
    writeSet();
    return !Form::keepsToSets || set_.open;
}

// Appends to `into` the merge that names the parent's line (its name read
// back as written). False when the name cannot be read back.
template <ListForm Form>
bool ListDats<Form>::appendMerge(std::string& into, const MergeFound& merge)
{
    // A name holds at most longestValue bytes, each written in at most six
    // (an escape) or two (an LF as CR LF).
    char name[6 * 2 * longestValue + 16];
    assert(merge.parentNameSize <= sizeof name);
    if (merge.parentNameSize > sizeof name || !readTextBack(*out_, merge.parentNameAt, name, merge.parentNameSize))
        return false;
    Form::merge(into, std::string_view(name, merge.parentNameSize));
    return true;
}

// The merge of the line coming, whose set's parent came first: empty unless
// the parent holds its like.
template <ListForm Form>
std::string_view ListDats<Form>::knownMerge()
{
    mergeText_.clear();
    MergeFound parent;
    if (merges_.merge(parent))
        appendMerge(mergeText_, parent);
    return mergeText_;
}

template <ListForm Form>
void ListDats<Form>::writeDisk(std::string_view name, std::string_view sha1, bool badDump)
{
    const bool noted = datOpen_ && merges_.diskComes(sha1);
    const NamePlace place = Form::disk(*output, name, noted && merges_.parentCameFirst() ? knownMerge() : std::string_view(),
                                       sha1, badDump);
    if (noted)
        merges_.written(place);
}

// Ends the set the form keeps open, its disks last where the form wants
// them so.
template <ListForm Form>
void ListDats<Form>::closeOpenSet()
{
    if (!set_.open)
        return;
    for (const HeldDisk& disk : heldDisks_)
        writeDisk(disk.name.view(), disk.sha1.view(), disk.badDump);
    heldDisks_.clear();
    Form::closeSet(*output);
    merges_.setCloses();
    set_.open = false;
}

// Gives each clone's line that came before its parent the merge it has
// there, now that the DAT is complete. False when the DAT could not be
// rewritten.
template <ListForm Form>
bool ListDats<Form>::writeMerges()
{
    merges_.find(mergesFound_);
    mergeTexts_.clear();
    mergeEnds_.clear();
    for (const MergeFound& merge : mergesFound_) {
        if (!appendMerge(mergeTexts_, merge))
            return false;
        mergeEnds_.push_back(mergeTexts_.size());
    }
    // The texts are all there: each insertion takes its part of them.
    insertions_.clear();
    for (std::size_t i = 0, start = 0; i < mergesFound_.size(); start = mergeEnds_[i++])
        insertions_.push_back(TextInsertion{mergesFound_[i].mergeAt,
                                            std::string_view(mergeTexts_).substr(start, mergeEnds_[i] - start)});
    return insertIntoText(*out_, insertions_.data(), insertions_.size());
}

template <ListForm Form>
bool ListDats<Form>::finishCurrent()
{
    writeSet();
    bool merged = true;
    if (datOpen_) {
        closeOpenSet();
        Form::closeDat(*out_);
        merged = writeMerges();
    }
    merges_.clear();
    heldDisks_.clear();
    set_.open = false;
    return endDat() && merged;
}

template <ListForm Form>
void ListDats<Form>::listBegins(const ListFound& list)
{
    if (!finishCurrent()) {
        output = brokenOutput();
        return;
    }
    bool opened = false;
    output = beginDat(list, opened);
    if (!opened)
        return;
    DecodingRoom room;
    Form::header(*output, list.name,
                 list.description.empty() ? list.name : decoded(list.description, longestText, room), version_);
}

template <ListForm Form>
void ListDats<Form>::gameOpens(const GameFound& game)
{
    noteReported();
    writeSet();
    closeOpenSet();
    set_.waiting = true;
    set_.hasYear = set_.hasPublisher = false;
    keepDecoded(set_.name, game.rawName);
    keepElementText(set_.title, game.rawRest);
    keepDecoded(set_.parent, game.parent);
    set_.year.clear();
    set_.publisher.clear();
    if (datOpen_)
        merges_.setComing(set_.name.view(), set_.parent.view());
}

template <ListForm Form>
void ListDats<Form>::detailFound(Detail kind, std::string_view rawRest)
{
    bool& has = kind == Detail::Year ? set_.hasYear : set_.hasPublisher;
    if (!set_.waiting || has)
        return;
    has = true;
    keepElementText(kind == Detail::Year ? set_.year : set_.publisher, rawRest);
}

template <ListForm Form>
void ListDats<Form>::romFound(const RomFound& rom)
{
    if (!setTakesLine())
        return;
    DecodingRoom room;
    char digits[decimalRoom];
    const bool noted =
        datOpen_ && merges_.romComes(sizeText(rom.whole.size, digits), rom.whole.crc, rom.whole.sha1);
    const std::string_view name =
        rom.rawNameHoldsNoReference ? rom.rawName.substr(0, longestValue) : decoded(rom.rawName, longestValue, room);
    const NamePlace place = Form::rom(*output, name,
                                      noted && merges_.parentCameFirst() ? knownMerge() : std::string_view(),
                                      rom.whole, rom.badDump);
    if (noted)
        merges_.written(place);
}

template <ListForm Form>
void ListDats<Form>::diskFound(const DiskFound& disk)
{
    if (!setTakesLine())
        return;
    DecodingRoom room;
    const std::string_view name = decoded(disk.rawName, longestValue, room);
    if (!Form::disksAfterRoms) {
        writeDisk(name, disk.sha1, disk.badDump);
        return;
    }
    HeldDisk& held = heldDisks_.emplace_back();
    held.name.keep(name);
    held.sha1.keep(disk.sha1);
    held.badDump = disk.badDump;
}

template <ListForm Form>
void ListDats<Form>::gameCloses()
{
    noteReported();
    writeSet();
    if constexpr (Form::keepsToSets) {
        closeOpenSet();
    } else {
        Form::closeSet(*output);
        merges_.setCloses();
    }
}

template <ListForm Form>
void ListDats<Form>::inputEnds()
{
    if (!finishCurrent())
        output = brokenOutput();
    appendSkippedToMemory();
}

template <ListForm Form>
bool ListDats<Form>::open()
{
    startScan();
    set_.waiting = set_.open = false;
    return true;
}

template <ListForm Form>
bool ListDats<Form>::close()
{
    return finishCurrent() && !output->failed;
}

// The forms the run may choose.
template class ListDats<ListText>;
template class ListDats<ListXml>;
static_assert(DatWriter<ListDats<ListText>> && DatWriter<ListDats<ListXml>>);
