// The copy on its helper thread, and the waits of the thread that scans.
//
// Invariants:
// - The helper thread runs the copy command and is the only writer of the
//   target, `copied`, `phase`, `reserved` and `status`; the scanning thread
//   only reads them (and the target, through its own descriptor).
// - `copied` only grows, and is stored (release) after the bytes it counts
//   are written; a reader that loads it (acquire) may read that many bytes.
// - `phase` moves Starting -> Created -> Finished, or Starting -> Finished
//   when the copy fails before its target exists; `reserved` is stored
//   before Created, `status` before Finished.
// - Every change is followed by a bump of `news` and a wake-up, and a waiter
//   reads `news` before it looks at the rest, so no change is missed; the
//   helper reaches Finished on every path, so every wait ends.
// - Interrupts are kept off the helper thread: they are taken on the
//   scanning thread, while the copy goes on.
// - The scanning thread prints nothing from startCopy to finishCopy: the
//   copy's console text (each name before its bytes, then the count or the
//   error) keeps the order it has when copy and scan run one after the other.
#include "run/copy_ahead.h"

#include "platform/interrupts.h"
#include "platform/shell.h"

namespace {

enum Phase { Starting, Created, Finished };

void announce(CopyAhead& copy)
{
    copy.news.fetch_add(1, std::memory_order_release);
#ifndef _WIN32
    copy.news.notify_all();
#endif
}

void targetCreated(void* context, bool reserved)
{
    CopyAhead& copy = *static_cast<CopyAhead*>(context);
    copy.reserved.store(reserved, std::memory_order_release);
    copy.phase.store(Created, std::memory_order_release);
    announce(copy);
}

void bytesAppended(void* context, std::uint64_t total)
{
    CopyAhead& copy = *static_cast<CopyAhead*>(context);
    copy.copied.store(total, std::memory_order_release);
    announce(copy);
}

void runCopy(CopyAhead& copy)
{
    keepInterruptsOffThisThread();
    CopyWatch watch;
    watch.targetCreated = targetCreated;
    watch.bytesAppended = bytesAppended;
    watch.context = &copy;
    copy.status = runShellWatched(copy.commandLine, watch);
    copy.phase.store(Finished, std::memory_order_release);
    announce(copy);
}

// Waits until `news` moves on from `seen`.
void waitForNews(CopyAhead& copy, std::uint32_t seen)
{
#ifndef _WIN32
    copy.news.wait(seen, std::memory_order_acquire);
#else
    (void)copy;
    (void)seen;
#endif
}

// The reader's wait: the count of final bytes once it exceeds `have`, or
// `have` when the copy has ended without more.
std::uint64_t waitForCopiedBytes(void* context, std::uint64_t have)
{
    CopyAhead& copy = *static_cast<CopyAhead*>(context);
    for (;;) {
        std::uint32_t seen = copy.news.load(std::memory_order_acquire);
        std::uint64_t copied = copy.copied.load(std::memory_order_acquire);
        if (copied > have)
            return copied;
        if (copy.phase.load(std::memory_order_acquire) == Finished) {
            // The last count was stored before Finished: load it again.
            copied = copy.copied.load(std::memory_order_acquire);
            return copied > have ? copied : have;
        }
        waitForNews(copy, seen);
    }
}

}  // namespace

void startCopy(CopyAhead& copy, const char* commandLine)
{
    copy.commandLine = commandLine;
#ifndef _WIN32
    copy.helper = std::thread(runCopy, std::ref(copy));
#else
    runCopy(copy);   // no overlap on Windows: the copy ends before the scan
#endif
}

bool waitUntilTargetReserved(CopyAhead& copy)
{
    for (;;) {
        std::uint32_t seen = copy.news.load(std::memory_order_acquire);
        if (copy.phase.load(std::memory_order_acquire) != Starting)
            return copy.reserved.load(std::memory_order_acquire);
        waitForNews(copy, seen);
    }
}

void followCopy(TextInput& input, CopyAhead& copy)
{
    input.readable = copy.copied.load(std::memory_order_acquire);
    input.waitForMore = waitForCopiedBytes;
    input.waitContext = &copy;
}

int finishCopy(CopyAhead& copy)
{
#ifndef _WIN32
    if (copy.helper.joinable())
        copy.helper.join();
#endif
    return copy.status;
}
